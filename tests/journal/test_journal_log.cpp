// The SQLite journal's write-ahead log across processes: a process that
// ends leaves its records in the log, where every later reader sees them,
// and the next writer's opening moves them into the file itself.
#include "Journal.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

using journal::Entry;
using journal::Journal;
using journal::Result;

namespace {

qint64 writeOne(const journal::Address &address, int serial, Result result)
{
    Journal book(address);
    Entry e;
    e.operation = QStringLiteral("write-config");
    e.serial = serial;
    journal::stampEntry(e, QStringLiteral("qz5801-cli"), QStringLiteral("test"));
    const qint64 id = book.begin(e);
    book.complete(id, result, {}, QStringLiteral("serial %1").arg(serial));
    return id;
}

// The results by serial number that the journal file alone holds, read from a copy without its log.
std::map<int, Result> inTheFileAlone(const QString &path, QTemporaryDir &scratch)
{
    const QString copy = scratch.filePath(QStringLiteral("copy-%1.sqlite").arg(QDir(scratch.path()).count()));
    if (!QFile::copy(path, copy))
        return {};
    journal::Address address;
    address.path = copy;
    journal::OpenOptions readOnly;
    readOnly.readOnly = true;
    std::map<int, Result> results;
    try {
        for (const Entry &e : Journal(address, readOnly).history({}))
            results[*e.serial] = e.result;
    } catch (const journal::JournalError &) {
        // not even the tables: nothing of the journal is in the file
    }
    return results;
}

} // namespace

class JournalLogTest : public QObject {
    Q_OBJECT
private slots:
    void recordsOfEndedProcessesAreKept()
    {
        QTemporaryDir dir, scratch;
        journal::Address address;
        address.path = dir.filePath(QStringLiteral("journal.sqlite"));
        const qint64 first = writeOne(address, 101, Result::Written);

        // the writer is gone: a reader sees its record whole, finished
        journal::OpenOptions readOnly;
        readOnly.readOnly = true;
        const std::optional<Entry> seen = Journal(address, readOnly).record(first);
        QVERIFY(seen);
        QCOMPARE(seen->result, Result::Written);
        QCOMPARE(seen->detail, QStringLiteral("serial 101"));

        // the next writer's opening puts what came before into the file
        const qint64 second = writeOne(address, 102, Result::VerifyFailed);
        QVERIFY(second > first);
        const std::map<int, Result> alone = inTheFileAlone(address.path, scratch);
        QCOMPARE(alone.count(101), std::size_t(1));
        QCOMPARE(alone.at(101), Result::Written);

        // and nothing is lost on the way: both, finished, in the journal's order
        const std::vector<Entry> all = Journal(address, readOnly).history({});
        QCOMPARE(all.size(), std::size_t(2));
        QCOMPARE(all[0].id, second);
        QCOMPARE(all[0].result, Result::VerifyFailed);
        QCOMPARE(all[1].id, first);
        QCOMPARE(all[1].result, Result::Written);
    }
};

QTEST_GUILESS_MAIN(JournalLogTest)
#include "test_journal_log.moc"

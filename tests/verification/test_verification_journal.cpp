// A verification run's record: its data kept whole beside the record, on
// SQLite and PostgreSQL, and a journal of the first version taken up.
#include "Journal.h"
#include "JournalTestSupport.h"
#include "Run.h"
#include "VerificationTestSupport.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTest>

using namespace journal;
using journaltest::Journals;

class TestVerificationJournal : public QObject {
    Q_OBJECT

    static void addBackendRows()
    {
        QTest::addColumn<QString>("kind");
        for (const QString &k : journaltest::backends())
            QTest::newRow(qPrintable(k)) << k;
    }

    static Entry verificationEntry(const verification::Run &run)
    {
        Entry e;
        stampEntry(e, QStringLiteral("test"), QStringLiteral("1"));
        e.operation = QStringLiteral("verification");
        e.serial = run.transmitter.serial;
        e.result = verification::overallVerdict(run) == verification::Verdict::Pass ? Result::Passed
                                                                                     : Result::NotPassed;
        const QByteArray data = verification::runData(run);
        e.attachment = Attachment{QStringLiteral("verification"), run.certificate, data, verification::sha256Hex(data)};
        return e;
    }

private slots:
    void keptWhole_data() { addBackendRows(); }
    void keptWhole()
    {
        QFETCH(QString, kind);
        Journals journals(kind);
        const Address address = journals.fresh();
        // 50 points of 100 readings each: far past the bound of the record's texts
        std::vector<double> points(50, 50.0);
        verification::Run run = verificationtest::sampleRun(points);
        for (auto &p : run.asFound)
            p.readingsPa.assign(100, 50012.345f);
        Entry e = verificationEntry(run);
        QVERIFY(e.attachment->data.size() > 50000);
        qint64 id = 0;
        {
            Journal j(address);
            id = j.add(e);
            Entry plain; // a record without one
            stampEntry(plain, QStringLiteral("test"), QStringLiteral("1"));
            plain.operation = QStringLiteral("zero correction");
            plain.result = Result::Written;
            j.add(plain);
            QVERIFY(!j.attachment(plain.id));
        }
        Journal j(address);
        const std::optional<Entry> back = j.record(id);
        QVERIFY(back && back->attachment);
        QCOMPARE(back->operation, QStringLiteral("verification"));
        QCOMPARE(back->result, Result::Passed);
        QCOMPARE(resultName(back->result), QStringLiteral("passed"));
        QCOMPARE(back->attachment->data, e.attachment->data);
        QCOMPARE(back->attachment->dataSha256, verification::sha256Hex(back->attachment->data));
        QCOMPARE(back->attachment->certificate, run.certificate);
        QCOMPARE(j.history({}).size(), std::size_t(2));
    }

    // Too much data: refused, and no record without its data is left.
    void oversizedRefusedWhole()
    {
        Journals journals(QStringLiteral("sqlite"));
        const Address address = journals.fresh();
        Journal j(address);
        Entry e = verificationEntry(verificationtest::sampleRun({0, 100}));
        e.attachment->data = QByteArray(Journal::kMaxAttachmentBytes + 1, 'x');
        QVERIFY_THROWS_EXCEPTION(JournalError, j.add(e));
        QVERIFY(j.history({}).empty());
    }

    // A journal the previous version made takes the new table and keeps its records.
    void firstVersionTakenUp()
    {
        Journals journals(QStringLiteral("sqlite"));
        const Address address = journals.fresh();
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("v1"));
            db.setDatabaseName(address.path);
            QVERIFY(db.open());
            QSqlQuery q(db);
            for (const char *sql :
                 {"CREATE TABLE qz5801_journal_schema (version INTEGER NOT NULL)",
                  "INSERT INTO qz5801_journal_schema (version) VALUES (1)",
                  "CREATE TABLE qz5801_journal (id INTEGER PRIMARY KEY AUTOINCREMENT, begun_utc TEXT NOT NULL, "
                  "finished_utc TEXT, station TEXT NOT NULL, os_user TEXT NOT NULL, program TEXT NOT NULL, "
                  "version TEXT NOT NULL, process_id BIGINT NOT NULL, operation TEXT NOT NULL, serial INTEGER, "
                  "usb_location TEXT, file_name TEXT, file_sha256 TEXT, before_memory TEXT, requested_memory TEXT, "
                  "after_memory TEXT, result TEXT NOT NULL, detail TEXT, restored_from BIGINT)",
                  "INSERT INTO qz5801_journal (begun_utc, station, os_user, program, version, process_id, "
                  "operation, result) VALUES ('2026-12-01T08:00:00.000Z', 's', 'u', 'p', '1', 1, 'write-config', "
                  "'written')"})
                QVERIFY2(q.exec(QString::fromLatin1(sql)), sql);
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("v1"));
        Journal j(address);
        QCOMPARE(j.history({}).size(), std::size_t(1));
        Entry e = verificationEntry(verificationtest::sampleRun({0, 100}));
        const qint64 id = j.add(e);
        QCOMPARE(j.record(id)->attachment->data, e.attachment->data);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("check"));
        db.setDatabaseName(address.path);
        QVERIFY(db.open());
        QSqlQuery q(db);
        QVERIFY(q.exec(QStringLiteral("SELECT MAX(version) FROM qz5801_journal_schema")) && q.next());
        QCOMPARE(q.value(0).toInt(), Journal::kSchemaVersion);
        q.finish();
        db.close();
    }
};

QTEST_MAIN(TestVerificationJournal)
#include "test_verification_journal.moc"

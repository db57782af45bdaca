// The journal library the window loads with its first record: found in its
// folder it writes records another reader sees; missing, or given an address
// it cannot open, it says why instead of throwing across the boundary.
#include "Journal.h"
#include "JournalStore.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class JournalStoreTest : public QObject {
    Q_OBJECT
private slots:
    // Looked up under the very name the build gives the file (MinGW's "lib" once hid it on Windows).
    void theFileLookedUpIsTheFileBuilt()
    {
        QCOMPARE(QString::fromLatin1(kJournalStoreLibraryFile), QStringLiteral(QZ_JOURNAL_STORE_BUILT));
        QVERIFY(QFile::exists(QStringLiteral(QZ_JOURNAL_STORE_DIR "/") + QLatin1String(kJournalStoreLibraryFile)));
    }

    void loadedLibraryWritesRecords()
    {
        QString problem;
        const JournalStoreFactory open = loadJournalStore(QStringLiteral(QZ_JOURNAL_STORE_DIR "/"), problem);
        QVERIFY2(open, qPrintable(problem));
        QTemporaryDir dir;
        journal::Address address;
        address.path = dir.filePath(QStringLiteral("journal.sqlite"));
        std::unique_ptr<JournalStore> store(open(address, problem));
        QVERIFY2(store, qPrintable(problem));
        journal::Entry entry;
        entry.operation = QStringLiteral("window write");
        entry.serial = 4321;
        entry.begun = entry.finished = QDateTime::currentDateTimeUtc();
        entry.result = journal::Result::Written;
        journal::stampEntry(entry, QStringLiteral("qz5801"), QStringLiteral("test"));
        QVERIFY2(store->add(entry, problem), qPrintable(problem));
        store.reset();

        const std::vector<journal::Entry> all = journal::Journal(address).history({});
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].operation, QStringLiteral("window write"));
        QCOMPARE(all[0].serial, std::optional<int>(4321));
        QCOMPARE(all[0].result, journal::Result::Written);
    }

    void failuresComeBackAsTexts()
    {
        QString problem;
        // No library beside this test program and none linked into it.
        QVERIFY(!journalStoreFactory(problem));
        QVERIFY2(problem.contains(QLatin1String(kJournalStoreLibraryFile)), qPrintable(problem));

        problem.clear();
        QVERIFY(!loadJournalStore(QStringLiteral("/nonexistent/"), problem));
        QVERIFY(!problem.isEmpty());

        // A journal file below something that is a file cannot be opened.
        const JournalStoreFactory open = loadJournalStore(QStringLiteral(QZ_JOURNAL_STORE_DIR "/"), problem);
        QVERIFY(open);
        QTemporaryDir dir;
        QFile blocker(dir.filePath(QStringLiteral("file")));
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        journal::Address address;
        address.path = dir.filePath(QStringLiteral("file/journal.sqlite"));
        problem.clear();
        QVERIFY(!open(address, problem));
        QVERIFY(!problem.isEmpty());
    }
};

QTEST_GUILESS_MAIN(JournalStoreTest)
#include "test_journal_store.moc"

// The window's journal: "Write configuration" and the zero correction each add
// a record of what they sent, with the serial number once Device Info was
// read; the transmitter sees the same frames and the operator the same boxes
// with or without it, and a journal that fails only shows a note.
#include "ShellTestSupport.h"

#include "Journal.h"
#include "WindowJournal.h"

#include "Fix64usb.h"
#include "Lang.h"
#include "Main.h"
#include "NumberText.h"
#include "SimulatorSupport.h"
#include "qzsim.h"

#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <cstring>

using namespace shelltest;
using namespace simtest;
using journal::Entry;
using journal::Result;

class WindowJournalTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigHome> home;
    std::unique_ptr<TMainF> window;
    DialogHooks previousHooks;
    QStringList boxes;
    QTemporaryDir dir;

    TMainF &connectedWindow()
    {
        window.reset();
        home = std::make_unique<ConfigHome>();
        window = stillWindow();
        window->CCmPoStartu();
        qzsim_clear_logs();
        boxes.clear();
        return *window;
    }

    // Device Info, a changed value written, a zero correction confirmed, a write that fails.
    void operate(TMainF &w)
    {
        w.CmDeviceInfo();
        w.higherValue1 = 61000;
        w.CmKonfigurace();
        qzsim_set_value(12);
        w.CmKorekce();
        const int sent = int(qzsim_request_count());
        qzsim_fail_from(uint32_t(sent + 3)); // command 2, write 894, write 67 (lost)
        w.CmKonfigurace();
    }

    static int threadsNamed(const QByteArray &name)
    {
        int found = 0;
        for (const QString &task : QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
            if (comm.open(QIODevice::ReadOnly) && comm.readAll().trimmed() == name)
                ++found;
        }
        return found;
    }

    static std::vector<Entry> records(const journal::Address &a) { return journal::Journal(a).history({}); }

    static QByteArray fileBytes(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    QString spoolPath() const { return home->settingsFolder() + QStringLiteral("/qz5801-journal.spool"); }

private slots:
    void init()
    {
        delete theLink;
        theLink = nullptr;
        qzsim_reset();
        setDecimalSeparatorForTesting(u'.');
        boxes.clear();
        DialogHooks hooks;
        hooks.message = [this](QWidget *, const MessageRequest &r) {
            boxes << r.title + ": " + r.text;
            return r.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        previousHooks = setDialogHooks(hooks);
        setPauseFunction([](unsigned) {});
    }
    void cleanup()
    {
        window.reset();
        home.reset();
        delete theLink;
        theLink = nullptr;
        setDialogHooks(previousHooks);
        setPauseFunction({});
        setDecimalSeparatorForTesting(QChar());
    }

    void writesAndZeroCorrectionRecorded()
    {
        TMainF &w = connectedWindow();
        journal::Address address;
        address.path = dir.filePath(QStringLiteral("window.sqlite"));
        auto *attached = new TWindowJournal(w, address);
#ifdef Q_OS_LINUX
        // No thread of its own until there is something to write.
        QCOMPARE(threadsNamed("journal"), 0);
        w.CmDeviceInfo();
        QCOMPARE(threadsNamed("journal"), 0);
#endif
        operate(w);
        attached->waitForRecords();
        QVERIFY(attached->note->isHidden());
#ifdef Q_OS_LINUX
        QCOMPARE(threadsNamed("journal"), 1);
#endif

        const std::vector<Entry> all = records(address);
        QCOMPARE(all.size(), std::size_t(3));
        const Entry &written = all[2];
        QCOMPARE(written.operation, QStringLiteral("window write"));
        QCOMPARE(written.program, QStringLiteral("qz5801"));
        QCOMPARE(written.serial, std::optional<int>(12345));
        QCOMPARE(written.location, QStringLiteral("1-1"));
        QCOMPARE(written.result, Result::Written);
        QVERIFY(written.before.empty());
        QCOMPARE(written.requested.regions.at(67),
                 QByteArray(reinterpret_cast<const char *>(qzsim_memory() + 67), 27));
        QCOMPARE(written.requested.regions.at(894),
                 QByteArray(reinterpret_cast<const char *>(qzsim_memory() + 894), 4));
        QCOMPARE(memoryFloat(71), 61000.0f);

        const Entry &zero = all[1];
        QCOMPARE(zero.operation, QStringLiteral("zero correction"));
        QCOMPARE(zero.result, Result::Written);
        QCOMPARE(zero.before.regions.at(940), QByteArray(4, '\0'));
        QCOMPARE(zero.requested.regions.at(940), QByteArray(reinterpret_cast<const char *>(qzsim_memory() + 940), 4));
        QCOMPARE(memoryFloat(940), -12.0f);

        const Entry &failed = all[0];
        QCOMPARE(failed.result, Result::Failed);
        QCOMPARE(failed.detail, QStringLiteral("failed at write 67/27"));
        QCOMPARE(failed.serial, std::optional<int>(12345));
    }

    // Without Device Info in this session the serial number is not known.
    void serialOnlyFromDeviceInfo()
    {
        TMainF &w = connectedWindow();
        journal::Address address;
        address.path = dir.filePath(QStringLiteral("no-serial.sqlite"));
        auto *attached = new TWindowJournal(w, address);
        w.CmKonfigurace();
        attached->waitForRecords();
        const std::vector<Entry> all = records(address);
        QCOMPARE(all.size(), std::size_t(1));
        QVERIFY(!all[0].serial);
    }

    // The same frames and boxes with a journal, with a failing one and with none.
    void journalChangesNeitherFramesNorBoxes_data()
    {
        QTest::addColumn<QString>("journalPath");
        QTest::newRow("working") << QStringLiteral("frames.sqlite");
        QTest::newRow("failing") << QStringLiteral("no/such/folder/frames.sqlite");
    }
    void journalChangesNeitherFramesNorBoxes()
    {
        QFETCH(QString, journalPath);
        {
            TMainF &w = connectedWindow();
            operate(w);
        }
        const QStringList framesWithout = requestLog();
        const QStringList boxesWithout = boxes;
        const QByteArray memoryWithout(reinterpret_cast<const char *>(qzsim_memory()), 65536);
        QCOMPARE(boxesWithout, (QStringList{"Info: Serial number is 12345", "Message: Configuration successfully written",
                                            "Message: Set the zero pressure and press OK",
                                            "Message: Zero error is: 1 mm\rWould you like to fix this error?",
                                            "Message: Correction successfully implemented",
                                            "Error: Error writing configuration"}));

        qzsim_reset();
        TMainF &w = connectedWindow();
        journal::Address address;
        address.path = dir.filePath(journalPath);
        auto *attached = new TWindowJournal(w, address);
        const QString statusBefore = w.StatusBar1->text();
        operate(w);
        attached->waitForRecords();
        QCOMPARE(requestLog(), framesWithout);
        QCOMPARE(boxes, boxesWithout);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(qzsim_memory()), 65536), memoryWithout);
        QCOMPARE(w.StatusBar1->text(), statusBefore);
        const bool failing = journalPath.contains(QLatin1String("no/such"));
        QCOMPARE(!attached->note->isHidden(), failing);
        if (failing) {
            QVERIFY2(attached->note->text().startsWith(QStringLiteral("Not journaled: Cannot use the journal ")),
                     qPrintable(attached->note->text()));
            QVERIFY2(attached->note->toolTip().startsWith(QLatin1String("Cannot use the journal ")),
                     qPrintable(attached->note->toolTip()));
        }
    }


    // A record the journal did not take by the window's exit is kept in the
    // spool beside the settings, and the next start writes it and empties the spool.
    void unwrittenRecordKeptForNextStart_data()
    {
        QTest::addColumn<bool>("locked");
        // Another connection holds a write transaction: the record is still on its way at the exit.
        QTest::newRow("journal locked") << true;
        // The journal's folder does not exist: the record fails at once.
        QTest::newRow("journal unreachable") << false;
    }
    void unwrittenRecordKeptForNextStart()
    {
        QFETCH(bool, locked);
        qputenv("QZ5801_JOURNAL_TIMEOUT", "3");
        TMainF &w = connectedWindow();
        journal::Address address;
        address.path = dir.filePath(locked ? QStringLiteral("locked.sqlite") : QStringLiteral("later/journal.sqlite"));
        const QString lockName = QStringLiteral("locker");
        if (locked) {
            records(address); // creates the journal
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), lockName);
            db.setDatabaseName(address.path);
            QVERIFY(db.open());
            QVERIFY(QSqlQuery(db).exec(QStringLiteral("BEGIN IMMEDIATE")));
        }
        auto *attached = new TWindowJournal(w, address);
        attached->exitWaitMs = 300;
        w.CmDeviceInfo();
        w.higherValue1 = 61000;
        w.CmKonfigurace();
        if (!locked) {
            attached->waitForRecords();
            QVERIFY2(attached->note->toolTip().contains(QLatin1String("kept in")), qPrintable(attached->note->toolTip()));
        }
        QElapsedTimer exit;
        exit.start();
        delete attached;
        // Well under the journal's own 3 s wait.
        QVERIFY2(exit.elapsed() < 2000, qPrintable(QString::number(exit.elapsed())));
        QVERIFY(QFile::exists(spoolPath()));
#ifdef Q_OS_LINUX
        // The thread left behind gives up on its own and does not write the record twice.
        QTRY_COMPARE_WITH_TIMEOUT(threadsNamed("journal"), 0, 15000);
#endif
        const QList<QByteArray> lines = fileBytes(spoolPath()).split('\n');
        QCOMPARE(lines.size(), 2); // one record, one line end
        const std::optional<Entry> kept = spoolEntry(lines[0]);
        QVERIFY(kept);
        QCOMPARE(kept->operation, QStringLiteral("window write"));
        QCOMPARE(kept->serial, std::optional<int>(12345));
        QCOMPARE(kept->result, Result::Written);

        if (locked) {
            QSqlQuery(QSqlDatabase::database(lockName)).exec(QStringLiteral("ROLLBACK"));
            QSqlDatabase::database(lockName).close();
            QSqlDatabase::removeDatabase(lockName);
        } else {
            QVERIFY(QDir().mkpath(dir.filePath(QStringLiteral("later"))));
        }
        QVERIFY(records(address).empty());

        // The next start: the spooled record is written without any new one.
        window.reset();
        window = stillWindow();
        auto *next = new TWindowJournal(*window, address);
        next->waitForRecords();
        QVERIFY2(next->note->isHidden(), qPrintable(next->note->toolTip()));
        QVERIFY(!QFile::exists(spoolPath()));
        const std::vector<Entry> all = records(address);
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].operation, QStringLiteral("window write"));
        QCOMPARE(all[0].serial, std::optional<int>(12345));
        QCOMPARE(all[0].begun, kept->begun);
        QCOMPARE(all[0].requested, kept->requested);
        QCOMPARE(all[0].location, QStringLiteral("1-1"));
        qunsetenv("QZ5801_JOURNAL_TIMEOUT");
    }

    // A spool that is not ours to read is set aside byte for byte, never dropped, and said so.
    void corruptSpoolSetAside_data()
    {
        QTest::addColumn<QByteArray>("contents");
        Entry e;
        e.begun = QDateTime::currentDateTimeUtc();
        e.operation = QStringLiteral("window write");
        const QByteArray good = spoolLine(e);
        QTest::newRow("not a record") << QByteArray("hello\n");
        QTest::newRow("a record, then garbage") << good + "\n{\"begun\": \"x\"}\n";
        QTest::newRow("last line cut short") << good + "\n" + good.left(good.size() / 2);
        QTest::newRow("a field of the wrong kind") << QByteArray(good).replace("\"begun\":", "\"begun\":\"1\",\"x\":") + "\n";
        QTest::newRow("too large") << QByteArray(kMaxSpoolBytes + 1, 'x');
    }
    void corruptSpoolSetAside()
    {
        QFETCH(QByteArray, contents);
        TMainF &w = connectedWindow();
        QFile spool(spoolPath());
        QVERIFY(spool.open(QIODevice::WriteOnly));
        spool.write(contents);
        spool.close();
        journal::Address address;
        address.path = dir.filePath(QStringLiteral("aside-%1.sqlite").arg(QTest::currentDataTag()));
        auto *attached = new TWindowJournal(w, address);
        attached->waitForRecords();

        QVERIFY(!QFile::exists(spoolPath()));
        const QStringList aside = QDir(home->settingsFolder())
                                      .entryList({QStringLiteral("qz5801-journal.spool.corrupt-*")}, QDir::Files);
        QCOMPARE(aside.size(), 1);
        QCOMPARE(fileBytes(home->settingsFolder() + u'/' + aside[0]), contents);
        QVERIFY(!attached->note->isHidden());
        const QString message = attached->note->toolTip();
        QVERIFY2(message.startsWith(QStringLiteral("The journal spool %1 could not be read (").arg(spoolPath()))
                     && message.endsWith(QStringLiteral("it was kept as %1/%2").arg(home->settingsFolder(), aside[0])),
                 qPrintable(message));

        // The journal goes on as before.
        w.CmKonfigurace();
        attached->waitForRecords();
        QVERIFY(attached->note->isHidden());
        QCOMPARE(records(address).size(), std::size_t(1));
    }
};

QZ_SHELL_TEST_MAIN(WindowJournalTest)
#include "test_window_journal.moc"

// A journaled write against a journal that misbehaves: a busy SQLite file, a
// locked PostgreSQL table, a killed or stopped server process. The outcome
// of a write is recorded or the exit code says it is not; before the first
// write frame nothing waits without end, and a signal ends the wait at once.
#include "CliJournalFixture.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <csignal>
#include <unistd.h>

namespace {

// A second client of the journal that holds its write lock (SQLite) or a
// lock on its table (PostgreSQL) until released.
class LockHolder {
public:
    explicit LockHolder(const journal::Address &a) : name(QStringLiteral("lock-holder-%1").arg(++counter))
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(
            a.kind == journal::Address::Sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), name);
        if (a.kind == journal::Address::Sqlite) {
            db.setDatabaseName(a.path);
        } else {
            db.setHostName(a.host);
            db.setPort(a.port);
            db.setUserName(a.user);
            db.setDatabaseName(a.database);
        }
        QVERIFY2(db.open(), qPrintable(db.lastError().text()));
        sqlite = a.kind == journal::Address::Sqlite;
    }
    ~LockHolder()
    {
        release();
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }
    void take()
    {
        QSqlQuery q(QSqlDatabase::database(name, false));
        const QStringList steps = sqlite ? QStringList{"BEGIN IMMEDIATE"}
                                         : QStringList{"BEGIN", "LOCK TABLE qz5801_journal IN EXCLUSIVE MODE"};
        for (const QString &step : steps)
            QVERIFY2(q.exec(step), qPrintable(q.lastError().text()));
        held = true;
    }
    void release()
    {
        if (held)
            QSqlQuery(QSqlDatabase::database(name, false)).exec(QStringLiteral("ROLLBACK"));
        held = false;
    }
    // The server processes of our program's connections (PostgreSQL).
    QList<qint64> backends() const
    {
        QSqlQuery q(QSqlDatabase::database(name, false));
        QList<qint64> pids;
        if (q.exec(QStringLiteral("SELECT pid FROM pg_stat_activity WHERE application_name = 'qz5801' AND "
                                  "datname = current_database()")))
            while (q.next())
                pids << q.value(0).toLongLong();
        return pids;
    }
    void terminateBackends()
    {
        QSqlQuery q(QSqlDatabase::database(name, false));
        QVERIFY(q.exec(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity WHERE "
                                      "application_name = 'qz5801' AND datname = current_database()")));
    }

private:
    static inline int counter = 0;
    QString name;
    bool sqlite = true;
    bool held = false;
};

} // namespace

class JournalOutcomeTest : public CliJournalFixture {
    Q_OBJECT

    // Waits until the write's record is begun; false when it never came.
    bool waitForBegun(QProcess *p)
    {
        p->waitForStarted();
        QElapsedTimer waited;
        waited.start();
        while (records().empty()) {
            if (waited.elapsed() > 30000 || p->state() != QProcess::Running) {
                qWarning() << p->readAllStandardError();
                return false;
            }
            QTest::qWait(5);
        }
        return true;
    }

    // Waits until the write's read before has ended (4 requests in the log).
    bool waitForReadBefore(QProcess *p)
    {
        p->waitForStarted();
        QElapsedTimer waited;
        waited.start();
        while (requestCount() < 4) {
            if (waited.elapsed() > 30000 || p->state() != QProcess::Running) {
                qWarning() << p->readAllStandardError();
                return false;
            }
            QTest::qWait(5);
        }
        return true;
    }

private slots:
    void initTestCase() { setUpCase(); }
    void init() { setUpRun(); }
    void cleanup() { tearDownRun(); }

    // The record is completed after a lost server process or a lock held
    // for a while; held past the wait limit, the write ends with exit 5,
    // and restore then refuses to go past that record.
    void completionSurvives_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("trouble"); // "lock", "kill"
        QTest::addColumn<int>("holdMs");      // how long the lock is held; -1: to the end
        QTest::addColumn<int>("timeoutSeconds");
        QTest::addColumn<int>("exitCode");
        for (const QString &kind : journaltest::backends()) {
            const QByteArray k = kind.toLatin1();
            QTest::newRow(k + ", locked a while") << kind << "lock" << 1000 << 5 << 0;
            QTest::newRow(k + ", locked past the limit") << kind << "lock" << -1 << 1 << 5;
            if (kind == QLatin1String("postgresql"))
                QTest::newRow(k + ", server process killed") << kind << "kill" << 0 << 5 << 0;
        }
    }
    void completionSurvives()
    {
        QFETCH(QString, kind);
        QFETCH(QString, trouble);
        QFETCH(int, holdMs);
        QFETCH(int, timeoutSeconds);
        QFETCH(int, exitCode);
        journals = std::make_unique<Journals>(kind);
        address = journals->fresh();
        { Journal create(address); }
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        LockHolder holder(address);
        QProcess *p = start({"write-config", file}, {"QZSIM_LATENCY_MS=100", "QZ5801_JOURNAL_TIMEOUT=" +
                                                                                 QString::number(timeoutSeconds)});
        QVERIFY(waitForBegun(p));
        if (trouble == QLatin1String("kill"))
            holder.terminateBackends();
        else
            holder.take();
        QElapsedTimer held;
        held.start();
        while (p->state() == QProcess::Running && (holdMs < 0 || held.elapsed() < holdMs))
            QTest::qWait(5);
        holder.release();
        const Run r = finish(p);
        QVERIFY2(r.exitCode == exitCode, r.err.constData());
        QCOMPARE(fileBytes(memoryPath).mid(894, 4), floatBytes(1500)); // written either way
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        if (exitCode == 0) {
            QCOMPARE(all[0].result, Result::Written);
            QVERIFY(!all[0].after.empty());
            return;
        }
        QCOMPARE(all[0].result, Result::Begun);
        QVERIFY2(r.err.contains("The journal could not record how this write ended (written): record 1 stays "
                                "\"not finished\""),
                 r.err.constData());
        QCOMPARE(r.out, QByteArray("Configuration written; its journal record is not completed\n"));

        // its outcome unknown, the write is not gone past silently
        QFile::remove(logPath);
        const Run restore = run({"restore"});
        QCOMPARE(restore.exitCode, 1);
        QVERIFY2(restore.err.contains("record 1 of this transmitter (12345 at 1-1) did not finish"),
                 restore.err.constData());
        QVERIFY(!writeSent());
    }

    // Before the first write frame a journal that does not answer is waited
    // for within the limit, and a signal ends the wait within a second;
    // nothing is written either way.
    void waitIsBounded_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("trouble"); // "lock", "stop" (the server process stopped)
        QTest::addColumn<int>("signal");      // 0: none, the wait limit ends it
        QTest::addColumn<int>("exitCode");
        for (const QString &kind : journaltest::backends()) {
            const QByteArray k = kind.toLatin1();
            QTest::newRow(k + ", locked past the limit") << kind << "lock" << 0 << 1;
            QTest::newRow(k + ", locked, SIGINT") << kind << "lock" << SIGINT << 130;
            QTest::newRow(k + ", locked, SIGTERM") << kind << "lock" << SIGTERM << 143;
            QTest::newRow(k + ", locked, SIGHUP") << kind << "lock" << SIGHUP << 129;
            if (kind == QLatin1String("postgresql"))
                QTest::newRow(k + ", server process stopped, SIGTERM") << kind << "stop" << SIGTERM << 143;
        }
    }
    void waitIsBounded()
    {
        QFETCH(QString, kind);
        QFETCH(QString, trouble);
        QFETCH(int, signal);
        QFETCH(int, exitCode);
        journals = std::make_unique<Journals>(kind);
        address = journals->fresh();
        { Journal create(address); }
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        LockHolder holder(address);
        // the limit: 2 s to be reached, 20 s where a signal must end it first
        QProcess *p = start({"write-config", file},
                            {"QZSIM_LATENCY_MS=20", QStringLiteral("QZ5801_JOURNAL_TIMEOUT=%1").arg(signal ? 20 : 2)});
        QList<qint64> stopped;
        if (trouble == QLatin1String("stop")) {
            QVERIFY(p->waitForStarted());
            QElapsedTimer waited;
            waited.start();
            while (holder.backends().isEmpty()) {
                QVERIFY(waited.elapsed() < 30000);
                QTest::qWait(5);
            }
            stopped = holder.backends();
            for (qint64 pid : stopped)
                ::kill(pid_t(pid), SIGSTOP);
            QTest::qWait(500); // opening the journal or beginning the record hangs now
        } else {
            holder.take();
            QVERIFY(waitForReadBefore(p));
            QTest::qWait(300); // now waiting for the journal
        }
        QElapsedTimer ending;
        ending.start();
        if (signal)
            ::kill(pid_t(p->processId()), signal);
        QVERIFY(p->waitForFinished(signal ? 1000 : 10000));
        const qint64 took = ending.elapsed();
        for (qint64 pid : stopped) {
            ::kill(pid_t(pid), SIGCONT);
            ::kill(pid_t(pid), SIGTERM);
        }
        holder.release();
        const Run r = finish(p);
        QVERIFY2(r.exitCode == exitCode, r.err.constData());
        if (signal)
            QVERIFY2(took < 1000, qPrintable(QString::number(took)));
        QVERIFY(!writeSent());
        QCOMPARE(fileBytes(memoryPath), factoryImage);
        for (const Entry &e : records())
            QVERIFY(e.result != Result::Begun && e.result != Result::Written);
    }

    // A reader that went away (| head): the write and its record end as they
    // happened, the program is not killed between them.
    void closedPipe_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("exitCode");
        QTest::newRow("written") << "none" << int(Result::Written) << 0;
        QTest::newRow("verify failed") << "keep-memory" << int(Result::VerifyFailed) << 1;
    }
    void closedPipe()
    {
        QFETCH(QString, fault);
        QFETCH(int, result);
        QFETCH(int, exitCode);
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        int ends[2];
        QCOMPARE(::pipe(ends), 0);
        ::close(ends[0]); // nobody reads: every line written gets SIGPIPE
        QProcess p;
        p.setProcessEnvironment(environment({"QZSIM_FAULT=" + fault}));
        p.setChildProcessModifier([fd = ends[1]] {
            ::signal(SIGPIPE, SIG_DFL); // as a shell leaves it
            ::dup2(fd, 1);
            ::dup2(fd, 2);
        });
        p.start(QZ_CLI, {"write-config", file});
        QVERIFY(p.waitForFinished(60000));
        ::close(ends[1]);
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(int(all[0].result), result);
    }

    // A signal during the read-back waits for it, and the record says when it came.
    void signalDuringReadBack()
    {
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        { Journal create(address); }
        std::unique_ptr<QProcess> p(start({"write-config", file}, {"QZSIM_LATENCY_MS=60"}));
        QVERIFY(p->waitForStarted());
        // a read after the write frames: the read-back is under way
        QElapsedTimer waited;
        waited.start();
        for (;;) {
            bool wrote = false, readAfter = false;
            for (const QByteArray &line : fileBytes(logPath).split('\n')) {
                const QByteArray r = QByteArray::fromHex(line);
                if (r.size() != 64)
                    continue;
                wrote = wrote || r[3] == 8;
                readAfter = readAfter || (wrote && r[3] == 7);
            }
            if (readAfter)
                break;
            QVERIFY(waited.elapsed() < 30000 && p->state() == QProcess::Running);
            QTest::qWait(2);
        }
        ::kill(pid_t(p->processId()), SIGINT);
        const Run r = finish(p.release());
        QCOMPARE(r.exitCode, 130);
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].result, Result::Written);
        QCOMPARE(all[0].detail, QStringLiteral("SIGINT came during the read-back, which ended first"));
        QVERIFY(!all[0].after.empty());
    }
};

QTEST_GUILESS_MAIN(JournalOutcomeTest)
#include "test_journal_outcome.moc"

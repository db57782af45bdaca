// qz5801-cli's journal against the simulated transmitter: what a write
// records, refusing when the journal cannot take it, history and restore.
#include "CliJournalFixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

#include <algorithm>
#include <csignal>
#include <cstring>
#include <set>

class JournalCliTest : public CliJournalFixture {
    Q_OBJECT

private slots:
    void initTestCase() { setUpCase(); }
    void init() { setUpRun(); }
    void cleanup() { tearDownRun(); }

    // One write: who, what from where, before, requested, read back, written.
    void writeIsRecorded_data() { addKinds(); }
    void writeIsRecorded()
    {
        useKind();
        const QString file = dir->filePath("line 3 \"batch\".cfg");
        writeBytes(file, kChanged);
        const Run r = run({"write-config", file});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.err, QByteArray());

        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        const Entry &e = all[0];
        QCOMPARE(e.operation, QStringLiteral("write-config"));
        QCOMPARE(e.program, QStringLiteral("qz5801-cli"));
        QCOMPARE(e.version, QStringLiteral(QZ_VERSION));
        QCOMPARE(e.serial, std::optional<int>(12345));
        QCOMPARE(e.location, QStringLiteral("1-1"));
        QCOMPARE(e.fileName, file);
        QCOMPARE(e.fileSha256,
                 QString::fromLatin1(QCryptographicHash::hash(kChanged, QCryptographicHash::Sha256).toHex()));
        QCOMPARE(e.result, Result::Written);
        QCOMPARE(e.before.regions.at(894), factoryImage.mid(894, 4));
        QCOMPARE(e.before.regions.at(67), factoryImage.mid(67, 27));
        const QByteArray image = fileBytes(memoryPath);
        QCOMPARE(e.requested.regions.at(894), floatBytes(1500));
        QCOMPARE(e.requested.regions.at(67), image.mid(67, 27));
        QCOMPARE(e.after, e.requested);
        QVERIFY(e.finished.isValid());
    }

    // Eight transmitters with --all and a second process at once, into one
    // journal: sixteen records, each whole and of its own transmitter.
    void allAndSecondProcessAtOnce_data() { addKinds(); }
    void allAndSecondProcessAtOnce()
    {
        useKind();
        const QString file = dir->filePath("batch.cfg");
        writeBytes(file, kChanged);
        const QString otherFile = dir->filePath("other.cfg");
        writeBytes(otherFile, configFile({"p", "1000", "50000", "10000", "1", "80000", "40000", "2", "70000",
                                          "30000", "3"}));
        QProcess *first = start({"--all", "write-config", file}, {"QZSIM_DEVICES=8", "QZSIM_LATENCY_MS=1"});
        QProcess *second = start({"--all", "write-config", otherFile},
                                 {"QZSIM_DEVICES=8", "QZSIM_LATENCY_MS=1", "QZSIM_MEMORY=" + dir->filePath("second"),
                                  "QZSIM_LOG=" + dir->filePath("second.log")});
        const Run a = finish(first);
        const Run b = finish(second);
        QVERIFY2(a.exitCode == 0, a.err.constData());
        QVERIFY2(b.exitCode == 0, b.err.constData());

        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(16));
        std::set<std::pair<int, QString>> seen;
        for (const Entry &e : all) {
            QCOMPARE(e.result, Result::Written);
            const int instance = *e.serial - 12345;
            QVERIFY(instance >= 0 && instance < 8);
            QCOMPARE(e.location, QStringLiteral("1-%1").arg(instance + 1));
            QVERIFY(seen.insert({*e.serial, e.fileName}).second);
            QVERIFY(e.fileName == file || e.fileName == otherFile);
            const QString memory = e.fileName == file ? memoryPath : dir->filePath("second");
            const QByteArray image = fileBytes(instance ? memory + "." + QString::number(instance) : memory);
            QCOMPARE(e.requested.regions.at(67), image.mid(67, 27));
            QCOMPARE(e.after, e.requested);
            QCOMPARE(e.before.regions.at(67), factoryImage.mid(67, 27));
        }
    }

    // A journal that cannot be reached: exit 1, the reason, not one write frame
    // sent (the transmitter is read while the journal opens); --no-journal
    // writes all the same.
    void unusableJournalRefusesTheWrite_data()
    {
        QTest::addColumn<QStringList>("journalArgs");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("server down") << QStringList{"--journal", "postgresql://qz@127.0.0.1:1/qz"} << QString()
                                     << QByteArray("Connection refused");
        QTest::newRow("wrong URL") << QStringList{"--journal", "postgresql://qz@127.0.0.1:1"} << QString()
                                   << QByteArray("names no database");
        QTest::newRow("wrong URL in the environment") << QStringList{} << "mysql://x/y"
                                                      << QByteArray("QZ5801_JOURNAL: \"mysql://x/y\" is not");
        QTest::newRow("no such folder") << QStringList{"--journal", "/nonexistent/j.sqlite"} << QString()
                                        << QByteArray("Cannot use the journal /nonexistent/j.sqlite: it cannot be opened");
        QTest::newRow("a folder") << QStringList{"--journal", "/"} << QString() << QByteArray("not a regular file");
    }
    void unusableJournalRefusesTheWrite()
    {
        QFETCH(QStringList, journalArgs);
        QFETCH(QString, environment);
        QFETCH(QByteArray, reason);
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        const QStringList env = environment.isEmpty() ? QStringList{} : QStringList{"QZ5801_JOURNAL=" + environment};
        const Run r = run(journalArgs + QStringList{"write-config", file}, env);
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(reason), r.err.constData());
        QVERIFY2(r.err.contains("Nothing was written: every write is journaled (--no-journal"), r.err.constData());
        QVERIFY(!writeSent());
        QCOMPARE(fileBytes(memoryPath), factoryImage);

        const Run forced = run({"write-config", "--no-journal", file}, env);
        QCOMPARE(forced.exitCode, 0);
        QCOMPARE(fileBytes(memoryPath).mid(894, 4), floatBytes(1500));
    }

    // The transmitter fails mid-write, or keeps its memory: the record says where, or which fields.
    void failuresAreRecorded_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("detail");
        // requests: command 2, read 890, read 67, command 1, read 7, command 2, write 894, write 67, ...
        QTest::newRow("no reply at the block") << "QZSIM_FAIL_FROM=8" << int(Result::Failed)
                                               << "failed at write 67/27";
        QTest::newRow("no reply at the gravity") << "QZSIM_FAIL_FROM=7" << int(Result::Failed)
                                                 << "failed at write 894/4";
        QTest::newRow("memory kept") << "QZSIM_FAULT=keep-memory" << int(Result::VerifyFailed)
                                     << "gravity, output 1 lower, output 1 higher, output 1 mode, output 3 mode";
    }
    void failuresAreRecorded()
    {
        QFETCH(QString, setting);
        QFETCH(int, result);
        QFETCH(QString, detail);
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        const Run r = run({"write-config", file}, {setting});
        QCOMPARE(r.exitCode, 1);
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(int(all[0].result), result);
        QCOMPARE(all[0].detail, detail);
    }

    // Killed after its before-record, while the write is under way: the record says it did not finish.
    void killedWriteLeavesUnfinishedRecord()
    {
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        {
            Journal create(address);
        }
        std::unique_ptr<QProcess> p(start({"write-config", file}, {"QZSIM_LATENCY_MS=400"}));
        // until the record is there, not one write frame went out
        QElapsedTimer waited;
        waited.start();
        while (records().empty()) {
            QVERIFY2(!writeSent(), "a write frame before the journal's record");
            QVERIFY(waited.elapsed() < 30000);
            QTest::qWait(20);
        }
        ::kill(pid_t(p->processId()), SIGKILL);
        QVERIFY(p->waitForFinished(10000));
        QVERIFY(!writeSent());
        QCOMPARE(fileBytes(memoryPath), factoryImage);
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].result, Result::Begun);
        const Run history = run({"history"});
        QCOMPARE(history.exitCode, 0);
        QVERIFY2(history.out.split('\n').value(0).endsWith("  not finished"), history.out.constData());
    }

    // A signal during the write waits for it and its read-back: the record says written, and that the
    // signal came. With --all, a transmitter whose write had not begun is recorded as interrupted.
    void signalsAreRecorded()
    {
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        {
            Journal create(address);
        }
        // instance 1 is slow: still reading before its write when instance 0 writes
        std::unique_ptr<QProcess> p(
            start({"--all", "write-config", file}, {"QZSIM_DEVICES=2", "QZSIM_LATENCY_MS=0:40,1:400"}));
        QVERIFY(p->waitForStarted());
        QElapsedTimer waited;
        waited.start();
        while (!writeSent()) {
            QVERIFY(waited.elapsed() < 30000 && p->state() == QProcess::Running);
            QTest::qWait(5);
        }
        ::kill(pid_t(p->processId()), SIGINT);
        const Run r = finish(p.release());
        QCOMPARE(r.exitCode, 130);
        std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(2));
        std::sort(all.begin(), all.end(), [](const Entry &a, const Entry &b) { return *a.serial < *b.serial; });
        QCOMPARE(*all[0].serial, 12345);
        QCOMPARE(all[0].result, Result::Written);
        QCOMPARE(all[0].detail, QStringLiteral("SIGINT came during the write, which ended first"));
        QVERIFY(!all[0].after.empty());
        QCOMPARE(*all[1].serial, 12346);
        QCOMPARE(all[1].result, Result::Interrupted);
        QCOMPARE(all[1].detail, QStringLiteral("by SIGINT before the first write frame; nothing was sent"));
        QVERIFY(!QFile::exists(memoryPath + ".1")); // never written to
        const Run history = run({"history", "--serial", "12346"});
        QVERIFY2(history.out.split('\n').value(0).endsWith("  interrupted"), history.out.constData());
    }

    // Refused files are recorded with the reason; nothing is sent.
    void refusalIsRecorded()
    {
        const QString file = dir->filePath("bad.cfg");
        writeBytes(file, configFile({"p", "1000", "100", "200", "1", "0", "0", "0", "0", "0", "0"}));
        const Run r = run({"write-config", file});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(requestCount(), 0);
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(1));
        QCOMPARE(all[0].result, Result::Refused);
        QVERIFY2(all[0].detail.contains(QLatin1String("lower value 200 Pa is above its higher value")),
                 qPrintable(all[0].detail));
    }

    // Qt looks for the SQL driver beside the program too: a Windows install
    // carries sqldrivers\qsqlite.dll there, and without the application
    // object that makes Qt look, every journaled write was refused.
    void sqlDriversAreLookedForBesideTheProgram()
    {
        const QString file = dir->filePath("changed.cfg");
        writeBytes(file, kChanged);
        const Run write = run({"write-config", file}, {"QT_DEBUG_PLUGINS=1"});
        QVERIFY2(write.exitCode == 0, write.err.constData());
        const QByteArray beside = QFile::encodeName(QFileInfo(QStringLiteral(QZ_CLI)).absolutePath() + "/sqldrivers");
        QVERIFY2(write.err.contains("\"" + beside + "\""), write.err.constData());
        QCOMPARE(records().size(), std::size_t(1));
    }

    // Without --journal or QZ5801_JOURNAL the record goes where --help says it does.
    void theDefaultJournalIsWhereHelpSays()
    {
        const Run help = run({"--help"});
        const QRegularExpressionMatch said =
            QRegularExpression(QStringLiteral(R"(, else (\S+journal\.sqlite)\))")).match(QString::fromUtf8(help.out));
        QVERIFY2(said.hasMatch(), help.out.constData());
        QString place = said.captured(1);
        QVERIFY2(place.startsWith(QStringLiteral("$XDG_DATA_HOME/")), qPrintable(place));
        place.replace(QStringLiteral("$XDG_DATA_HOME"), dir->filePath("data"));

        const QString file = dir->filePath("changed.cfg");
        writeBytes(file, kChanged);
        auto *p = new QProcess;
        QProcessEnvironment env = environment({});
        env.remove(journal::kJournalVariable);
        p->setProcessEnvironment(env);
        p->start(QZ_CLI, {"write-config", file});
        const Run write = finish(p);
        QVERIFY2(write.exitCode == 0, write.err.constData());
        journal::Address there;
        there.path = place;
        QVERIFY2(QFile::exists(place), qPrintable(place));
        QCOMPARE(Journal(there).history({}).size(), std::size_t(1));
    }

    // history: newest first, by serial and time, text that keeps a hostile name on its line, JSON as stored.
    void historyReads()
    {
        const QString hostile = dir->filePath("a\nb'); DROP TABLE qz5801_journal; --.cfg");
        writeBytes(hostile, kChanged);
        QCOMPARE(run({"write-config", hostile}).exitCode, 0);
        QTest::qWait(5);
        const QDateTime between = QDateTime::currentDateTimeUtc();
        QTest::qWait(5);
        const QString plain = dir->filePath("plain.cfg");
        writeBytes(plain, kChanged);
        QCOMPARE(run({"--device", "1", "write-config", plain}, {"QZSIM_DEVICES=2"}).exitCode, 0);

        const Run text = run({"history"});
        QCOMPARE(text.exitCode, 0);
        const QList<QByteArray> lines = text.out.split('\n');
        QVERIFY2(lines.value(0).startsWith("#2  ") && lines.value(0).contains("serial 12346 at 1-2  written"),
                 text.out.constData());
        QVERIFY(text.out.contains("changes: gravity 1000 -> 1500, output 1 lower"));
        int fileLines = 0;
        for (const QByteArray &line : lines)
            fileLines += line.startsWith("    file ");
        QCOMPARE(fileLines, 2);
        QVERIFY(!lines.contains("b'); DROP TABLE qz5801_journal; --.cfg (sha256 "));

        const Run one = run({"history", "--serial", "12345", "--json"});
        QCOMPARE(one.exitCode, 0);
        const QJsonArray list = QJsonDocument::fromJson(one.out).array();
        QCOMPARE(list.size(), 1);
        const QJsonObject e = list[0].toObject();
        QCOMPARE(e["file"].toString(), hostile);
        QCOMPARE(e["serial"].toInt(), 12345);
        QCOMPARE(e["result"].toString(), QStringLiteral("written"));
        QCOMPARE(e["before"].toObject()["memory"].toString(), records().back().before.toText());
        QVERIFY(e["restored_from"].isNull());

        const Run since = run({"history", "--since", between.toString(Qt::ISODateWithMs), "--json"});
        QCOMPARE(QJsonDocument::fromJson(since.out).array().size(), 1);
        QCOMPARE(run({"history", "--since", "yesterday"}).exitCode, 2);
        QCOMPARE(run({"history", "--device", "0"}).exitCode, 2);
    }

    // restore gives back exactly the bytes from before, verified, in a record of its own.
    void restoreGivesBackTheBytes()
    {
        // bytes no configuration file could give: a NaN gravity and mode 9
        QByteArray odd = factoryImage;
        odd.replace(894, 4, QByteArray::fromHex("ffffc07f"));
        odd[75] = char(9);
        writeBytes(memoryPath, odd);
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        QCOMPARE(run({"write-config", file}).exitCode, 0);
        QVERIFY(fileBytes(memoryPath) != odd);

        const Run r = run({"restore"});
        QVERIFY2(r.exitCode == 0, r.err.constData());
        QCOMPARE(r.out, QByteArray("Configuration restored from record 1 (journal record 2)\n"));
        QCOMPARE(fileBytes(memoryPath), odd);
        const std::vector<Entry> all = records();
        QCOMPARE(all.size(), std::size_t(2));
        QCOMPARE(all[0].operation, QStringLiteral("restore"));
        QCOMPARE(all[0].restoredFrom, std::optional<qint64>(1));
        QCOMPARE(all[0].result, Result::Written);
        QCOMPARE(all[0].requested, all[1].before);
        QCOMPARE(all[0].after, all[1].before);
    }

    void restoreRefusals_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("reason");
        QTest::newRow("nothing journaled") << QStringList{"restore"}
                                           << QByteArray("no written configuration of transmitter 12346");
        QTest::newRow("no such record") << QStringList{"restore", "--record", "99"} << QByteArray("no record 99");
        QTest::newRow("another transmitter's") << QStringList{"restore", "--record", "1"}
                                               << QByteArray("record 1 is of transmitter 12345 at 1-1, not of "
                                                             "this one (12346 at 1-2)");
    }
    void restoreRefusals()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, reason);
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, kChanged);
        QCOMPARE(run({"--device", "0", "write-config", file}, {"QZSIM_DEVICES=2"}).exitCode, 0);
        QFile::remove(logPath);
        const Run r = run(QStringList{"--device", "1"} + args, {"QZSIM_DEVICES=2"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(reason), r.err.constData());
        // the serial number is read, nothing written
        for (const QByteArray &line : fileBytes(logPath + ".1").split('\n'))
            QVERIFY(line.size() < 8 || QByteArray::fromHex(line).at(3) != 8);
        QCOMPARE(records().size(), std::size_t(1));
    }
};

QTEST_GUILESS_MAIN(JournalCliTest)
#include "test_journal_cli.moc"

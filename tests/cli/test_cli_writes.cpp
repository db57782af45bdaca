// write-config writes whole or not at all and says what happened; backups
// restore exactly.
#include "CliFixture.h"

#include "ConfigurationFile.h"
#include "ValueEntry.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <csignal>
#include <cstring>

#ifdef __linux__
#include <sys/inotify.h>
#include <unistd.h>
#endif

namespace {

QByteArray withSerial(QByteArray image, uint16_t serial)
{
    image[7] = char(serial & 0xFF);
    image[8] = char(serial >> 8);
    return image;
}

} // namespace

class CliWritesTest : public CliFixture {
    Q_OBJECT

    void expectNewConfiguration(const QByteArray &image)
    {
        QCOMPARE(image.mid(894, 4), floatBytes(1500));
        QCOMPARE(image.mid(71, 4), floatBytes(65000));
        QCOMPARE(image.mid(67, 27).mid(9), factoryImage.mid(76, 18));
    }

private slots:
    void initTestCase() { setUpCase(); }
    void init() { setUp(); }

    // --- nothing wrong is written ---

    // A range that is no usable number lets every comparison pass; it is refused unless forced.
    void unreadableRange_data()
    {
        QTest::addColumn<QByteArray>("range");
        QTest::addColumn<QByteArray>("shown");
        QTest::newRow("erased") << QByteArray("\xFF\xFF\xFF\xFF", 4) << QByteArray("reads as nan Pa");
        QTest::newRow("infinite") << floatBytes(INFINITY) << QByteArray("reads as inf Pa");
        QTest::newRow("zero") << floatBytes(0) << QByteArray("reads as 0 Pa");
        QTest::newRow("minus zero") << floatBytes(-0.0f) << QByteArray("reads as 0 Pa");
        QTest::newRow("negative") << floatBytes(-100000) << QByteArray("reads as -100000 Pa");
    }
    void unreadableRange()
    {
        QFETCH(QByteArray, range);
        QFETCH(QByteArray, shown);
        setMemory(890, range);
        const QByteArray before = memory();
        const QString file = dir->filePath("huge.cfg");
        writeBytes(file, configFile({"p", "1000", "1e9", "-1e9", "1", "80000", "40000", "2", "70000", "30000", "3"}));
        const Run r = run({"write-config", file});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("nominal range " + shown), r.err.constData());
        QVERIFY(!r.err.contains("-0 "));
        QVERIFY(r.err.endsWith("qz5801-cli: Nothing was written\n"));
        QVERIFY(!requestLog().join(' ').contains("write"));
        QCOMPARE(memory(), before);

        const Run forced = run({"write-config", "--force", file});
        QCOMPARE(forced.exitCode, 0);
        QVERIFY2(forced.err.contains("range check skipped"), forced.err.constData());
        QCOMPARE(memory().mid(71, 4), floatBytes(1e9f));
    }

    // The switching values are checked by the window's own function, in its arithmetic,
    // right at the edge of 1.01 x the range and -0.1 x the range.
    void rangeCheckIsTheWindows_data()
    {
        QTest::addColumn<float>("range");
        QTest::addColumn<float>("value");
        QTest::addColumn<int>("fileLine");
        // ranges where 1.01 x range in float lies above it in double: one float step that
        // a float comparison lets through
        int found = 0;
        for (float r = 100000; found < 3 && r < 101000; r += 1) {
            const float edge = 1.01f * r;
            if (static_cast<double>(edge) > 1.01 * static_cast<double>(r)) {
                QTest::addRow("1.01 x %g", double(r)) << r << edge << 7;
                QTest::addRow("below 1.01 x %g", double(r)) << r << std::nextafter(edge, 0.0f) << 7;
                ++found;
            }
        }
        QVERIFY(found > 0);
        const float odd = 123457.0f;
        const float foot = static_cast<float>(-0.1 * static_cast<double>(odd));
        QTest::newRow("-0.1 x odd range") << odd << foot << 8;
        QTest::newRow("below -0.1 x odd range") << odd << std::nextafter(foot, -INFINITY) << 8;
    }
    void rangeCheckIsTheWindows()
    {
        QFETCH(float, range);
        QFETCH(float, value);
        QFETCH(int, fileLine);
        setMemory(890, floatBytes(range));
        ConfigurationRecord record;
        record.limitLowerBound = static_cast<float>(-0.1 * static_cast<double>(range));
        record.limitUpperBound = range;
        const QString text = QString::number(double(value), 'g', 9);
        const bool windowWarns = display::checkLimitEntry(fileLine == 7, text, text, 1.0f, record).messages.size() > 0;

        QList<QByteArray> lines{"p", "1000", "60000", "-1", "1", "80000", "-1", "2", "70000", "30000", "3"};
        lines[fileLine - 2] = text.toLatin1();
        const QString file = dir->filePath("edge.cfg");
        writeBytes(file, configFile(lines));
        const Run r = run({"write-config", file});
        QCOMPARE(r.exitCode, windowWarns ? 1 : 0);
        QCOMPARE(r.err.contains("is out of range for this transmitter"), windowWarns);
    }

#ifdef __linux__
    // The bytes checked are the bytes written: the file is opened once, also
    // when several transmitters get it.
    void fileIsReadOnce_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("env");
        QTest::newRow("one transmitter") << QStringList{"write-config"} << QStringList{};
        QTest::newRow("--all, three") << QStringList{"--all", "write-config"} << QStringList{"QZSIM_DEVICES=3"};
    }
    void fileIsReadOnce()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, env);
        const QString file = newFile();
        const int watch = inotify_init1(IN_NONBLOCK);
        QVERIFY(watch >= 0);
        // with the closes too, so that two opens in a row are not merged into one event
        QVERIFY(inotify_add_watch(watch, file.toLocal8Bit().constData(), IN_OPEN | IN_CLOSE) >= 0);
        const Run r = run(args << file, env);
        QCOMPARE(r.exitCode, 0);
        int opens = 0;
        alignas(inotify_event) char buffer[4096];
        for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;)
            for (char *p = buffer; p < buffer + n; p += sizeof(inotify_event) + reinterpret_cast<inotify_event *>(p)->len)
                opens += (reinterpret_cast<inotify_event *>(p)->mask & IN_OPEN) != 0;
        ::close(watch);
        QCOMPARE(opens, 1);
    }
#endif

    // A signal during the write bracket waits for the bracket and its read-back.
    void signalsWaitForTheBracket_data()
    {
        QTest::addColumn<int>("signal");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("name");
        QTest::newRow("SIGINT") << int(SIGINT) << 130 << QByteArray("SIGINT");
        QTest::newRow("SIGTERM") << int(SIGTERM) << 143 << QByteArray("SIGTERM");
        QTest::newRow("SIGHUP") << int(SIGHUP) << 129 << QByteArray("SIGHUP");
    }
    void signalsWaitForTheBracket()
    {
        QFETCH(int, signal);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, name);
        const QString file = newFile();
        QProcess p;
        p.setProcessEnvironment(environment({"QZSIM_LATENCY_MS=40"}));
        p.start(QZ_CLI, {"write-config", file});
        QVERIFY(p.waitForStarted());
        // the moment the gravity has reached the transmitter and the outputs have not
        while (!requestLog().contains("write 894/4") && p.state() == QProcess::Running)
            QTest::qWait(5);
        QVERIFY(!requestLog().contains("write 67/27"));
        ::kill(pid_t(p.processId()), signal);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), exitCode);
        const QByteArray err = p.readAllStandardError();
        QCOMPARE(err, "qz5801-cli: interrupted by " + name + "; the configuration was written whole\n");
        expectNewConfiguration(memory());
        QVERIFY(requestLog().join(' ').endsWith("command 2 read 894/4 read 67/27 command 1")); // verified
    }

    // A signal before the write bracket starts one no more.
    void signalBeforeTheWrite()
    {
        const QString file = newFile();
        QProcess p;
        p.setProcessEnvironment(environment({"QZSIM_LATENCY_MS=40"}));
        p.start(QZ_CLI, {"write-config", file});
        QVERIFY(p.waitForStarted());
        while (!requestLog().contains("read 890/8") && p.state() == QProcess::Running)
            QTest::qWait(5);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130);
        QCOMPARE(p.readAllStandardError(), QByteArray("qz5801-cli: interrupted by SIGINT; nothing was written\n"));
        QCOMPARE(memory(), factoryImage);
    }

    // With --all, writes in flight end whole and none starts after the signal.
    void signalWithAll()
    {
        const QString file = newFile();
        QProcess p;
        // instance 1 is slow: still reading before its write when instance 0 writes
        p.setProcessEnvironment(environment({"QZSIM_DEVICES=2", "QZSIM_LATENCY_MS=0:40,1:400"}));
        p.start(QZ_CLI, {"--all", "write-config", file});
        QVERIFY(p.waitForStarted());
        while (!requestLog().contains("write 894/4") && p.state() == QProcess::Running)
            QTest::qWait(5);
        QVERIFY(!fileBytes(logPath + ".1").isEmpty());
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(60000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130);
        const QByteArray err = p.readAllStandardError();
        QVERIFY2(err.contains("qz5801-cli: 12345: interrupted by SIGINT; the configuration was written whole\n"),
                 err.constData());
        QVERIFY2(err.contains("qz5801-cli: 12346: interrupted by SIGINT; nothing was written\n"), err.constData());
        expectNewConfiguration(memory());
        QVERIFY(!QFile::exists(memoryPath + ".1")); // never written to
    }

    // The transmitter stops answering inside the bracket: the report says what reached it.
    void failureInsideTheBracket_data()
    {
        QTest::addColumn<QString>("failFrom");
        QTest::addColumn<QByteArrayList>("said");
        QTest::addColumn<bool>("gravityWritten");
        // requests 1-4 read the range, 5 the serial number for the journal; 6 command 2, 7 the gravity,
        // 8 the outputs, 9 command 1
        QTest::newRow("after the gravity") << "8"
                                           << QByteArrayList{"  specific gravity: written\n",
                                                             "  outputs 1 to 3 (values and modes): not acknowledged"}
                                           << true;
        QTest::newRow("silent at the outputs, answering again")
            << "8-8"
            << QByteArrayList{"read back from the transmitter, of the fields the file changes it now holds:\n",
                              "the new value of:\nqz5801-cli:   specific gravity\n",
                              "its old value of:\nqz5801-cli:   output 1 higher value\n"}
            << true;
        QTest::newRow("at the gravity") << "7"
                                        << QByteArrayList{"  specific gravity: not acknowledged",
                                                          "  outputs 1 to 3 (values and modes): not written\n"}
                                        << false;
    }
    void failureInsideTheBracket()
    {
        QFETCH(QString, failFrom);
        QFETCH(QByteArrayList, said);
        QFETCH(bool, gravityWritten);
        const QString file = newFile();
        const Run r = run({"write-config", file}, {"QZSIM_FAIL_FROM=" + failFrom});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("qz5801-cli: Error writing configuration\n"), r.err.constData());
        for (const QByteArray &s : said)
            QVERIFY2(r.err.contains("qz5801-cli: " + s), r.err.constData());
        QCOMPARE(memory().mid(894, 4), gravityWritten ? floatBytes(1500) : factoryImage.mid(894, 4));
        QCOMPARE(memory().mid(67, 27), factoryImage.mid(67, 27));

        // the command that restores the configuration held before, from the journal
        const QByteArray restore = r.err.mid(r.err.indexOf("qz5801-cli --location")).split('\n').first();
        QCOMPARE(restore, QByteArray("qz5801-cli --location 1-1 restore --record 1"));
        const QStringList args = QString::fromLocal8Bit(restore).split(' ').mid(1);
        QCOMPARE(run(args).exitCode, 0);
        QCOMPARE(memory(), factoryImage);
    }

    // --- backups that restore exactly ---

    void duplicateSerialNumbers()
    {
        writeBytes(memoryPath + ".1", withSerial(factoryImage, 777));
        writeBytes(memoryPath + ".2", withSerial(factoryImage, 777));
        const QStringList three{"QZSIM_DEVICES=3"};

        const Run list = run({"list"}, three);
        QCOMPARE(list.exitCode, 0);
        QVERIFY2(list.out.startsWith("0 12345 1-1\n1 777 1-2 (serial number shared"), list.out.constData());
        const QJsonArray listed = QJsonDocument::fromJson(run({"list", "--json"}, three).out).array();
        QCOMPARE(listed[0].toObject()["duplicate_serial"], false);
        QCOMPARE(listed[2].toObject()["duplicate_serial"], true);

        const Run ambiguous = run({"--serial", "777", "info"}, three);
        QCOMPARE(ambiguous.exitCode, 2);
        QVERIFY(ambiguous.err.contains("2 transmitters have serial number 777"));
        QVERIFY(ambiguous.err.contains("--location 1-2") && ambiguous.err.contains("--location 1-3"));
        QVERIFY(ambiguous.out.isEmpty());

        const Run chosen = run({"--location", "1-3", "dump", "7", "2"}, three);
        QCOMPARE(chosen.exitCode, 0);
        QCOMPARE(chosen.out, QByteArray("09 03\n"));
        QCOMPARE(run({"--location", "9-9", "info"}, three).exitCode, 3);

        const QString folder = dir->filePath("backups/today");
        const Run all = run({"--all", "read-config", folder}, three);
        QCOMPARE(all.exitCode, 0);
        QCOMPARE(QDir(folder).entryList(QDir::Files, QDir::Name),
                 (QStringList{"12345.cfg", "777-1-2.cfg", "777-1-3.cfg"}));
        QCOMPARE(fileBytes(folder + "/777-1-3.cfg"), kFactoryFile);
    }

    // read-config, diff and write-config of what was read change no byte, for any configuration.
    void losslessRoundTrip_data()
    {
        QTest::addColumn<float>("gravity");
        QTest::addColumn<QList<float>>("values"); // memory order: lower 1, higher 1, ...
        QTest::newRow("gravity 998.6") << 998.6f << QList<float>{20000, 60000, 40000, 80000, 30000, 70000};
        QTest::newRow("gravity 0.1, out of range") << 0.1f << QList<float>{0, 0, 0, 0, 0, 0};
        QTest::newRow("one float step above 1")
            << 1000.0f << QList<float>{1.0f, std::nextafter(1.0f, 2.0f), -0.0f, 0.0f, 0.1f, 7.3f};
        QTest::newRow("below six decimals") << 1000.0f << QList<float>{1e-30f, 4e-7f, -1.4e-45f, 1e-6f, 0, 1};
        QTest::newRow("odd fractions") << 1234.567f << QList<float>{-3333.3333f, 123456.79f, 0.333333343f,
                                                                    99999.99f, -10000, 101000};
        QTest::newRow("huge") << 100000.0f << QList<float>{-3.4e38f, 3.4e38f, 1e20f, 1.5e20f, 0, 0};
    }
    void losslessRoundTrip()
    {
        QFETCH(float, gravity);
        QFETCH(QList<float>, values);
        setMemory(894, floatBytes(gravity));
        for (int i = 0; i < 6; ++i)
            setMemory(67 + 9 * uint32_t(i / 2) + 4 * uint32_t(i % 2), floatBytes(values[i]));
        const QByteArray before = memory();

        const Run read = run({"read-config"});
        QCOMPARE(read.exitCode, 0);
        const QString file = dir->filePath("backup.cfg");
        writeBytes(file, read.out);

        // the window's format: twelve lines, the values in fixed notation with at least six decimals
        const QList<QByteArray> lines = read.out.split('\n');
        QCOMPARE(lines.size(), 13);
        static const QRegularExpression fixed(QStringLiteral("^-?[0-9]+\\.[0-9]{6,}\r$"));
        for (int line : {3, 4, 6, 7, 9, 10})
            QVERIFY2(fixed.match(QString::fromLatin1(lines[line])).hasMatch(), lines[line].constData());
        // and the window reads back each value as it was
        const std::optional<config::ConfigurationFile> parsed = config::parseConfigurationFile(read.out);
        QVERIFY(parsed);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(floatBytes(parsed->values[std::size_t(i)]), floatBytes(values[i]));

        const Run diff = run({"diff", file});
        QCOMPARE(diff.exitCode, 0);
        QVERIFY(diff.out.endsWith("equal\n"));

        const Run write = run({"write-config", "--force", file});
        QCOMPARE(write.exitCode, 0);
        QVERIFY(requestLog().contains("write 67/27"));
        QCOMPARE(memory(), before);
    }

    // What a configuration file cannot hold is said, and read-config does not claim success.
    void backupThatCannotBeExact()
    {
        setMemory(71, QByteArray("\xFF\xFF\xFF\xFF", 4));
        const Run r = run({"read-config"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains("output 1 higher value: the transmitter holds no number (nan)"), r.err.constData());
        QCOMPARE(r.out.split('\n').value(3), QByteArray("nan\r"));
    }
};

QTEST_GUILESS_MAIN(CliWritesTest)
#include "test_cli_writes.moc"

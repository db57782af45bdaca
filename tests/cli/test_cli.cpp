#include "CliFixture.h"

#include <QtTest>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <csignal>
#include <cstring>

class CliTest : public CliFixture {
    Q_OBJECT

private slots:
    void initTestCase() { setUpCase(); }
    void init() { setUp(); }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("problem");
        QTest::newRow("no command") << QStringList{} << QByteArray("a command is missing");
        QTest::newRow("unknown command") << QStringList{"nope"} << QByteArray("unknown command nope");
        QTest::newRow("unknown option") << QStringList{"info", "--fast"} << QByteArray("unknown option --fast");
        QTest::newRow("info with an argument") << QStringList{"info", "x"} << QByteArray("info: \"x\" is one argument");
        QTest::newRow("value with an argument") << QStringList{"value", "1"} << QByteArray("value: \"1\"");
        QTest::newRow("dump without address") << QStringList{"dump"} << QByteArray("dump: ADDRESS is missing");
        QTest::newRow("dump without length") << QStringList{"dump", "7"} << QByteArray("dump: LENGTH is missing");
        QTest::newRow("dump negative") << QStringList{"dump", "-1", "2"} << QByteArray("dump: ADDRESS \"-1\"");
        QTest::newRow("dump zero length") << QStringList{"dump", "7", "0"} << QByteArray("dump: LENGTH is 0");
        QTest::newRow("dump octal-looking hex") << QStringList{"dump", "0x", "2"} << QByteArray("dump: ADDRESS");
        QTest::newRow("dump past 64 KiB") << QStringList{"dump", "65535", "2"} << QByteArray("past the 64 KiB");
        QTest::newRow("dump wrapping at 32 bits") << QStringList{"dump", "4294967295", "1"} << QByteArray("past the 64 KiB");
        QTest::newRow("dump gigabytes") << QStringList{"dump", "0", "4000000000"} << QByteArray("past the 64 KiB");
        QTest::newRow("read-config two files") << QStringList{"read-config", "a", "b"} << QByteArray("\"b\" is one");
        QTest::newRow("write-config without file") << QStringList{"write-config"} << QByteArray("FILE is missing");
        QTest::newRow("write-config two files") << QStringList{"write-config", "a", "b"} << QByteArray("\"b\"");
        QTest::newRow("diff without file") << QStringList{"diff"} << QByteArray("diff: FILE is missing");
        QTest::newRow("watch count missing") << QStringList{"watch", "--count"} << QByteArray("--count: N is missing");
        QTest::newRow("watch count zero") << QStringList{"watch", "--count", "0"} << QByteArray("--count: \"0\"");
        QTest::newRow("watch count not a number") << QStringList{"watch", "--count", "x"} << QByteArray("--count");
        QTest::newRow("watch interval below 0.1") << QStringList{"watch", "--interval", "0.05"} << QByteArray("0.1");
        QTest::newRow("watch interval negative") << QStringList{"watch", "--interval", "-1"} << QByteArray("--interval");
        QTest::newRow("watch unknown unit") << QStringList{"watch", "--unit", "furlong"} << QByteArray("furlong");
        QTest::newRow("watch timestamps local") << QStringList{"watch", "--timestamps", "local"} << QByteArray("iso");
        QTest::newRow("watch option on info") << QStringList{"info", "--count", "2"} << QByteArray("do not apply");
        QTest::newRow("write option on diff") << QStringList{"diff", "f", "--force"} << QByteArray("do not apply");
        QTest::newRow("--all on dump") << QStringList{"--all", "dump", "7", "2"} << QByteArray("dump: --all");
        QTest::newRow("--device and --serial") << QStringList{"--device", "0", "--serial", "1", "info"}
                                               << QByteArray("exclude each other");
        QTest::newRow("--all and --device") << QStringList{"--all", "--device", "0", "info"} << QByteArray("--all excludes");
        QTest::newRow("--device not a number") << QStringList{"--device", "one", "info"} << QByteArray("--device");
        QTest::newRow("--serial too large") << QStringList{"--serial", "65536", "info"} << QByteArray("--serial");
        QTest::newRow("read-config --all without folder") << QStringList{"--all", "read-config"}
                                                          << QByteArray("needs a folder");
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, problem);
        const Run r = run(args, {"QZSIM_DEVICES=3"});
        QCOMPARE(r.exitCode, 2);
        const QList<QByteArray> lines = r.err.split('\n');
        QCOMPARE(lines.size(), 3); // one line naming the problem, one pointing to --help
        QVERIFY2(lines[0].startsWith("qz5801-cli: ") && lines[0].contains(problem), lines[0].constData());
        QVERIFY(lines[1].startsWith("qz5801-cli: ") && lines[1].contains("--help")); // every line says whose it is
        QVERIFY(r.out.isEmpty());
        QVERIFY(requestLog().isEmpty());
    }

    void helpAndVersion_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArrayList>("mentions");
        QTest::newRow("--help") << QStringList{"--help"}
                                << QByteArrayList{"list", "diff", "write-config", "--serial", "--all", "--json",
                                                  "--dry-run", "--no-verify", "--timestamps", "  3  ", "  4  ", "--location",
                                                  "--quiet", "--timeout", "wait", "130"};
        QTest::newRow("command --help") << QStringList{"dump", "--help"} << QByteArrayList{"dump ADDRESS LENGTH"};
        QTest::newRow("help beats a usage error") << QStringList{"dump", "-h", "x"} << QByteArrayList{"dump"};
        QTest::newRow("--version") << QStringList{"--version"} << QByteArrayList{"qz5801-cli " QZ_VERSION "\n"};
    }
    void helpAndVersion()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArrayList, mentions);
        const Run r = run(args, {"QZSIM_DEVICES=0"});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.err.isEmpty());
        for (const QByteArray &m : mentions)
            QVERIFY2(r.out.contains(m), m.constData());
        QVERIFY(requestLog().isEmpty());
    }

    // What --help offers, the completion completes and the manual page explains.
    void documentationCoversEveryOption()
    {
        const Run help = run({"--help"});
        const QString text = QString::fromUtf8(help.out);
        QStringList words;
        static const QRegularExpression option(QStringLiteral("--[a-z][a-z-]+"));
        for (const QRegularExpressionMatch &m : option.globalMatch(text))
            words << m.captured();
        for (const char *command : {"list", "info", "value", "dump", "read-config", "write-config", "diff", "watch", "wait"})
            words << command;
        words.removeDuplicates();
        QVERIFY(words.size() > 20);
        const QString completion = QString::fromUtf8(fileBytes(QZ_SOURCE_DIR "/dist/completion/qz5801-cli"));
        // the manual page writes a minus as \-
        const QString manual = QString::fromUtf8(fileBytes(QZ_SOURCE_DIR "/dist/man/qz5801-cli.1")).remove('\\');
        QVERIFY(!completion.isEmpty() && !manual.isEmpty());
        for (const QString &w : words) {
            QVERIFY2(completion.contains(w), qPrintable("completion lacks " + w));
            QVERIFY2(manual.contains(w), qPrintable("manual page lacks " + w));
        }
    }

    void transmitterFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("exitCode");
        const QList<std::pair<const char *, QStringList>> commands = {
            {"info", {"info"}},
            {"value", {"value"}},
            {"dump", {"dump", "7", "2"}},
            {"read-config", {"read-config"}},
            {"write-config", {"write-config", "FILE"}},
            {"watch", {"watch", "--count", "2", "--interval-ms", "0"}},
            {"diff", {"diff", "FILE"}},
        };
        for (const auto &[name, args] : commands) {
            // a read that fails before anything is written says so
            const QByteArray message = QByteArray(name) == "read-config"    ? "qz5801-cli: Error reading configuration\n"
                                       : QByteArray(name) == "diff"         ? "qz5801-cli: Error reading configuration\n"
                                       : QByteArray(name) == "write-config" ? "qz5801-cli: Error reading configuration\n"
                                                                              "qz5801-cli: Nothing was written\n"
                                                                            : "qz5801-cli: Device not reply\n";
            QTest::addRow("%s, no transmitter", name)
                << args << QString("QZSIM_DEVICES=0") << QByteArray("qz5801-cli: No transmitter is attached\n") << 3;
            for (const char *setting : {"QZSIM_FAULT=no-reply", "QZSIM_FAULT=crc"})
                QTest::addRow("%s, %s", name, setting) << args << QString(setting) << message
                                                       << (QByteArray(name) == "diff" ? 2 : 1);
        }
    }
    void transmitterFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, setting);
        QFETCH(QByteArray, message);
        QFETCH(int, exitCode);
        const QString file = dir->filePath("config.cfg");
        writeBytes(file, kFactoryFile);
        args.replaceInStrings("FILE", file);
        const Run r = run(args, {setting});
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.exitCode, exitCode);
        QCOMPARE(r.err, message);
        QCOMPARE(memory(), factoryImage);
    }

    void info()
    {
        const Run r = run({"info"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("12345\n"));
        QCOMPARE(requestLog(), QStringList{"read 7/2"});
    }

    void value()
    {
        const Run r = run({"value"}, {"QZSIM_VALUE=1234.5"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("1234.500\n"));
        QCOMPARE(requestLog(), (QStringList{"command 1", "query 4"}));
    }

    void dump()
    {
        const Run r = run({"dump", "0x7", "2"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("39 30\n"));
        QCOMPARE(requestLog(), (QStringList{"command 2", "read 7/2", "command 1"}));
        const Run block = run({"dump", "890", "60"});
        QCOMPARE(block.exitCode, 0);
        QCOMPARE(block.out.count('\n'), 4);
        QVERIFY(block.out.startsWith("00 50 c3 47 00 00 7a 44")); // 100000 and 1000 as floats
    }

    // Decimal, or hex after 0x; a leading zero does not make a number octal.
    void dumpNumbers_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("request");
        QTest::newRow("leading zero") << QStringList{"dump", "010", "2"} << "read 10/2";
        QTest::newRow("leading zeros in both") << QStringList{"dump", "0007", "010"} << "read 7/10";
        QTest::newRow("hex") << QStringList{"dump", "0x10", "0X2"} << "read 16/2";
        QTest::newRow("upper-case hex digits") << QStringList{"dump", "0xFFFF", "1"} << "read 65535/1";
        QTest::newRow("last byte of memory") << QStringList{"dump", "65535", "1"} << "read 65535/1";
    }
    void dumpNumbers()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, request);
        const Run r = run(args);
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(requestLog().value(1), request);
    }

    void readConfigPrintsTheFile()
    {
        const Run r = run({"read-config"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, kFactoryFile);
        QVERIFY(r.err.isEmpty());
        const QStringList expected = {"command 2", "read 890/8", "read 67/27", "read 67/4", "read 71/4",
                                      "read 75/1", "read 76/4",  "read 80/4",  "read 84/1", "read 85/4",
                                      "read 89/4", "read 93/1",  "command 1"};
        QCOMPARE(requestLog(), expected);
    }

    void readConfigIntoFile()
    {
        const QString file = dir->filePath("saved.cfg");
        const Run r = run({"read-config", file});
        QCOMPARE(r.exitCode, 0);
        QVERIFY(r.out.isEmpty());
        QCOMPARE(fileBytes(file), kFactoryFile);

        const Run nowhere = run({"read-config", dir->filePath("no/such/folder.cfg")});
        QCOMPARE(nowhere.exitCode, 1);
        QCOMPARE(nowhere.err, "qz5801-cli: Cannot open file: " + dir->filePath("no/such/folder.cfg").toLocal8Bit() + "\n");
    }

    void readConfigGravity_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("line3");
        QTest::addColumn<bool>("warned");
        // the file keeps the gravity as the transmitter stores it, so writing it back changes nothing
        QTest::newRow("9.99") << floatBytes(9.99f) << QByteArray("9.99") << true;
        QTest::newRow("998.5 stays 998.5") << floatBytes(998.5f) << QByteArray("998.5") << false;
        QTest::newRow("998.6") << floatBytes(998.6f) << QByteArray("998.6") << false;
        QTest::newRow("exactly 100000") << floatBytes(100000) << QByteArray("100000") << false;
    }
    void readConfigGravity()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QByteArray, line3);
        QFETCH(bool, warned);
        setMemory(894, bytes);
        const Run r = run({"read-config"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.split('\n').value(2), line3 + '\r');
        QCOMPARE(r.err, warned ? QByteArray("qz5801-cli: Specific gravity out of range\n") : QByteArray());
    }

    void readConfigModeAboveFour()
    {
        setMemory(84, QByteArray(1, char(9)));
        const Run r = run({"read-config"});
        // the file holds it as the window would (no selection), and says that this is no exact copy
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out.split('\n').value(8), QByteArray("-1\r"));
        QVERIFY2(r.err.startsWith("qz5801-cli: output 2 mode: the mode byte 9 cannot be kept"), r.err.constData());
    }

    void writeConfig()
    {
        const QString file = dir->filePath("new.cfg");
        // mode 7 is written as the window writes it (no selection) only when forced
        writeBytes(file, configFile({"h", "998,5", "2000", "1000.5", "7", "-1.5", "-2.5", "4", "0", "0", "0"}));
        const Run r = run({"write-config", "--force", file});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("Configuration successfully written\n"));
        QCOMPARE(r.err, "qz5801-cli: warning: " + file.toLocal8Bit() + ":6: output 1 mode \"7\" is not a mode from 0 to 4\n");
        // the range is read before the write bracket, the written fields read back after it
        QCOMPARE(requestLog(), (QStringList{"command 2", "read 890/8", "read 67/27", "command 1",
                                            "command 2", "write 894/4", "write 67/27", "command 1",
                                            "command 2", "read 894/4", "read 67/27", "command 1"}));
        const QByteArray image = memory();
        QCOMPARE(image.mid(894, 4), floatBytes(998.5f));
        QByteArray block;
        block += floatBytes(1000.5f) + floatBytes(2000) + char(0xFF);
        block += floatBytes(-2.5f) + floatBytes(-1.5f) + char(4);
        block += floatBytes(0) + floatBytes(0) + char(0);
        QCOMPARE(image.mid(67, 27), block);
        QCOMPARE(image.mid(890, 4), factoryImage.mid(890, 4));
    }

    // Everything here is refused before the transmitter is touched at all.
    void writeConfigRefusals_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<bool>("forceable");
        const auto file = [](int line, const QByteArray &text) {
            QList<QByteArray> lines{"p", "1000", "60000", "20000", "1", "80000", "40000", "2", "70000", "30000", "3"};
            lines[line - 2] = text;
            return configFile(lines);
        };
        QTest::newRow("output 2 lower above higher")
            << configFile({"p", "1000", "2", "1", "1", "4000", "5000", "1", "2", "1", "1"})
            << QByteArray(":8: output 2 lower value 5000 Pa is above its higher value 4000 Pa (Error in values of pressure)")
            << false;
        // text that reads as no number is never forced through (the window would write 0)
        QTest::newRow("letter O in a value") << file(8, "2O") << QByteArray(":8: output 2 lower value \"2O\" is not a number")
                                             << false;
        QTest::newRow("empty value") << file(11, "") << QByteArray(":11: output 3 lower value \"\" is not a number") << false;
        QTest::newRow("value with a unit") << file(8, "7 kPa") << QByteArray(":8: output 2 lower value \"7 kPa\"") << false;
        QTest::newRow("infinite value") << file(5, "-inf") << QByteArray(":5: output 1 lower value \"-inf\"") << false;
        QTest::newRow("value beyond a float") << file(5, "1e39") << QByteArray(":5: output 1 lower value \"1e39\"")
                                              << false;
        QTest::newRow("thousands separators") << file(11, "1.000,5") << QByteArray(":11: output 3 lower value") << false;
        QTest::newRow("gravity 9.99") << file(3, "9.99") << QByteArray(":3: specific gravity \"9.99\" is outside 10 to 100000")
                                      << true;
        QTest::newRow("gravity 100001") << file(3, "100001") << QByteArray(":3: specific gravity \"100001\" is outside")
                                        << true;
        QTest::newRow("gravity unreadable") << file(3, "water") << QByteArray(":3: specific gravity \"water\" is not a number")
                                            << false;
        QTest::newRow("gravity abc") << file(3, "abc") << QByteArray(":3: specific gravity \"abc\" is not a number")
                                     << false;
        QTest::newRow("mode -1") << file(9, "-1") << QByteArray(":9: output 2 mode -1 leaves the output without a mode")
                                 << true;
        QTest::newRow("mode 5") << file(12, "5") << QByteArray(":12: output 3 mode \"5\" is not a mode from 0 to 4") << true;
        // a file that does not parse names the line and what was expected there
        QTest::newRow("header with a trailing blank") << QByteArray("*** QZ5800 CONFIG *** ") + kFactoryFile.mid(21)
                                                      << QByteArray(":1: expected the line \"*** QZ5800 CONFIG ***\", "
                                                                    "found \"*** QZ5800 CONFIG *** \\x0d\"")
                                                      << false;
        QTest::newRow("mode 1.0") << file(6, "1.0")
                                  << QByteArray(":6: output 1 mode \"1.0\" is not a whole number (0 to 4, or -1 for none)")
                                  << false;
        QTest::newRow("short file") << configFile({"p", "1000", "2", "1", "1"})
                                    << QByteArray(":7: the file ends after line 6; a configuration file has 12 lines")
                                    << false;
        QTest::newRow("empty file") << QByteArray() << QByteArray(": the file is empty") << false;
        QTest::newRow("NUL inside a line") << file(5, QByteArray("20\0" "00", 5))
                                           << QByteArray(":5: output 1 lower value \"20\\x0000\" is not a number")
                                           << false;
    }
    void writeConfigRefusals()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, message);
        QFETCH(bool, forceable);
        const QString file = dir->filePath("bad.cfg");
        writeBytes(file, content);
        const Run r = run({"write-config", file});
        QCOMPARE(r.exitCode, 1);
        QVERIFY2(r.err.contains(message), r.err.constData());
        QVERIFY(r.err.contains(file.toLocal8Bit())); // the file is named
        QVERIFY(r.out.isEmpty());
        QVERIFY(requestLog().isEmpty());
        QCOMPARE(memory(), factoryImage);

        // --force turns a warning into a write; it never lets a refusal through
        const Run forced = run({"write-config", "--force", file});
        QCOMPARE(forced.exitCode, forceable ? 0 : 1);
        QVERIFY2(forced.err.contains(message), forced.err.constData());
        QCOMPARE(forced.err.startsWith("qz5801-cli: warning: "), forceable);
        for (const QByteArray &line : forced.err.split('\n'))
            QVERIFY2(line.isEmpty() || line.startsWith("qz5801-cli: "), line.constData());
        QCOMPARE(memory() == factoryImage, !forceable);
    }

    // Values against the transmitter's range (100 kPa): from -0.1 to 1.01 times it.
    void writeConfigRange_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("fileLine");
        QTest::addColumn<bool>("accepted");
        QTest::newRow("1.01 x range") << QByteArray("101000") << 7 << true;
        QTest::newRow("above 1.01 x range") << QByteArray("101001") << 7 << false;
        QTest::newRow("-0.1 x range") << QByteArray("-10000") << 8 << true;
        QTest::newRow("below -0.1 x range") << QByteArray("-10000,5") << 8 << false;
        QTest::newRow("decimal comma in range") << QByteArray("1500,5") << 8 << true;
    }
    void writeConfigRange()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, fileLine);
        QFETCH(bool, accepted);
        QList<QByteArray> lines{"p", "1000", "60000", "20000", "1", "80000", "-10000", "2", "70000", "30000", "3"};
        lines[fileLine - 2] = line;
        const QString file = dir->filePath("range.cfg");
        writeBytes(file, configFile(lines));
        const Run r = run({"write-config", file});
        QCOMPARE(r.exitCode, accepted ? 0 : 1);
        if (accepted) {
            QVERIFY(r.err.isEmpty());
            return;
        }
        QVERIFY2(r.err.startsWith("qz5801-cli: " + file.toLocal8Bit() + ":" + QByteArray::number(fileLine) + ": output 2 "),
                 r.err.constData());
        QVERIFY(r.err.contains("is out of range for this transmitter (-10000 to 101000 Pa)"));
        // only the range was read; nothing written
        QCOMPARE(requestLog(), (QStringList{"command 2", "read 890/8", "read 67/27", "command 1"}));
        QCOMPARE(memory(), factoryImage);
    }

    void writeConfigMissingFile()
    {
        const Run r = run({"write-config", dir->filePath("missing.cfg")});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, "qz5801-cli: " + dir->filePath("missing.cfg").toLocal8Bit() + ": no such file\n");
        QVERIFY(requestLog().isEmpty());
    }

    void equalValuesAreWritten()
    {
        const QString file = dir->filePath("equal.cfg");
        writeBytes(file, configFile({"p", "1000", "5", "5", "1", "5", "5", "2", "5", "5", "3"}));
        QCOMPARE(run({"write-config", file}).exitCode, 0);
        QCOMPARE(memory().mid(67, 4), floatBytes(5));
    }

    void readThenWriteChangesNothing()
    {
        const QString file = dir->filePath("copy.cfg");
        QCOMPARE(run({"read-config", file}).exitCode, 0);
        QCOMPARE(run({"write-config", file}).exitCode, 0);
        QCOMPARE(memory(), factoryImage);
    }

    void watchPrintsCsv()
    {
        const Run r = run({"watch", "--count", "3", "--interval-ms", "0"}, {"QZSIM_VALUE=1234.5"});
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), 5); // header, three values, the end of the last line
        QCOMPARE(lines[0], QByteArray("seconds,value_pa"));
        double previous = -1;
        for (int i = 1; i <= 3; ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            QCOMPARE(fields.size(), 2);
            bool ok = false;
            const double seconds = fields[0].toDouble(&ok);
            QVERIFY(ok && seconds >= previous);
            previous = seconds;
            QCOMPARE(fields[1], QByteArray("1234.500"));
        }
        QCOMPARE(requestLog(), (QStringList{"command 1", "query 4", "command 1", "query 4", "command 1", "query 4"}));
    }

    void watchStopsOnCtrlC()
    {
        QProcess p;
        p.setProcessEnvironment(environment({"QZSIM_VALUE=7"}));
        p.start(QZ_CLI, {"watch", "--interval-ms", "20"});
        QVERIFY(p.waitForStarted());
        QByteArray out;
        while (out.count('\n') < 3 && p.waitForReadyRead(30000))
            out += p.readAllStandardOutput();
        QVERIFY(out.count('\n') >= 3);
        ::kill(pid_t(p.processId()), SIGINT);
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitStatus(), QProcess::NormalExit);
        QCOMPARE(p.exitCode(), 130); // so a shell loop around it stops too
        out += p.readAllStandardOutput();
        QVERIFY(out.endsWith("7.000\n")); // no line cut short
        QVERIFY(p.readAllStandardError().isEmpty());
    }
    // --- several transmitters ---

    void selection_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("serial");
        QTest::newRow("--device 0") << QStringList{"--device", "0", "info"} << QByteArray("12345");
        QTest::newRow("--device 2") << QStringList{"--device", "2", "info"} << QByteArray("12347");
        QTest::newRow("--device after the command") << QStringList{"info", "--device", "1"} << QByteArray("12346");
        QTest::newRow("--device in hex") << QStringList{"--device", "0x1", "info"} << QByteArray("12346");
        QTest::newRow("--serial 12347") << QStringList{"--serial", "12347", "info"} << QByteArray("12347");
        QTest::newRow("--serial 12346") << QStringList{"info", "--serial", "12346"} << QByteArray("12346");
    }
    void selection()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, serial);
        const Run r = run(args, {"QZSIM_DEVICES=3"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, serial + "\n");
    }

    void selectionWritesOnlyTheChosenOne()
    {
        const QString file = dir->filePath("one.cfg");
        writeBytes(file, configFile({"p", "500", "60000", "20000", "1", "80000", "40000", "2", "70000", "30000", "0"}));
        const Run r = run({"--serial", "12346", "write-config", file}, {"QZSIM_DEVICES=3"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(fileBytes(memoryPath + ".1").mid(894, 4), floatBytes(500));
        QCOMPARE(fileBytes(memoryPath + ".1").mid(93, 1), QByteArray(1, '\0'));
        QCOMPARE(memory(), factoryImage);
        QVERIFY(!QFile::exists(memoryPath + ".2"));
        QVERIFY(fileBytes(logPath + ".1").size() > 0);
        QVERIFY(requestLog().isEmpty() || !requestLog().join(' ').contains("write")); // instance 0 only read
    }

    void refusalWithSeveral_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("info") << QStringList{"info"};
        QTest::newRow("value") << QStringList{"value"};
        QTest::newRow("dump") << QStringList{"dump", "7", "2"};
        QTest::newRow("write-config") << QStringList{"write-config", "FILE"};
        QTest::newRow("diff") << QStringList{"diff", "FILE"};
        QTest::newRow("watch") << QStringList{"watch", "--count", "1"};
    }
    void refusalWithSeveral()
    {
        QFETCH(QStringList, args);
        const QString file = dir->filePath("config.cfg");
        writeBytes(file, configFile({"p", "1000", "1", "0", "1", "1", "0", "1", "1", "0", "1"}));
        args.replaceInStrings("FILE", file);
        const Run r = run(args, {"QZSIM_DEVICES=3"});
        QCOMPARE(r.exitCode, 2);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.contains("3 transmitters are attached"), r.err.constData());
        for (const char *listed : {"--device 0  --serial 12345  at 1-1", "--device 1  --serial 12346  at 1-2",
                                   "--device 2  --serial 12347  at 1-3"})
            QVERIFY2(r.err.contains(listed), listed);
        QVERIFY(!requestLog().join(' ').contains("write"));
        QCOMPARE(memory(), factoryImage);
    }

    void exitCodes_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QStringList>("env");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("list, one") << QStringList{"list"} << QStringList{} << 0 << QByteArray();
        QTest::newRow("list, none") << QStringList{"list"} << QStringList{"QZSIM_DEVICES=0"} << 3
                                    << QByteArray("No transmitter is attached");
        QTest::newRow("list, none may be opened") << QStringList{"list"} << QStringList{"QZSIM_DEVICES=2", "QZSIM_DENIED=x"}
                                                  << 4 << QByteArray("udev rule");
        QTest::newRow("list, one of two may be opened")
            << QStringList{"list"} << QStringList{"QZSIM_DEVICES=2", "QZSIM_DENIED=1:"} << 0 << QByteArray("udev rule");
        QTest::newRow("list, one does not reply")
            << QStringList{"list"} << QStringList{"QZSIM_DEVICES=2", "QZSIM_FAULT=1:no-reply"} << 1 << QByteArray();
        QTest::newRow("info, denied") << QStringList{"info"} << QStringList{"QZSIM_DENIED=0:"} << 4
                                      << QByteArray("udev rule");
        QTest::newRow("--device 1, denied") << QStringList{"--device", "1", "value"}
                                            << QStringList{"QZSIM_DEVICES=2", "QZSIM_DENIED=1:"} << 4
                                            << QByteArray("may not open it");
        QTest::newRow("--device beyond those attached")
            << QStringList{"--device", "3", "info"} << QStringList{"QZSIM_DEVICES=3"} << 3
            << QByteArray("No transmitter with instance 3");
        QTest::newRow("--serial of none attached")
            << QStringList{"--serial", "999", "info"} << QStringList{"QZSIM_DEVICES=3"} << 3
            << QByteArray("No transmitter with serial number 999");
        QTest::newRow("--all, none") << QStringList{"--all", "info"} << QStringList{"QZSIM_DEVICES=0"} << 3
                                     << QByteArray("No transmitter is attached");
        QTest::newRow("no reply") << QStringList{"info"} << QStringList{"QZSIM_FAULT=no-reply"} << 1
                                  << QByteArray("Device not reply");
    }
    void exitCodes()
    {
        QFETCH(QStringList, args);
        QFETCH(QStringList, env);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, message);
        const Run r = run(args, env);
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.exitCode, exitCode);
        QVERIFY2(r.err.contains(message), r.err.constData());
    }

    void listShowsEveryTransmitter()
    {
        const Run r = run({"list"}, {"QZSIM_DEVICES=3", "QZSIM_DENIED=1:"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("0 12345 1-1\n1 - 1-2 (no access)\n2 12347 1-3\n"));
    }

    void allWithOneFailingMidway()
    {
        const QString file = dir->filePath("batch.cfg");
        const QByteArray content =
            configFile({"p", "1500", "50000", "10000", "2", "90000", "45000", "1", "70000", "30000", "4"});
        writeBytes(file, content);
        // instance 1 stops answering at its sixth request: the gravity write, after the range was read
        const Run r = run({"--all", "write-config", file}, {"QZSIM_DEVICES=3", "QZSIM_FAIL_FROM=1:6"});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.out, QByteArray("12345: Configuration successfully written\n"
                                   "12347: Configuration successfully written\n"));
        QVERIFY2(r.err.startsWith("qz5801-cli: 12346: Error writing configuration\n"), r.err.constData());
        QVERIFY2(r.err.contains("12346:   outputs 1 to 3 (values and modes): not written\n"), r.err.constData());
        for (const QString &path : {memoryPath, memoryPath + ".2"}) {
            const QByteArray image = fileBytes(path);
            QCOMPARE(image.mid(894, 4), floatBytes(1500));
            QCOMPARE(image.mid(67, 4), floatBytes(10000));
            QCOMPARE(image.mid(93, 1), QByteArray(1, char(4)));
        }
        QVERIFY(!QFile::exists(memoryPath + ".1")); // never written to

        const Run read = run({"--all", "read-config", dir->path()}, {"QZSIM_DEVICES=3"});
        QCOMPARE(read.exitCode, 0);
        QCOMPARE(fileBytes(dir->filePath("12345.cfg")), configFile({"p", "1500", "50000.000000", "10000.000000",
                                                                     "2", "90000.000000", "45000.000000", "1",
                                                                     "70000.000000", "30000.000000", "4"}));
        QCOMPARE(fileBytes(dir->filePath("12346.cfg")), kFactoryFile);
        QVERIFY(read.out.contains("12347: saved "));
    }

    // A transmitter that acknowledges the writes but keeps its memory.
    void verifyCatchesKeptMemory()
    {
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, configFile({"p", "1000", "60000", "20000", "1", "60000", "40000", "2", "70000", "30000", "3"}));
        const Run r = run({"write-config", file}, {"QZSIM_FAULT=keep-memory"});
        QCOMPARE(r.exitCode, 1);
        QVERIFY(r.out.isEmpty());
        QVERIFY2(r.err.startsWith("qz5801-cli: output 2 higher value: wrote 60000 Pa, reads 80000 Pa\n"
                                  "qz5801-cli: Verification failed"),
                 r.err.constData());
        QCOMPARE(run({"write-config", "--no-verify", file}, {"QZSIM_FAULT=keep-memory"}).exitCode, 0);
        QCOMPARE(memory(), factoryImage);
        const Run sound = run({"write-config", file});
        QCOMPARE(sound.exitCode, 0);
        QCOMPARE(memory().mid(80, 4), floatBytes(60000));
    }

    void diffAndDryRun()
    {
        const QString same = dir->filePath("same.cfg");
        writeBytes(same, kFactoryFile);
        const Run equal = run({"diff", same});
        QCOMPARE(equal.exitCode, 0);
        QVERIFY(equal.out.endsWith("equal\n"));
        QVERIFY(!equal.out.contains("* "));

        const QString other = dir->filePath("other.cfg");
        writeBytes(other, configFile({"p", "998", "60000", "20000", "1", "61000,5", "40000", "0", "70000", "30000", "3"}));
        const Run different = run({"diff", other});
        QCOMPARE(different.exitCode, 1);
        QVERIFY(different.out.contains("* specific gravity: file 998 (998), transmitter 1000\n"));
        QVERIFY(different.out.contains("* output 2 higher value: file 61000.5 Pa (61000,5), transmitter 80000 Pa\n"));
        QVERIFY(different.out.contains("* output 2 mode: file 0 (Off) (0), transmitter 2 (Extraction)\n"));
        QVERIFY(different.out.contains("  output 1 higher value: 60000 Pa (file: 60000)\n"));
        QVERIFY(different.out.endsWith("3 of 10 fields differ\n"));

        const Run dry = run({"write-config", "--dry-run", other});
        QCOMPARE(dry.exitCode, 1); // would change, as diff(1) says different
        QVERIFY(dry.out.startsWith(different.out));
        QCOMPARE(memory(), factoryImage);
        QVERIFY(!requestLog().join(' ').contains("write"));
    }

    // Every --json output reads back as JSON with its documented fields.
    void jsonOutput()
    {
        const auto parse = [](const Run &r) {
            QJsonParseError error;
            const QJsonDocument d = QJsonDocument::fromJson(r.out, &error);
            if (error.error != QJsonParseError::NoError)
                qWarning() << r.out;
            return d;
        };
        const QJsonDocument list = parse(run({"list", "--json"}, {"QZSIM_DEVICES=2", "QZSIM_DENIED=1:"}));
        QCOMPARE(list.array().size(), 2);
        QCOMPARE(list.array()[0].toObject(), (QJsonObject{{"instance", 0}, {"serial", 12345}, {"location", "1-1"},
                                                           {"state", "ready"}, {"duplicate_serial", false}}));
        QVERIFY(list.array()[1].toObject()["serial"].isNull());
        QCOMPARE(list.array()[1].toObject()["state"], "denied");

        QCOMPARE(parse(run({"--json", "info"})).object(),
                 (QJsonObject{{"instance", 0}, {"serial", 12345}, {"location", "1-1"}}));
        QCOMPARE(parse(run({"value", "--json"}, {"QZSIM_VALUE=1234.5"})).object(), (QJsonObject{{"value_pa", 1234.5}}));

        setMemory(84, QByteArray(1, char(9)));
        const QJsonObject config = parse(run({"read-config", "--json"})).object();
        QCOMPARE(config["range_pa"].toDouble(), 100000.0);
        QCOMPARE(config["gravity"].toDouble(), 1000.0);
        const QJsonArray outputs = config["outputs"].toArray();
        QCOMPARE(outputs.size(), 3);
        QCOMPARE(outputs[0].toObject(), (QJsonObject{{"output", 1}, {"lower_pa", 20000}, {"higher_pa", 60000},
                                                      {"mode", "compression"}}));
        QVERIFY(outputs[1].toObject()["mode"].isNull()); // a mode byte above 4
        QCOMPARE(outputs[2].toObject()["mode"], "correct_value");

        const QString other = dir->filePath("other.cfg");
        writeBytes(other, configFile({"p", "1000", "60000", "20000", "1", "80000", "40000", "4", "70000", "30000", "3"}));
        const Run diffRun = run({"diff", "--json", other});
        QCOMPARE(diffRun.exitCode, 1);
        const QJsonObject diff = parse(diffRun).object();
        QCOMPARE(diff["equal"], false);
        QCOMPARE(diff["different"], 1);
        const QJsonArray fields = diff["fields"].toArray();
        QCOMPARE(fields.size(), 10);
        QCOMPARE(fields[6].toObject(), (QJsonObject{{"name", "output 2 mode"}, {"equal", false}, {"file", "error_value"},
                                                     {"file_text", "4"}, {"transmitter", QJsonValue()}}));
        QCOMPARE(fields[2].toObject()["file"].toDouble(), 60000.0);
        QCOMPARE(fields[2].toObject()["file_text"], "60000");

        const Run all = run({"--all", "--json", "info"}, {"QZSIM_DEVICES=2", "QZSIM_FAULT=1:no-reply"});
        QCOMPARE(all.exitCode, 1);
        const QJsonArray results = parse(all).array();
        QCOMPARE(results.size(), 2);
        QCOMPARE(results[0].toObject()["result"].toObject()["serial"], 12345);
        QCOMPARE(results[0].toObject()["exit_code"], 0);
        QVERIFY(results[0].toObject()["error"].isNull());
        QCOMPARE(results[1].toObject()["exit_code"], 1);
        QCOMPARE(results[1].toObject()["error"], "Device not reply");
        QVERIFY(results[1].toObject()["result"].isNull());
    }

    void watchUnits_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<float>("gravity");
        QTest::addColumn<QByteArray>("header");
        QTest::addColumn<QByteArray>("value");
        QTest::newRow("kPa") << QStringList{"--unit", "kPa"} << 1000.0f << QByteArray("seconds,value_kPa") << QByteArray("1.500");
        QTest::newRow("mbar") << QStringList{"--unit", "mbar"} << 1000.0f << QByteArray("seconds,value_mbar") << QByteArray("15.0");
        QTest::newRow("mm at 1000") << QStringList{"--unit", "mm"} << 1000.0f << QByteArray("seconds,value_mm") << QByteArray("153");
        QTest::newRow("mm at 500") << QStringList{"--unit", "mm"} << 500.0f << QByteArray("seconds,value_mm") << QByteArray("306");
        QTest::newRow("m, gravity out of range") << QStringList{"--unit", "m"} << 5.0f << QByteArray("seconds,value_m")
                                                 << QByteArray("0.153");
        QTest::newRow("iso timestamps") << QStringList{"--timestamps", "iso"} << 1000.0f << QByteArray("time,value_pa")
                                        << QByteArray("1500.000");
    }
    void watchUnits()
    {
        QFETCH(QStringList, options);
        QFETCH(float, gravity);
        QFETCH(QByteArray, header);
        QFETCH(QByteArray, value);
        setMemory(894, floatBytes(gravity));
        const Run r = run(QStringList{"watch", "--count", "2", "--interval", "0.1"} + options, {"QZSIM_VALUE=1500"});
        QCOMPARE(r.exitCode, 0);
        const QList<QByteArray> lines = r.out.split('\n');
        QCOMPARE(lines.size(), 4);
        QCOMPARE(lines[0], header);
        for (int i = 1; i <= 2; ++i) {
            const QList<QByteArray> fields = lines[i].split(',');
            QCOMPARE(fields.size(), 2);
            QCOMPARE(fields[1], value);
            if (header.startsWith("time"))
                QVERIFY2(QDateTime::fromString(QString::fromLatin1(fields[0]), Qt::ISODateWithMs).isValid(),
                         fields[0].constData());
        }
        QCOMPARE(r.err.isEmpty(), gravity >= 10);
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"

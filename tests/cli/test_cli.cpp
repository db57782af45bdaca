#include "qzsim.h"

#include <QtTest>

#include <csignal>
#include <cstring>

namespace {

struct Run {
    int exitCode = -1;
    QProcess::ExitStatus status = QProcess::CrashExit;
    QByteArray out;
    QByteArray err;
};

QByteArray fileBytes(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    QCOMPARE(f.write(bytes), bytes.size());
}

QByteArray configFile(const QList<QByteArray> &lines)
{
    QByteArray bytes = "*** QZ5800 CONFIG ***\r\n";
    for (const QByteArray &line : lines)
        bytes += line + "\r\n";
    return bytes;
}

const QByteArray kFactoryFile = configFile({"p", "1000", "60000.000000", "20000.000000", "1", "80000.000000",
                                            "40000.000000", "2", "70000.000000", "30000.000000", "3"});

} // namespace

class CliTest : public QObject {
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir;
    QString memoryPath;
    QString logPath;
    QByteArray factoryImage;

    QProcessEnvironment environment(const QStringList &extra) const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_LIBRARY_PATH", QZ_SIMULATOR_DIR);
        env.insert("QZSIM_MEMORY", memoryPath);
        env.insert("QZSIM_LOG", logPath);
        for (const QString &e : extra)
            env.insert(e.section('=', 0, 0), e.section('=', 1));
        return env;
    }

    Run run(const QStringList &args, const QStringList &extraEnv = {})
    {
        QProcess p;
        p.setProcessEnvironment(environment(extraEnv));
        p.start(QZ_CLI, args);
        Run r;
        if (!p.waitForFinished(60000)) {
            p.kill();
            p.waitForFinished();
        }
        r.exitCode = p.exitCode();
        r.status = p.exitStatus();
        r.out = p.readAllStandardOutput();
        r.err = p.readAllStandardError();
        return r;
    }

    // The transmitter's requests, one "command N", "read A/L" or "write A/L" each.
    QStringList requestLog() const
    {
        QStringList log;
        for (const QByteArray &line : fileBytes(logPath).split('\n')) {
            const QByteArray r = QByteArray::fromHex(line);
            if (r.size() != 64)
                continue;
            const auto b = [&](int i) { return uint32_t(uint8_t(r[i])); };
            const uint32_t address = b(7) | b(8) << 8 | b(9) << 16 | b(10) << 24;
            if (b(3) == 7 || b(3) == 8)
                log << QStringLiteral("%1 %2/%3").arg(b(3) == 7 ? "read" : "write").arg(address).arg(b(4));
            else if (b(3) == 5)
                log << QStringLiteral("query %1").arg(b(4));
            else
                log << QStringLiteral("command %1").arg(b(3));
        }
        return log;
    }

    QByteArray memory() const { return fileBytes(memoryPath); }
    void setMemory(uint32_t address, const QByteArray &bytes)
    {
        QByteArray image = memory();
        image.replace(int(address), bytes.size(), bytes);
        writeBytes(memoryPath, image);
    }
    static QByteArray floatBytes(float v) { return QByteArray(reinterpret_cast<const char *>(&v), 4); }

private slots:
    void initTestCase()
    {
        qzsim_reset();
        factoryImage = QByteArray(reinterpret_cast<const char *>(qzsim_memory()), 65536);
    }
    void init()
    {
        dir = std::make_unique<QTemporaryDir>();
        QVERIFY(dir->isValid());
        memoryPath = dir->filePath("memory.bin");
        logPath = dir->filePath("requests.log");
        writeBytes(memoryPath, factoryImage);
    }

    void usageErrors_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::newRow("no command") << QStringList{};
        QTest::newRow("unknown command") << QStringList{"nope"};
        QTest::newRow("info with an argument") << QStringList{"info", "x"};
        QTest::newRow("value with an argument") << QStringList{"value", "1"};
        QTest::newRow("dump without length") << QStringList{"dump", "7"};
        QTest::newRow("dump negative") << QStringList{"dump", "-1", "2"};
        QTest::newRow("dump zero length") << QStringList{"dump", "7", "0"};
        QTest::newRow("read-config two files") << QStringList{"read-config", "a", "b"};
        QTest::newRow("write-config without file") << QStringList{"write-config"};
        QTest::newRow("write-config two files") << QStringList{"write-config", "a", "b"};
        QTest::newRow("watch count missing") << QStringList{"watch", "--count"};
        QTest::newRow("watch count zero") << QStringList{"watch", "--count", "0"};
        QTest::newRow("watch count not a number") << QStringList{"watch", "--count", "x"};
        QTest::newRow("watch unknown option") << QStringList{"watch", "--every", "1"};
    }
    void usageErrors()
    {
        QFETCH(QStringList, args);
        const Run r = run(args);
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith("usage: qz5801-cli"), r.err.constData());
        QVERIFY(r.err.contains("read-config") && r.err.contains("write-config") && r.err.contains("watch"));
        QVERIFY(!r.err.contains("interval")); // the tests' option stays out of sight
        QVERIFY(r.out.isEmpty());
        QVERIFY(requestLog().isEmpty());
    }

    void transmitterFailures_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QByteArray>("message");
        const QList<std::pair<const char *, QStringList>> commands = {
            {"info", {"info"}},
            {"value", {"value"}},
            {"dump", {"dump", "7", "2"}},
            {"read-config", {"read-config"}},
            {"write-config", {"write-config", "FILE"}},
            {"watch", {"watch", "--count", "2", "--interval-ms", "0"}},
        };
        for (const auto &[name, args] : commands) {
            const QByteArray message = QByteArray(name) == "read-config"    ? "Error reading configuration\n"
                                       : QByteArray(name) == "write-config" ? "Error writing configuration\n"
                                                                            : "Device not reply\n";
            for (const char *setting : {"QZSIM_DEVICES=0", "QZSIM_FAULT=no-reply", "QZSIM_FAULT=crc"})
                QTest::addRow("%s, %s", name, setting) << args << QString(setting) << message;
        }
    }
    void transmitterFailures()
    {
        QFETCH(QStringList, args);
        QFETCH(QString, setting);
        QFETCH(QByteArray, message);
        const QString file = dir->filePath("config.cfg");
        writeBytes(file, kFactoryFile);
        args.replaceInStrings("FILE", file);
        const Run r = run(args, {setting});
        QCOMPARE(r.status, QProcess::NormalExit);
        QCOMPARE(r.exitCode, 1);
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
        QCOMPARE(nowhere.err, QByteArray("Cannot open file\n"));
    }

    void readConfigGravity_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QByteArray>("line3");
        QTest::addColumn<bool>("warned");
        QTest::newRow("erased") << QByteArray("\xFF\xFF\xFF\xFF", 4) << QByteArray("1000") << true;
        QTest::newRow("9.99") << floatBytes(9.99f) << QByteArray("1000") << true;
        QTest::newRow("half rounds up") << floatBytes(998.5f) << QByteArray("999") << false;
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
        QCOMPARE(r.err, warned ? QByteArray("Specific gravity out of range\n") : QByteArray());
    }

    void readConfigModeAboveFour()
    {
        setMemory(84, QByteArray(1, char(9)));
        const Run r = run({"read-config"});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out.split('\n').value(8), QByteArray("-1\r"));
    }

    void writeConfig()
    {
        const QString file = dir->filePath("new.cfg");
        writeBytes(file, configFile({"h", "998,5", "2000", "1000.5", "7", "-1.5", "-2.5", "4", "0", "0", "0"}));
        const Run r = run({"write-config", file});
        QCOMPARE(r.exitCode, 0);
        QCOMPARE(r.out, QByteArray("Configuration successfully written\n"));
        QCOMPARE(requestLog(), (QStringList{"command 2", "write 894/4", "write 67/27", "command 1"}));
        const QByteArray image = memory();
        QCOMPARE(image.mid(894, 4), floatBytes(998.5f));
        QByteArray block;
        block += floatBytes(1000.5f) + floatBytes(2000) + char(0xFF);
        block += floatBytes(-2.5f) + floatBytes(-1.5f) + char(4);
        block += floatBytes(0) + floatBytes(0) + char(0);
        QCOMPARE(image.mid(67, 27), block);
        QCOMPARE(image.mid(890, 4), factoryImage.mid(890, 4));
    }

    void writeConfigRefusals_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QByteArray>("message");
        QTest::newRow("output 2 lower above higher")
            << configFile({"p", "1000", "2", "1", "1", "4000", "5000", "1", "2", "1", "1"})
            << QByteArray("Error in values of pressure\n");
        QTest::newRow("header with a trailing blank") << QByteArray("*** QZ5800 CONFIG *** ") + kFactoryFile.mid(21)
                                                      << QByteArray("Cannot open file\n");
        QTest::newRow("mode 1.0") << configFile({"p", "1000", "2", "1", "1.0", "4", "3", "1", "2", "1", "1"})
                                  << QByteArray("Cannot open file\n");
        QTest::newRow("short file") << configFile({"p", "1000", "2", "1", "1"}) << QByteArray("Cannot open file\n");
    }
    void writeConfigRefusals()
    {
        QFETCH(QByteArray, content);
        QFETCH(QByteArray, message);
        const QString file = dir->filePath("bad.cfg");
        writeBytes(file, content);
        const Run r = run({"write-config", file});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, message);
        QVERIFY(r.out.isEmpty());
        QVERIFY(requestLog().isEmpty());
        QCOMPARE(memory(), factoryImage);
    }

    void writeConfigMissingFile()
    {
        const Run r = run({"write-config", dir->filePath("missing.cfg")});
        QCOMPARE(r.exitCode, 1);
        QCOMPARE(r.err, QByteArray("Cannot open file\n"));
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
        QCOMPARE(p.exitCode(), 0);
        out += p.readAllStandardOutput();
        QVERIFY(out.endsWith("7.000\n")); // no line cut short
        QVERIFY(p.readAllStandardError().isEmpty());
    }
};

QTEST_GUILESS_MAIN(CliTest)
#include "test_cli.moc"

#include "ConfigurationFile.h"
#include "NumberText.h"

#include <QtTest>

#include <csignal>
#include <sys/resource.h>

using config::ConfigurationFile;

namespace {

// A file of twelve lines from its eleven lines after the header.
QByteArray fileOf(const QList<QByteArray> &lines, const QByteArray &end = "\r\n")
{
    QByteArray bytes = QByteArray(config::kConfigurationFileHeader) + end;
    for (const QByteArray &line : lines)
        bytes += line + end;
    return bytes;
}

const QList<QByteArray> kExampleLines = {"p",      "1000", "2000.000000", "1000.000000", "1", "0.000000",
                                         "0.000000", "0",  "0.000000",    "0.000000",    "0"};

} // namespace

class ConfigurationFileTest : public QObject {
    Q_OBJECT

    QTemporaryDir dir;

private slots:
    void init() { setDecimalSeparatorForTesting(u'.'); }
    void cleanup() { setDecimalSeparatorForTesting(QChar()); }

    void savedBytesAreTheExample()
    {
        ConfigurationRecord record;
        record.lowerValue1 = 1000;
        record.higherValue1 = 2000;
        for (QChar separator : {u'.', u','}) {
            setDecimalSeparatorForTesting(separator);
            const ConfigurationFile file = config::fileFromRecord(record, true, "1000", {1, 0, 0});
            QCOMPARE(config::configurationFileBytes(file), fileOf(kExampleLines));
        }
    }

    void savedLineFormats()
    {
        ConfigurationRecord record;
        record.higherValue2 = -250.5f;
        record.lowerValue3 = 1e-7f;
        record.higherValue3 = 123456.789f;
        const ConfigurationFile file = config::fileFromRecord(record, false, "998,5 ", {kNoMode, 4, 0});
        const QList<QByteArray> lines = config::configurationFileBytes(file).split('\n');
        QCOMPARE(lines.size(), 13); // twelve lines, each ended
        QCOMPARE(lines[1], QByteArray("h\r"));
        QCOMPARE(lines[2], QByteArray("998,5 \r")); // the operator's text as it stands
        QCOMPARE(lines[5], QByteArray("-1\r"));
        QCOMPARE(lines[6], QByteArray("-250.500000\r"));
        QCOMPARE(lines[8], QByteArray("4\r"));
        QCOMPARE(lines[9], QByteArray("123456.789062\r"));
        QCOMPARE(lines[10], QByteArray("0.000000\r"));
    }

    void roundTripThroughDisk()
    {
        ConfigurationRecord record;
        const float values[6] = {-250.5f, 2000, 0.0000004f, 1500.25f, 40000, 80000};
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = values[i];
        const QString path = dir.filePath("round.cfg");
        QVERIFY(config::saveConfigurationFile(path, config::fileFromRecord(record, false, "1000", {2, kNoMode, 4})));
        const std::optional<ConfigurationFile> back = config::loadConfigurationFile(path);
        QVERIFY(back);
        QCOMPARE(back->isPressure, false);
        QCOMPARE(back->gravityText, QStringLiteral("1000"));
        QCOMPARE(back->modes, (std::array<int, 3>{2, kNoMode, 4}));
        const float expected[6] = {-250.5f, 2000, 0, 1500.25f, 40000, 80000}; // six decimals carry no more
        for (int i = 0; i < 6; ++i)
            QCOMPARE(back->values[std::size_t(i)], expected[i]);

        ConfigurationRecord loaded;
        config::applyToRecord(*back, loaded);
        QCOMPARE(loaded.fileIsPressure, false);
        QCOMPARE(loaded.lowerValue1, -250.5f);
        QCOMPARE(loaded.higherValue3, 80000.0f);
    }

    void parse_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        QTest::addColumn<bool>("isPressure");
        QTest::addColumn<QString>("gravityText");
        QTest::addColumn<float>("higher1");
        QTest::addColumn<int>("mode1");

        auto with = [](int index, const QByteArray &line) {
            QList<QByteArray> lines = kExampleLines;
            lines[index] = line;
            return lines;
        };
        QTest::newRow("example, CR LF") << fileOf(kExampleLines) << true << true << "1000" << 2000.0f << 1;
        QTest::newRow("example, LF") << fileOf(kExampleLines, "\n") << true << true << "1000" << 2000.0f << 1;
        QByteArray noLastEnd = fileOf(kExampleLines);
        noLastEnd.chop(2);
        QTest::newRow("last line unended") << noLastEnd << true << true << "1000" << 2000.0f << 1;
        QTest::newRow("lines beyond twelve") << fileOf(kExampleLines + QList<QByteArray>{"extra"}) << true << true
                                             << "1000" << 2000.0f << 1;

        QByteArray blankHeader = fileOf(kExampleLines);
        blankHeader.insert(int(qstrlen(config::kConfigurationFileHeader)), ' ');
        QTest::newRow("header with a trailing blank") << blankHeader << false << true << "" << 0.0f << 0;
        QTest::newRow("header in other case") << QByteArray("*** qz5800 config ***\r\n") + fileOf(kExampleLines).mid(23)
                                             << false << true << "" << 0.0f << 0;
        QTest::newRow("header alone, unended") << QByteArray(config::kConfigurationFileHeader) << false << true << ""
                                              << 0.0f << 0;
        QTest::newRow("empty") << QByteArray() << false << true << "" << 0.0f << 0;
        QTest::newRow("eleven lines") << fileOf(kExampleLines.mid(0, 10)) << false << true << "" << 0.0f << 0;

        QTest::newRow("P") << fileOf(with(0, "P")) << true << false << "1000" << 2000.0f << 1;
        QTest::newRow("pressure") << fileOf(with(0, "pressure")) << true << false << "1000" << 2000.0f << 1;
        QTest::newRow("p with trailing controls") << fileOf(with(0, "p \t\x01")) << true << true << "1000" << 2000.0f
                                                  << 1;
        QTest::newRow("p with a leading blank") << fileOf(with(0, " p")) << true << false << "1000" << 2000.0f << 1;

        QTest::newRow("gravity 998.6") << fileOf(with(1, "998.6")) << true << true << "998.599975585938" << 2000.0f
                                       << 1;
        QTest::newRow("gravity 998,6") << fileOf(with(1, "998,6")) << true << true << "998.599975585938" << 2000.0f
                                       << 1;
        QTest::newRow("gravity unreadable") << fileOf(with(1, "heavy")) << true << true << "0" << 2000.0f << 1;

        QTest::newRow("1500,5") << fileOf(with(2, "1500,5")) << true << true << "1000" << 1500.5f << 1;
        QTest::newRow("value unreadable") << fileOf(with(2, "lots")) << true << true << "1000" << 0.0f << 1;
        const QByteArray longLine = QByteArray(150, '0') + "1500.5";
        QTest::newRow("long line kept whole") << fileOf(with(2, longLine)) << true << true << "1000" << 1500.5f << 1;

        QTest::newRow("mode 7") << fileOf(with(4, "7")) << true << true << "1000" << 2000.0f << kNoMode;
        QTest::newRow("mode -1") << fileOf(with(4, "-1")) << true << true << "1000" << 2000.0f << kNoMode;
        QTest::newRow("mode 4") << fileOf(with(4, "4")) << true << true << "1000" << 2000.0f << 4;
        QTest::newRow("mode 1.0") << fileOf(with(4, "1.0")) << false << true << "" << 0.0f << 0;
        QTest::newRow("mode empty") << fileOf(with(4, "")) << false << true << "" << 0.0f << 0;
        QTest::newRow("last mode 1.0") << fileOf(with(10, "1.0")) << false << true << "" << 0.0f << 0;
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        const std::optional<ConfigurationFile> file = config::parseConfigurationFile(bytes);
        QCOMPARE(bool(file), accepted);
        if (!accepted)
            return;
        QFETCH(bool, isPressure);
        QFETCH(QString, gravityText);
        QFETCH(float, higher1);
        QFETCH(int, mode1);
        QCOMPARE(file->isPressure, isPressure);
        QCOMPARE(file->gravityText, gravityText);
        QCOMPARE(file->values[1], higher1);
        QCOMPARE(file->values[0], 1000.0f);
        QCOMPARE(file->modes[0], mode1);
        QCOMPARE(file->modes[1], 0);
        QCOMPARE(file->modes[2], 0);
    }

    void loadedGravityUsesTheSystemSeparator()
    {
        setDecimalSeparatorForTesting(u',');
        QList<QByteArray> lines = kExampleLines;
        lines[1] = "998.6";
        const std::optional<ConfigurationFile> file = config::parseConfigurationFile(fileOf(lines));
        QVERIFY(file);
        QCOMPARE(file->gravityText, QStringLiteral("998,599975585938"));
    }

    void refusedFileChangesNothing()
    {
        ConfigurationRecord record;
        record.lowerValue1 = 7;
        QList<QByteArray> lines = kExampleLines;
        lines[4] = "1.0";
        const QString path = dir.filePath("bad.cfg");
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(fileOf(lines));
        f.close();
        const std::optional<ConfigurationFile> file = config::loadConfigurationFile(path);
        QVERIFY(!file);
        QCOMPARE(record.lowerValue1, 7.0f);
    }

    void missingFileIsRefused() { QVERIFY(!config::loadConfigurationFile(dir.filePath("nowhere.cfg"))); }

    void failingSaveKeepsTheOldFile()
    {
        QVERIFY(QDir(dir.path()).mkpath("kept"));
        const QString path = dir.filePath("kept/kept.cfg");
        const QByteArray old = fileOf(kExampleLines);
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(old);
        }
        ConfigurationRecord record;
        record.higherValue1 = 3.0e38f; // long lines: the new file is larger than the old one
        const ConfigurationFile file = config::fileFromRecord(record, true, "1000", {0, 0, 0});

        // Writes beyond the old file's size fail, as on a full disk.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(old.size());
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool saved_ok = config::saveConfigurationFile(path, file);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!saved_ok);
        QFile f(path);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), old);
        QCOMPARE(QDir(dir.filePath("kept")).entryList(QDir::Files), QStringList{"kept.cfg"}); // no leftovers
    }

    void saveIntoMissingFolderFails()
    {
        QVERIFY(!config::saveConfigurationFile(dir.filePath("no/such/folder/x.cfg"), ConfigurationFile{}));
    }
};

QTEST_GUILESS_MAIN(ConfigurationFileTest)
#include "test_configuration_file.moc"

#include "ConfigurationFile.h"
#include "NumberText.h"

#include <QtTest>

#include <cmath>
#include <csignal>
#include <limits>
#include <thread>

#include <fcntl.h>
#include <sys/fsuid.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

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

// The example followed by lines the reader passes over, exactly size bytes.
QByteArray paddedTo(qsizetype size)
{
    QByteArray bytes = fileOf(kExampleLines);
    while (bytes.size() < size)
        bytes += QByteArray(70, 'x') + "\r\n";
    bytes.truncate(size - 2);
    return bytes + "\r\n";
}

bool writeFile(const QString &path, const QByteArray &bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

QByteArray readFile(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A FIFO whose writer hands a good file to the first reader that opens it,
// so that a loader which opens it gets the file instead of blocking. The
// destructor lets a writer that met no reader finish.
class FifoWithFile
{
public:
    FifoWithFile(const QString &path, const QByteArray &bytes) : path_(QFile::encodeName(path))
    {
        created = mkfifo(path_.constData(), 0600) == 0;
        if (!created)
            return;
        writer_ = std::thread([this, bytes] {
            const int fd = ::open(path_.constData(), O_WRONLY);
            if (fd < 0)
                return;
            [[maybe_unused]] const ssize_t written = ::write(fd, bytes.constData(), std::size_t(bytes.size()));
            ::close(fd);
        });
    }
    ~FifoWithFile()
    {
        if (!writer_.joinable())
            return;
        const int fd = ::open(path_.constData(), O_RDONLY | O_NONBLOCK);
        writer_.join(); // before the close: a write without a reader would raise SIGPIPE
        if (fd >= 0)
            ::close(fd);
    }
    FifoWithFile(const FifoWithFile &) = delete;
    FifoWithFile &operator=(const FifoWithFile &) = delete;

    bool created = false;

private:
    QByteArray path_;
    std::thread writer_;
};

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
        // A number line that is no number would load as 0: the file is refused.
        QTest::newRow("gravity unreadable") << fileOf(with(1, "heavy")) << false << true << "" << 0.0f << 0;
        QTest::newRow("gravity abc") << fileOf(with(1, "abc")) << false << true << "" << 0.0f << 0;
        QTest::newRow("gravity empty") << fileOf(with(1, "")) << false << true << "" << 0.0f << 0;
        QTest::newRow("gravity nan") << fileOf(with(1, "nan")) << false << true << "" << 0.0f << 0;
        QTest::newRow("gravity with thousands") << fileOf(with(1, "1.000,5")) << false << true << "" << 0.0f << 0;

        QTest::newRow("1500,5") << fileOf(with(2, "1500,5")) << true << true << "1000" << 1500.5f << 1;
        QTest::newRow("value unreadable") << fileOf(with(2, "lots")) << false << true << "" << 0.0f << 0;
        QTest::newRow("value xyz") << fileOf(with(2, "xyz")) << false << true << "" << 0.0f << 0;
        QTest::newRow("value empty") << fileOf(with(2, "")) << false << true << "" << 0.0f << 0;
        QTest::newRow("last value unreadable") << fileOf(with(9, "1O")) << false << true << "" << 0.0f << 0;
        QTest::newRow("value beyond a float") << fileOf(with(2, "1e39")) << false << true << "" << 0.0f << 0;
        // What the save writes for values read as not-a-number or infinite.
        QTest::newRow("value inf as saved") << fileOf(with(2, "inf")) << true << true << "1000"
                                            << std::numeric_limits<float>::infinity() << 1;
        QTest::newRow("value -inf as saved") << fileOf(with(2, "-inf")) << true << true << "1000"
                                             << -std::numeric_limits<float>::infinity() << 1;
        QTest::newRow("value nan as saved") << fileOf(with(2, "nan")) << true << true << "1000"
                                            << std::numeric_limits<float>::quiet_NaN() << 1;
        QTest::newRow("value -nan as saved") << fileOf(with(2, "-nan")) << true << true << "1000"
                                             << std::numeric_limits<float>::quiet_NaN() << 1;
        QTest::newRow("value Infinity") << fileOf(with(2, "Infinity")) << false << true << "" << 0.0f << 0;
        const QByteArray longLine = QByteArray(150, '0') + "1500.5";
        QTest::newRow("long line kept whole") << fileOf(with(2, longLine)) << true << true << "1000" << 1500.5f << 1;

        QTest::newRow("mode 7") << fileOf(with(4, "7")) << true << true << "1000" << 2000.0f << kNoMode;
        QTest::newRow("mode -1") << fileOf(with(4, "-1")) << true << true << "1000" << 2000.0f << kNoMode;
        QTest::newRow("mode 4") << fileOf(with(4, "4")) << true << true << "1000" << 2000.0f << 4;
        QTest::newRow("mode 1.0") << fileOf(with(4, "1.0")) << false << true << "" << 0.0f << 0;
        QTest::newRow("mode empty") << fileOf(with(4, "")) << false << true << "" << 0.0f << 0;
        QTest::newRow("last mode 1.0") << fileOf(with(10, "1.0")) << false << true << "" << 0.0f << 0;

        QTest::newRow("64 KiB") << paddedTo(config::kMaxConfigurationFileSize) << true << true << "1000" << 2000.0f
                                << 1;
        QTest::newRow("one byte over 64 KiB") << paddedTo(config::kMaxConfigurationFileSize + 1) << false << true << ""
                                              << 0.0f << 0;
    }
    void parse()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        // As the window reads files: number lines must read as numbers.
        const std::optional<ConfigurationFile> file = config::parseConfigurationFile(bytes, config::NumberLines::MustRead);
        QCOMPARE(bool(file), accepted);
        if (!accepted)
            return;
        QFETCH(bool, isPressure);
        QFETCH(QString, gravityText);
        QFETCH(float, higher1);
        QFETCH(int, mode1);
        QCOMPARE(file->isPressure, isPressure);
        QCOMPARE(file->gravityText, gravityText);
        if (std::isnan(higher1))
            QVERIFY(std::isnan(file->values[1]));
        else
            QCOMPARE(file->values[1], higher1);
        QCOMPARE(file->values[0], 1000.0f);
        QCOMPARE(file->modes[0], mode1);
        QCOMPARE(file->modes[1], 0);
        QCOMPARE(file->modes[2], 0);
    }

    // A caller that reports unreadable number lines itself takes them as 0.
    void unreadableNumbersAsZero_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<bool>("windowTakesIt");
        QTest::newRow("gravity") << 1 << QByteArray("heavy") << false;
        QTest::newRow("value") << 2 << QByteArray("lots") << false;
        QTest::newRow("empty value") << 2 << QByteArray("") << false;
        QTest::newRow("infinite value") << 2 << QByteArray("-inf") << true; // as -infinity
    }
    void unreadableNumbersAsZero()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, text);
        QFETCH(bool, windowTakesIt);
        QList<QByteArray> lines = kExampleLines;
        lines[line] = text;
        QCOMPARE(bool(config::parseConfigurationFile(fileOf(lines), config::NumberLines::MustRead)), windowTakesIt);
        const std::optional<ConfigurationFile> file = config::parseConfigurationFile(fileOf(lines));
        QVERIFY(file);
        QCOMPARE(file->gravityText, line == 1 ? QStringLiteral("0") : QStringLiteral("1000"));
        QCOMPARE(file->values[1], line == 2 ? 0.0f : 2000.0f);
    }

    // The tool's own files read the same under any locale: a point or a comma
    // is the separator, whatever the system's own is (Arabic writes U+066B).
    void filesReadUnderAnyLocale_data()
    {
        QTest::addColumn<QChar>("separator");  // null: the system's locale as the test runs
        QTest::newRow("point") << QChar(u'.');
        QTest::newRow("comma") << QChar(u',');
        QTest::newRow("Arabic decimal separator") << QChar(u'\u066B');
        QTest::newRow("apostrophe") << QChar(u'\'');
        QTest::newRow("system locale") << QChar();
    }
    void filesReadUnderAnyLocale()
    {
        QFETCH(QChar, separator);
        setDecimalSeparatorForTesting(separator);
        QList<QByteArray> lines = kExampleLines;
        lines[1] = "998.5";
        lines[2] = "1500.250000";
        lines[3] = "-250,5";
        const std::optional<ConfigurationFile> file =
            config::parseConfigurationFile(fileOf(lines), config::NumberLines::MustRead);
        QVERIFY(file);
        QCOMPARE(file->values[1], 1500.25f);
        QCOMPARE(file->values[0], -250.5f);
        QCOMPARE(file->gravityText, QStringLiteral("998") + systemDecimalSeparator() + QStringLiteral("5"));
        // and the text of `Ro` reads back as the same gravity, by the system's strict conversion
        QCOMPARE(strictToFloat(file->gravityText).value_or(0), 998.5f);

        // What the tool saves, it loads again.
        ConfigurationRecord record;
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = -1000.5f + float(i) * 333.25f;
        const std::optional<ConfigurationFile> back = config::parseConfigurationFile(
            config::configurationFileBytes(config::fileFromRecord(record, true, file->gravityText, {1, 2, 3})),
            config::NumberLines::MustRead);
        QVERIFY(back);
        for (int i = 0; i < 6; ++i)
            QCOMPARE(back->values[std::size_t(i)], record.limitValue(i));
        QCOMPARE(back->gravityText, file->gravityText);
    }

    void systemSeparatorOfTheRun()
    {
        const QString expected = QString::fromUtf8(qgetenv("QZ_EXPECTED_SEPARATOR"));
        if (expected.isEmpty())
            QSKIP("run by CTest under a locale of its own");
        setDecimalSeparatorForTesting(QChar());
        QCOMPARE(systemDecimalSeparator(), expected.at(0));
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

    // What the window does with a file: take it whole into its record, or
    // refuse it and keep the record as it was.
    void loadedIntoARecord_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("accepted");
        QList<QByteArray> badMode = kExampleLines;
        badMode[4] = "1.0"; // after four good lines
        QTest::newRow("good file") << "file" << fileOf(kExampleLines) << true;
        QTest::newRow("64 KiB file") << "file" << paddedTo(config::kMaxConfigurationFileSize) << true;
        QTest::newRow("mode line not an integer") << "file" << fileOf(badMode) << false;
        QTest::newRow("file over 64 KiB") << "file" << paddedTo(config::kMaxConfigurationFileSize + 1) << false;
        QTest::newRow("FIFO fed a good file") << "fifo" << fileOf(kExampleLines) << false;
        QTest::newRow("folder") << "folder" << QByteArray() << false;
        QTest::newRow("missing") << "missing" << QByteArray() << false;
    }
    void loadedIntoARecord()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, bytes);
        QFETCH(bool, accepted);
        const QString path = dir.filePath(QStringLiteral("load.cfg"));
        QFile::remove(path);
        QDir(path).removeRecursively();
        std::optional<FifoWithFile> fifo;
        if (kind == "file") {
            QVERIFY(writeFile(path, bytes));
        } else if (kind == "fifo") {
            fifo.emplace(path, bytes);
            QVERIFY(fifo->created);
        } else if (kind == "folder") {
            QVERIFY(QDir().mkpath(path));
        }

        ConfigurationRecord record;
        for (int i = 0; i < 6; ++i)
            record.limitValue(i) = float(7 + i);
        record.fileIsPressure = false;
        const ConfigurationRecord before = record;

        const std::optional<ConfigurationFile> file = config::loadConfigurationFile(path);
        if (file)
            config::applyToRecord(*file, record);

        QCOMPARE(bool(file), accepted);
        const float example[6] = {1000, 2000, 0, 0, 0, 0};
        for (int i = 0; i < 6; ++i)
            QCOMPARE(record.limitValue(i), accepted ? example[i] : before.limitValue(i));
        QCOMPARE(record.fileIsPressure, accepted);
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

    // A folder that takes no new file, holding a file that may be written:
    // the save writes the file in place.
    void saveWritesInPlaceWhereNoNewFileFits()
    {
        const QString folder = dir.filePath(QStringLiteral("locked"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = folder + QStringLiteral("/locked.cfg");
        QVERIFY(writeFile(path, "old"));
        QCOMPARE(::chmod(QFile::encodeName(path).constData(), 0666), 0);
        QCOMPARE(::chmod(QFile::encodeName(folder).constData(), 0555), 0);
        QCOMPARE(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);

        ConfigurationRecord record;
        record.higherValue1 = 2000;
        const ConfigurationFile file = config::fileFromRecord(record, true, "1000", {1, 0, 0});

        // Root passes every permission check; under another file-system
        // identity it meets them like anybody else.
        const bool root = geteuid() == 0;
        if (root)
            setfsuid(65534);
        const bool folderTakesNewFiles = QFile(folder + QStringLiteral("/probe")).open(QIODevice::WriteOnly);
        const bool saved = config::saveConfigurationFile(path, file);
        if (root)
            setfsuid(0);
        ::chmod(QFile::encodeName(folder).constData(), 0755);

        QVERIFY(!folderTakesNewFiles);
        QVERIFY(saved);
        QCOMPARE(readFile(path), config::configurationFileBytes(file));
        QCOMPARE(QDir(folder).entryList(QDir::Files | QDir::Hidden), QStringList{"locked.cfg"});
    }

    void saveIntoMissingFolderFails()
    {
        QVERIFY(!config::saveConfigurationFile(dir.filePath("no/such/folder/x.cfg"), ConfigurationFile{}));
    }
};

QTEST_GUILESS_MAIN(ConfigurationFileTest)
#include "test_configuration_file.moc"

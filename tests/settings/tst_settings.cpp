// The settings file: where it lies, how its values read, and that writing our
// four keys leaves every other byte of the file as it was.
#include "ShellTestSupport.h"

#include "Lang.h"
#include "Settings.h"

#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/resource.h>
#endif

using namespace shelltest;

namespace {

const UserSettings kWritten{2, true, 0, 3};

// Files in the settings folder other than the settings file: what a failed
// save may have left behind.
QStringList leftovers(const ConfigHome &home)
{
    QStringList names = QDir(home.settingsFolder()).entryList(QDir::Files | QDir::Hidden);
    names.removeAll(QStringLiteral("qz5801.ini"));
    return names;
}

} // namespace

char *toString(const UserSettings &s)
{
    return QTest::toString(QStringLiteral("{%1, %2, %3, %4}")
                               .arg(s.language)
                               .arg(s.isPressure)
                               .arg(s.unitOfLength)
                               .arg(s.unitOfPressure));
}

Q_DECLARE_METATYPE(std::optional<int>)
Q_DECLARE_METATYPE(std::optional<QByteArray>)
Q_DECLARE_METATYPE(UserSettings)

class ShellSettingsTest : public QObject {
    Q_OBJECT

private slots:
    void pathInPerUserFolder()
    {
        ConfigHome home;
        const QString path = settingsFilePath(QStringLiteral("qz5801.ini"));
        QCOMPARE(path, home.settingsFile());
        QVERIFY(QFileInfo(home.settingsFolder()).isDir());
        QVERIFY(!QFileInfo::exists(path));

        // Missing folders above it are made too.
        const QString deeper = home.path() + QStringLiteral("/not/yet");
        qputenv("XDG_CONFIG_HOME", deeper.toLocal8Bit());
        QCOMPARE(settingsFilePath(QStringLiteral("x.ini")), deeper + QStringLiteral("/QZ5801 User Software/x.ini"));
        QVERIFY(QFileInfo(deeper + QStringLiteral("/QZ5801 User Software")).isDir());
    }

    void integers_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<std::optional<int>>("expected");
        auto row = [](const char *text, std::optional<int> value) { QTest::newRow(text) << QByteArray(text) << value; };
        row("0", 0);
        row("17", 17);
        row("-3", -3);
        row("+4", 4);
        row("0x2", 2);
        row("0X1f", 31);
        row("$10", 16);
        row("$ff", 255);
        row("-$10", -16);
        row(" 4 ", 4);
        row("\"5\"", 5);
        row("'6'", 6);
        row("2147483647", 2147483647);
        row("-2147483648", std::numeric_limits<int>::min());
        row("$FFFFFFFF", -1);
        row("2147483648", std::nullopt);
        row("$100000000", std::nullopt);
        row("", std::nullopt);
        row("abc", std::nullopt);
        row("4x", std::nullopt);
        row("1.0", std::nullopt);
        row("0x", std::nullopt);
        row("$", std::nullopt);
        row("-", std::nullopt);
        row("1 2", std::nullopt);
        row("0xg", std::nullopt);
    }

    void integers()
    {
        QFETCH(QByteArray, text);
        QFETCH(std::optional<int>, expected);
        QCOMPARE(parseIniInteger(text), expected);
    }

    void reading_data()
    {
        QTest::addColumn<QByteArray>("file");
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("isPressure");
        QTest::addColumn<int>("unitOfLength");
        QTest::addColumn<int>("unitOfPressure");
        QTest::newRow("no file") << QByteArray() << 0 << false << 1 << 1;
        QTest::newRow("empty file") << QByteArray("") << 0 << false << 1 << 1;
        QTest::newRow("all four") << QByteArray("[Options]\nLanguage=2\nisPressure=1\nunitOfLength=0\nunitOfPressure=5\n")
                                  << 2 << true << 0 << 5;
        QTest::newRow("isPressure=2 is true") << QByteArray("[Options]\nisPressure=2\n") << 0 << true << 1 << 1;
        QTest::newRow("isPressure=0x0 is false") << QByteArray("[Options]\nisPressure=0x0\n") << 0 << false << 1 << 1;
        QTest::newRow("isPressure=yes is the default")
            << QByteArray("[Options]\nisPressure=yes\n") << 0 << false << 1 << 1;
        QTest::newRow("unitOfLength=abc") << QByteArray("[Options]\nunitOfLength=abc\n") << 0 << false << 1 << 1;
        QTest::newRow("unitOfPressure=9 kept") << QByteArray("[Options]\nunitOfPressure=9\n") << 0 << false << 1 << 9;
        QTest::newRow("Language=0x2") << QByteArray("[Options]\nLanguage=0x2\n") << 2 << false << 1 << 1;
        QTest::newRow("Language=$10") << QByteArray("[Options]\nLanguage=$10\n") << 16 << false << 1 << 1;
        QTest::newRow("names in any case")
            << QByteArray("[OPTIONS]\nLANGUAGE=2\nISPRESSURE=1\nUnitOfLength=2\nunitofpressure=3\n") << 2 << true << 2
            << 3;
        QTest::newRow("blanks around") << QByteArray("  [ Options ]  \n  Language  =  3  \n") << 3 << false << 1 << 1;
        QTest::newRow("other section only") << QByteArray("[Other]\nLanguage=3\n[Options]\nunitOfLength=2\n") << 0
                                            << false << 2 << 1;
        QTest::newRow("first of repeated keys") << QByteArray("[Options]\nLanguage=1\nLanguage=2\n") << 1 << false << 1
                                                << 1;
        QTest::newRow("comment is no key") << QByteArray("[Options]\n;Language=3\n#unitOfLength=2\n") << 0 << false << 1
                                           << 1;
        QTest::newRow("CR LF and a BOM")
            << QByteArray("\xEF\xBB\xBF[Options]\r\nLanguage=4\r\nunitOfPressure=2\r\n") << 4 << false << 1 << 2;
        QTest::newRow("no line end at the end") << QByteArray("[Options]\nunitOfPressure=4") << 0 << false << 1 << 4;
    }

    void reading()
    {
        QFETCH(QByteArray, file);
        QFETCH(int, language);
        QFETCH(bool, isPressure);
        QFETCH(int, unitOfLength);
        QFETCH(int, unitOfPressure);
        ConfigHome home;
        if (!file.isNull())
            QVERIFY(writeBytes(home.settingsFile(), file));
        const UserSettings s = readUserSettings(settingsFilePath(QStringLiteral("qz5801.ini")));
        QCOMPARE(s.language, language);
        QCOMPARE(s.isPressure, isPressure);
        QCOMPARE(s.unitOfLength, unitOfLength);
        QCOMPARE(s.unitOfPressure, unitOfPressure);
    }

    void writing_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QByteArray>("after");
        // Written: Language=2, isPressure=1, unitOfLength=0, unitOfPressure=3.
        QTest::newRow("no file") << QByteArray()
                                 << QByteArray("[Options]\nLanguage=2\nisPressure=1\nunitOfLength=0\nunitOfPressure=3\n");
        QTest::newRow("replaced in place")
            << QByteArray("[Options]\nunitOfPressure=9\nisPressure=0\nLanguage=0\nunitOfLength=1\n")
            << QByteArray("[Options]\nunitOfPressure=3\nisPressure=1\nLanguage=2\nunitOfLength=0\n");
        QTest::newRow("names in any case keep their spelling")
            << QByteArray("[OPTIONS]\nLANGUAGE=7\nIsPressure = 0\n")
            << QByteArray("[OPTIONS]\nLANGUAGE=2\nIsPressure = 1\nunitOfLength=0\nunitOfPressure=3\n");
        QTest::newRow("other sections, comments and line ends kept")
            << QByteArray("; top comment\r\n[First]\r\nA = 1\r\n\r\n[options]\r\n; keep me\r\nLANGUAGE = 7\r\n"
                          "extra=x \t\r\n\r\n[Last]\r\nB=2")
            << QByteArray("; top comment\r\n[First]\r\nA = 1\r\n\r\n[options]\r\n; keep me\r\nLANGUAGE = 2\r\n"
                          "extra=x \t\r\nisPressure=1\r\nunitOfLength=0\r\nunitOfPressure=3\r\n\r\n[Last]\r\nB=2");
        QTest::newRow("missing section appended")
            << QByteArray("[Other]\nk=v")
            << QByteArray("[Other]\nk=v\n\n[Options]\nLanguage=2\nisPressure=1\nunitOfLength=0\nunitOfPressure=3\n");
        QTest::newRow("section at the end without line end")
            << QByteArray("[A]\n[Options]\nLanguage=5")
            << QByteArray("[A]\n[Options]\nLanguage=2\nisPressure=1\nunitOfLength=0\nunitOfPressure=3\n");
        QTest::newRow("only the first of repeated keys")
            << QByteArray("[Options]\nLanguage=5\nLanguage=6\n")
            << QByteArray("[Options]\nLanguage=2\nLanguage=6\nisPressure=1\nunitOfLength=0\nunitOfPressure=3\n");
        QTest::newRow("same key in another section untouched")
            << QByteArray("[Before]\nLanguage=8\n[Options]\n\n[After]\nisPressure=9\n")
            << QByteArray("[Before]\nLanguage=8\n[Options]\nLanguage=2\nisPressure=1\nunitOfLength=0\nunitOfPressure=3\n"
                          "\n[After]\nisPressure=9\n");
        QTest::newRow("commented key is no key")
            << QByteArray("[Options]\n;Language=5\n")
            << QByteArray("[Options]\n;Language=5\nLanguage=2\nisPressure=1\nunitOfLength=0\nunitOfPressure=3\n");
        QTest::newRow("byte order mark kept") << QByteArray("\xEF\xBB\xBF[Options]\nLanguage=1\n")
                                              << QByteArray("\xEF\xBB\xBF[Options]\nLanguage=2\nisPressure=1\n"
                                                            "unitOfLength=0\nunitOfPressure=3\n");
        QTest::newRow("bytes outside ASCII kept")
            << QByteArray("[Jazyk]\nN\xC3\xA1zev=\xC4\x8C""e\xC5\xA1tina\n\xFF\xFE\n")
            << QByteArray("[Jazyk]\nN\xC3\xA1zev=\xC4\x8C""e\xC5\xA1tina\n\xFF\xFE\n\n[Options]\nLanguage=2\nisPressure=1\n"
                          "unitOfLength=0\nunitOfPressure=3\n");
    }

    void writing()
    {
        QFETCH(QByteArray, before);
        QFETCH(QByteArray, after);
        ConfigHome home;
        if (!before.isNull())
            QVERIFY(writeBytes(home.settingsFile(), before));
        QVERIFY(writeUserSettings(settingsFilePath(QStringLiteral("qz5801.ini")), UserSettings{2, true, 0, 3}));
        QCOMPARE(readBytes(home.settingsFile()), after);
        // What was written reads back.
        const UserSettings s = readUserSettings(home.settingsFile());
        QCOMPARE(s.language, 2);
        QVERIFY(s.isPressure);
        QCOMPARE(s.unitOfLength, 0);
        QCOMPARE(s.unitOfPressure, 3);
    }

    // Reading and writing see the same file: what the reader takes from a
    // file is what the writer replaces, so a written choice always sticks and
    // keys the reader never saw are never lost.
    void readerAndWriterAgree_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<UserSettings>("read");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("NUL byte before the section")
            << QByteArrayLiteral("[Other]\nk=a\0b\n[Options]\nunitOfLength=2\n") << UserSettings{0, false, 2, 1}
            << QByteArrayLiteral("[Other]\nk=a\0b\n[Options]\nunitOfLength=0\nLanguage=2\nisPressure=1\nunitOfPressure=3\n");
        QTest::newRow("NUL byte in a value")
            << QByteArrayLiteral("[Options]\nLanguage=3\0\nunitOfPressure=4\n") << UserSettings{0, false, 1, 4}
            << QByteArray("[Options]\nLanguage=2\nunitOfPressure=3\nisPressure=1\nunitOfLength=0\n");
        QTest::newRow("unclosed header is no section")
            << QByteArray("[Options]\nLanguage=3\n[Other\nunitOfLength=2\n") << UserSettings{3, false, 2, 1}
            << QByteArray("[Options]\nLanguage=2\n[Other\nunitOfLength=0\nisPressure=1\nunitOfPressure=3\n");
        QTest::newRow("unclosed Options header")
            << QByteArray("[Options\nLanguage=3\n") << UserSettings{}
            << QByteArray("[Options\nLanguage=3\n\n[Options]\nLanguage=2\nisPressure=1\nunitOfLength=0\n"
                          "unitOfPressure=3\n");
        QTest::newRow("byte-order mark before a key")
            << QByteArray("\xEF\xBB\xBFLanguage=3\r\n[options]\r\nisPressure=1\r\n") << UserSettings{0, true, 1, 1}
            << QByteArray("\xEF\xBB\xBFLanguage=3\r\n[options]\r\nisPressure=1\r\nLanguage=2\r\nunitOfLength=0\r\n"
                          "unitOfPressure=3\r\n");
        QTest::newRow("byte-order mark before blanks")
            << QByteArray("\xEF\xBB\xBF  [Options]\nunitOfLength=2\n") << UserSettings{0, false, 2, 1}
            << QByteArray("\xEF\xBB\xBF  [Options]\nunitOfLength=0\nLanguage=2\nisPressure=1\nunitOfPressure=3\n");
        QTest::newRow("repeated section, the first counts")
            << QByteArray("[Options]\nLanguage=3\n[Other]\n[OPTIONS]\nLanguage=4\nunitOfLength=2\n")
            << UserSettings{3, false, 1, 1}
            << QByteArray("[Options]\nLanguage=2\nisPressure=1\nunitOfLength=0\nunitOfPressure=3\n[Other]\n[OPTIONS]\n"
                          "Language=4\nunitOfLength=2\n");
        QTest::newRow("lines ended by CR alone")
            << QByteArray("[Options]\rLanguage=3\r[Other]\rLanguage=5\r") << UserSettings{3, false, 1, 1}
            << QByteArray("[Options]\rLanguage=2\risPressure=1\runitOfLength=0\runitOfPressure=3\r[Other]\rLanguage=5\r");
    }

    void readerAndWriterAgree()
    {
        QFETCH(QByteArray, before);
        QFETCH(UserSettings, read);
        QFETCH(QByteArray, after);
        ConfigHome home;
        QVERIFY(writeBytes(home.settingsFile(), before));
        QCOMPARE(readUserSettings(home.settingsFile()), read);
        QVERIFY(writeUserSettings(home.settingsFile(), kWritten));
        QCOMPARE(readBytes(home.settingsFile()), after);
        QCOMPARE(readUserSettings(home.settingsFile()), kWritten);

        // The same model on bytes, without a file.
        QCOMPARE(userSettingsFromBytes(before), read);
        QCOMPARE(userSettingsBytes(before, kWritten), std::optional<QByteArray>(after));
    }

    void iniValues_data()
    {
        QTest::addColumn<QByteArray>("contents");
        QTest::addColumn<QByteArray>("section");
        QTest::addColumn<QByteArray>("key");
        QTest::addColumn<std::optional<QByteArray>>("value");
        const QByteArray file("\xEF\xBB\xBF[A]\r\nk =  v w \r\nk=second\r\n[B\r\nm=1\r\n;n=2\r\n[ b ] x\rn=3\r\n");
        QTest::newRow("blanks before the value dropped") << file << QByteArray("a") << QByteArray("K")
                                                         << std::optional<QByteArray>("v w ");
        QTest::newRow("key under an unclosed header") << file << QByteArray("A") << QByteArray("m")
                                                      << std::optional<QByteArray>("1");
        QTest::newRow("commented key") << file << QByteArray("A") << QByteArray("n") << std::optional<QByteArray>();
        QTest::newRow("header with text after it") << file << QByteArray("B") << QByteArray("n")
                                                   << std::optional<QByteArray>("3");
        QTest::newRow("no such section") << file << QByteArray("C") << QByteArray("k") << std::optional<QByteArray>();
        QTest::newRow("empty value") << QByteArray("[A]\nk=") << QByteArray("A") << QByteArray("k")
                                     << std::optional<QByteArray>("");
    }

    void iniValues()
    {
        QFETCH(QByteArray, contents);
        QFETCH(QByteArray, section);
        QFETCH(QByteArray, key);
        QFETCH(std::optional<QByteArray>, value);
        QCOMPARE(iniValue(contents, section, key), value);
    }

    // A file larger than any settings file of ours is left alone, and so is a
    // file that would grow past that size.
    void oversizedFileIsNeitherReadNorReplaced_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<bool>("readable");
        const QByteArray head("[Options]\nLanguage=3\n[Padding]\n");
        const auto padded = [&](qsizetype size) {
            QByteArray file = head;
            while (file.size() < size)
                file += "; " + QByteArray(60, 'x') + '\n';
            file.truncate(size - 1);
            return file + '\n';
        };
        QTest::newRow("over the limit") << padded(kMaxSettingsFileSize + 1) << false;
        QTest::newRow("would grow over it") << padded(kMaxSettingsFileSize) << true;
    }

    void oversizedFileIsNeitherReadNorReplaced()
    {
        QFETCH(QByteArray, before);
        QFETCH(bool, readable);
        ConfigHome home;
        QVERIFY(writeBytes(home.settingsFile(), before));
        QCOMPARE(readUserSettings(home.settingsFile()).language, readable ? 3 : 0);
        QVERIFY(!writeUserSettings(home.settingsFile(), kWritten));
        QVERIFY(readBytes(home.settingsFile()) == before);
        QCOMPARE(leftovers(home), QStringList());
        QVERIFY(!userSettingsBytes(before, kWritten));
    }

    // A full disk while the new file is written: the old file stays whole,
    // its other sections included.
    void fullDiskKeepsTheOldFile()
    {
#ifdef Q_OS_UNIX
        ConfigHome home;
        const QByteArray old("[Window]\nx=1\n[Options]\nLanguage=1\n\n[Last]\nkeep=me\n");
        QVERIFY(writeBytes(home.settingsFile(), old));

        // Writes past the old file's size fail as on a full disk; the new
        // file is longer, as it gains three keys.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
        const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = saved;
        small.rlim_cur = rlim_t(old.size());
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const bool written = writeUserSettings(home.settingsFile(), kWritten);
        setrlimit(RLIMIT_FSIZE, &saved);
        std::signal(SIGXFSZ, previousHandler);

        QVERIFY(!written);
        QCOMPARE(readBytes(home.settingsFile()), old);
        QCOMPARE(leftovers(home), QStringList());
        // With room again the same save goes through.
        QVERIFY(writeUserSettings(home.settingsFile(), kWritten));
        QCOMPARE(readUserSettings(home.settingsFile()), kWritten);
#else
        QSKIP("file size limits are a POSIX facility");
#endif
    }

    // The window reads the file at creation and writes it back when it closes.
    void throughTheWindow_data()
    {
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("isPressure");
        QTest::addColumn<int>("unitOfLength");
        QTest::addColumn<int>("unitOfPressure");
        QTest::addColumn<QByteArray>("after");
        QTest::newRow("first run") << QByteArray() << 0 << false << 1 << 1
                                   << QByteArray("[Options]\nLanguage=0\nisPressure=0\nunitOfLength=1\nunitOfPressure=1\n");
        QTest::newRow("odd values")
            << QByteArray("[Options]\nLanguage=0x0\nisPressure=2\nunitOfLength=abc\nunitOfPressure=9\n") << 0 << true << 1
            << 9 << QByteArray("[Options]\nLanguage=0\nisPressure=1\nunitOfLength=1\nunitOfPressure=9\n");
        QTest::newRow("upper-case key")
            << QByteArray("[Window]\nx=1\n[options]\nLANGUAGE=$0\nunitOfLength=2\nunitOfPressure=5\n") << 0 << false << 2
            << 5 << QByteArray("[Window]\nx=1\n[options]\nLANGUAGE=0\nunitOfLength=2\nunitOfPressure=5\nisPressure=0\n");
    }

    void throughTheWindow()
    {
        QFETCH(QByteArray, before);
        QFETCH(int, language);
        QFETCH(bool, isPressure);
        QFETCH(int, unitOfLength);
        QFETCH(int, unitOfPressure);
        QFETCH(QByteArray, after);
        ConfigHome home;
        if (!before.isNull())
            QVERIFY(writeBytes(home.settingsFile(), before));
        RecordedBoxes boxes;
        currentLanguage = -1;
        {
            TMainF w;
            QCOMPARE(currentLanguage, language);
            QCOMPARE(w.isPressure, isPressure);
            QCOMPARE(w.unitOfLength, unitOfLength);
            QCOMPARE(w.unitOfPressure, unitOfPressure);
            // Whatever the file says, the window starts in pressure with kPa and mm.
            QVERIFY(w.checkPressure->isChecked());
            QVERIFY(w.RadioButton2->isChecked());
            QVERIFY(w.Butmm->isChecked());
            QCOMPARE(w.unitFactor, 0.001f);
            // Nothing is written while the window is open.
            QCOMPARE(readBytes(home.settingsFile()), before);
            w.close();
        }
        QCOMPARE(readBytes(home.settingsFile()), after);
        QVERIFY(boxes.boxes.empty());
    }

    void unusableFolderIsSilent_data()
    {
        QTest::addColumn<QString>("blocker");
        // Where the settings folder should be there is a file; where the file
        // should be there is a folder.
        QTest::newRow("folder is a file") << QStringLiteral("QZ5801 User Software");
        QTest::newRow("file is a folder") << QStringLiteral("QZ5801 User Software/qz5801.ini");
    }

    void unusableFolderIsSilent()
    {
        QFETCH(QString, blocker);
        ConfigHome home;
        const QString blockerPath = home.path() + u'/' + blocker;
        if (blocker.endsWith(QStringLiteral(".ini")))
            QVERIFY(QDir().mkpath(blockerPath));
        else
            QVERIFY(writeBytes(blockerPath, "not a folder"));
        RecordedBoxes boxes;
        {
            TMainF w;
            w.unitOfPressure = 4;
            QCOMPARE(w.isPressure, false);
            QCOMPARE(w.unitOfLength, 1);
            w.close();
        }
        QVERIFY(!writeUserSettings(settingsFilePath(QStringLiteral("qz5801.ini")), UserSettings{}));
        QVERIFY(boxes.boxes.empty());
        if (blocker.endsWith(QStringLiteral(".ini")))
            QVERIFY(QFileInfo(blockerPath).isDir());
        else
            QCOMPARE(readBytes(blockerPath), QByteArray("not a folder"));
    }

    void noPathReadsDefaultsAndWritesNothing()
    {
        const UserSettings s = readUserSettings(QString());
        QCOMPARE(s.language, 0);
        QCOMPARE(s.isPressure, false);
        QCOMPARE(s.unitOfLength, 1);
        QCOMPARE(s.unitOfPressure, 1);
        QVERIFY(!writeUserSettings(QString(), UserSettings{}));
    }
};

QZ_SHELL_TEST_MAIN(ShellSettingsTest)
#include "tst_settings.moc"

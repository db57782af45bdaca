// The language catalogue "messages.ini" and the language folder's path.
#include "LangTestFiles.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QTest>

using namespace langtest;

class TestLangCatalogue : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetLanguageState(); }

    void folderPath_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QChar>("separator");
        QTest::addColumn<QString>("expected");

        const QChar slash(u'/');
        const QChar backslash(u'\\');
        QTest::newRow("own folder") << "/opt/qz/bin/qz5801" << slash << "/opt/qz/bin/language/";
        QTest::newRow("Win32/Release") << "/opt/qz/Win32/Release/qz5801" << slash << "/opt/qz/language/";
        QTest::newRow("Win32/Debug") << "/opt/qz/Win32/Debug/qz5801" << slash << "/opt/qz/language/";
        QTest::newRow("build folder names are case-sensitive")
            << "/opt/qz/win32/release/qz5801" << slash << "/opt/qz/win32/release/language/";
        QTest::newRow("Win32/Debug deeper inside")
            << "/opt/Win32/Debug/qz/qz5801" << slash << "/opt/qz/language/";
        QTest::newRow("a folder merely starting with Debug")
            << "/opt/qz/Win32/Debugger/qz5801" << slash << "/opt/qz/Win32/Debugger/language/";
        QTest::newRow("trailing dot folder") << "/opt/qz/./qz5801" << slash << "/opt/qz/language/";
        QTest::newRow("dot folder inside") << "/opt/./qz/qz5801" << slash << "/opt/qz/language/";
        QTest::newRow("folder name ending in a dot") << "/opt/qz./qz5801" << slash << "/opt/qz./language/";
        QTest::newRow("Windows Release")
            << "C:\\Tools\\QZ\\Win32\\Release\\qz5801.exe" << backslash << "C:\\Tools\\QZ\\language\\";
        QTest::newRow("Windows Debug with dot")
            << "C:\\Tools\\QZ\\Win32\\Debug\\.\\qz5801.exe" << backslash << "C:\\Tools\\QZ\\language\\";
        QTest::newRow("Windows plain") << "D:\\QZ5801\\qz5801.exe" << backslash << "D:\\QZ5801\\language\\";
    }

    void folderPath()
    {
        QFETCH(QString, executable);
        QFETCH(QChar, separator);
        QFETCH(QString, expected);
        const QString subfolder = QStringLiteral("language") + separator;
        QCOMPARE(programFolderPathFor(executable, subfolder, separator), expected);
    }

    void folderPathOfRunningExecutable()
    {
        const QString own = QFileInfo(QCoreApplication::applicationFilePath()).absolutePath();
        QCOMPARE(programFolderPath(QStringLiteral("language/")), own + QStringLiteral("/language/"));
    }

    void missingCatalogueGivesFiveDefaultLanguages()
    {
        LanguageFolder folder;
        loadLanguageCatalogueFrom(folder.path());

        QCOMPARE(languageFolder, folder.path());
        QCOMPARE(languageCount, 5);
        for (int i = 0; i < 5; ++i) {
            QCOMPARE(languageNames[i], QStringLiteral("---"));
            QCOMPARE(languageCharsets[i], 1);
            QCOMPARE(languageFiles[i], folder.file(QStringLiteral("messages_uk.txt")));
            QCOMPARE(languageShorts[i], QStringLiteral("UK"));
        }
        QCOMPARE(languageNames[5], QString());
        currentLanguage = 4;
        QCOMPARE(currentCharset(), 1);
    }

    void catalogueValues()
    {
        LanguageFolder folder;
        // Sections and keys in any case, as the Windows reader takes them;
        // entry 1 has no name, no charset, no file and no short code.
        folder.writeCatalogue("\xEF\xBB\xBF[MAIN]\r\ntotal=4\r\n"
                              "[Names]\r\n0=English\r\n2=\xC4\x8C" "e\xC5\xA1tina\r\n3=\"Deutsch\"\r\n"
                              "[charsets]\r\n0=1\r\n2=494\r\n3=abc\r\n"
                              "[Files]\r\n0=messages_uk.txt\r\n2=cz/messages_cz.txt\r\n3=messages_de.txt\r\n"
                              "[Shorts]\r\n2=CZ\r\n3=DE\r\n");
        loadLanguageCatalogueFrom(folder.path());

        QCOMPARE(languageCount, 4);
        QCOMPARE(languageNames[0], QStringLiteral("English"));
        QCOMPARE(languageNames[1], QStringLiteral("---"));
        QCOMPARE(languageNames[2], QStringLiteral("Čeština"));
        QCOMPARE(languageNames[3], QStringLiteral("Deutsch"));
        QCOMPARE(languageCharsets[1], 1);
        QCOMPARE(languageCharsets[2], 494);
        QCOMPARE(languageCharsets[3], 1);
        QCOMPARE(languageFiles[1], folder.file(QStringLiteral("messages_uk.txt")));
        QCOMPARE(languageFiles[2], folder.file(QStringLiteral("cz/messages_cz.txt")));  // simply appended
        QCOMPARE(languageFiles[3], folder.file(QStringLiteral("messages_de.txt")));
        QCOMPARE(languageShorts[1], QStringLiteral("UK"));
        QCOMPARE(languageShorts[3], QStringLiteral("DE"));

        currentLanguage = 2;
        QCOMPARE(currentCharset(), 238);  // low byte of 494
        currentLanguage = 0;
        QCOMPARE(currentCharset(), 1);
    }

    // A "Files" entry names a file of the language folder, a sub-folder
    // part simply appended, or no file at all: nothing outside the folder is
    // read, appended to or deleted.
    void fileNamesStayInTheFolder_data()
    {
        QTest::addColumn<QString>("entry");
        QTest::addColumn<QString>("inside");  // the file it names, within the folder; empty for none
        QTest::newRow("plain name") << "messages_xx.txt" << "messages_xx.txt";
        QTest::newRow("dots inside a name") << "messages..xx.txt" << "messages..xx.txt";
        QTest::newRow("sub-folder") << "sub/messages_xx.txt" << "sub/messages_xx.txt";
        QTest::newRow("sub-folder, backslash") << "sub\\messages_xx.txt" << "sub/messages_xx.txt";
        QTest::newRow("sub-folder, dot part") << "./sub/messages_xx.txt" << "sub/messages_xx.txt";
        QTest::newRow("parent folder") << "../outside.txt" << "";
        QTest::newRow("parent folder, backslash") << "..\\outside.txt" << "";
        QTest::newRow("down and up again") << "sub/../../outside.txt" << "";
        QTest::newRow("down and up, staying inside") << "sub/../messages_xx.txt" << "";
        QTest::newRow("absolute") << "/outside.txt" << "";
        QTest::newRow("absolute, backslash") << "\\outside.txt" << "";
        QTest::newRow("network share") << "\\\\server\\outside.txt" << "";
        QTest::newRow("drive") << "C:outside.txt" << "";
        QTest::newRow("drive with a path") << "C:\\outside.txt" << "";
        QTest::newRow("a folder") << "sub/" << "";
        QTest::newRow("dot dot") << ".." << "";
        QTest::newRow("dot") << "." << "";
        QTest::newRow("empty") << "" << "";
    }

    void fileNamesStayInTheFolder()
    {
        QFETCH(QString, entry);
        QFETCH(QString, inside);
        QTemporaryDir outer;
        const QString folder = outer.path() + QStringLiteral("/language/");
        QVERIFY(QDir().mkpath(folder + QStringLiteral("sub")));
        // Message files with their logs, inside and outside the folder.
        const QStringList files = {QStringLiteral("messages_xx.txt"), QStringLiteral("messages..xx.txt"),
                                   QStringLiteral("sub/messages_xx.txt")};
        for (const QString &name : files)
            QVERIFY(writeMessageFile(folder + name, QStringLiteral("Exit; Konec ") + name + QStringLiteral("\r\n")));
        QVERIFY(writeMessageFile(outer.path() + QStringLiteral("/outside.txt"), QStringLiteral("Exit; Konec\r\n")));
        for (const QString &path : {folder + files[0], folder + files[1], folder + files[2],
                                    outer.path() + QStringLiteral("/outside.txt")})
            QVERIFY(writeBytes(path + QStringLiteral(".todo"), "kept"));
        writeMasterFile(folder + QStringLiteral("messages_uk.txt"), {QStringLiteral("Help")});
        QVERIFY(writeBytes(folder + QStringLiteral("messages.ini"),
                           "[Main]\nTotal=2\n[Files]\n0=messages_uk.txt\n1=" + entry.toUtf8() + "\n"));
        loadLanguageCatalogueFrom(folder);

        const bool named = !inside.isEmpty();
        QCOMPARE(QDir::cleanPath(QDir::fromNativeSeparators(languageFiles[1])),
                 named ? QDir::cleanPath(folder + inside) : QString());
        currentLanguage = 1;
        QCOMPARE(loadMessageTable(), named);
        QCOMPARE(translate(QStringLiteral("Exit")),
                 named ? QStringLiteral("Konec ") + inside : QStringLiteral("Exit"));
        translate(QStringLiteral("Missing"));

        QCOMPARE(readBytes(outer.path() + QStringLiteral("/outside.txt.todo")), QByteArray("kept"));
        QCOMPARE(QDir(outer.path()).entryList(QDir::Files | QDir::Hidden),
                 QStringList({QStringLiteral("outside.txt"), QStringLiteral("outside.txt.todo")}));
        for (const QString &name : files)
            if (name != inside)
                QCOMPARE(readBytes(folder + name + QStringLiteral(".todo")), QByteArray("kept"));
        if (named)
            QCOMPARE(readBytes(folder + inside + QStringLiteral(".todo")),
                     expectedLog({QStringLiteral("Help"), QStringLiteral("Missing")}));
    }

    void total_data()
    {
        QTest::addColumn<QByteArray>("mainSection");
        QTest::addColumn<int>("expected");
        QTest::newRow("3") << QByteArray("[Main]\nTotal=3\n") << 3;
        QTest::newRow("0") << QByteArray("[Main]\nTotal=0\n") << 0;
        QTest::newRow("absent key") << QByteArray("[Main]\nOther=3\n") << 5;
        QTest::newRow("absent section") << QByteArray("[Names]\nTotal=3\n") << 5;
        QTest::newRow("empty") << QByteArray("[Main]\nTotal=\n") << 5;
        QTest::newRow("not a number") << QByteArray("[Main]\nTotal=abc\n") << 5;
        QTest::newRow("digits then text") << QByteArray("[Main]\nTotal=2x\n") << 2;
        QTest::newRow("blanks around") << QByteArray("[Main]\nTotal =  7  \n") << 7;
        QTest::newRow("above the columns") << QByteArray("[Main]\nTotal=150\n") << 100;
        QTest::newRow("negative") << QByteArray("[Main]\nTotal=-2\n") << 0;
    }

    void total()
    {
        QFETCH(QByteArray, mainSection);
        QFETCH(int, expected);
        LanguageFolder folder;
        folder.writeCatalogue(mainSection);
        loadLanguageCatalogueFrom(folder.path());
        QCOMPARE(languageCount, expected);
    }

    void totalAboveColumnsKeepsTheFirstHundred()
    {
        LanguageFolder folder;
        QByteArray ini = "[Main]\nTotal=150\n[Names]\n";
        for (int i = 0; i < 150; ++i)
            ini += "" + QByteArray::number(i) + "=L" + QByteArray::number(i) + "\n";
        folder.writeCatalogue(ini);
        loadLanguageCatalogueFrom(folder.path());

        QCOMPARE(languageCount, kLanguageTableSize);
        QCOMPARE(languageNames[0], QStringLiteral("L0"));
        QCOMPARE(languageNames[kLanguageTableSize - 1], QStringLiteral("L99"));
    }

    void reloadClearsRowsBeyondTheCount()
    {
        LanguageFolder folder;
        folder.writeCatalogue("[Main]\nTotal=3\n");
        loadLanguageCatalogueFrom(folder.path());
        folder.writeCatalogue("[Main]\nTotal=1\n");
        loadLanguageCatalogueFrom(folder.path());
        QCOMPARE(languageCount, 1);
        QCOMPARE(languageNames[1], QString());
        QCOMPARE(languageFiles[2], QString());
    }

    void folderGetsItsSeparator()
    {
        LanguageFolder folder;
        loadLanguageCatalogueFrom(folder.dir.path());
        QCOMPARE(languageFolder, folder.path());
        QCOMPARE(languageFiles[0], folder.file(QStringLiteral("messages_uk.txt")));
    }
};

QTEST_GUILESS_MAIN(TestLangCatalogue)
#include "tst_lang_catalogue.moc"

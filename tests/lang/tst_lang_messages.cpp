// Message files, the lookup and the missing-text log.
#include "LangTestFiles.h"

#include <QDir>
#include <QTest>

using namespace langtest;

class TestLangMessages : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetLanguageState(); }

    void messageFileEntries_data()
    {
        QTest::addColumn<QString>("body");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("logged");
        QTest::addColumn<int>("count");

        QTest::newRow("usual line") << "Exit; Konec\r\n" << "Exit" << "Konec" << false << 1;
        QTest::newRow("key in capitals") << "Exit; Konec\r\n" << "EXIT" << "Konec" << false << 1;
        QTest::newRow("file key in capitals") << "EXIT; Konec\r\n" << "exit" << "Konec" << false << 1;
        QTest::newRow("non-ASCII letter case") << "ČTENÍ; x\r\n" << "čtení" << "x" << false << 1;
        QTest::newRow("blank before ; is part of the key") << "Exit ; Konec\r\n" << "Exit" << "Exit" << true << 1;
        QTest::newRow("key with its blank") << "Exit ; Konec\r\n" << "exit " << "Konec" << false << 1;
        // An empty text is shown empty and not logged...
        QTest::newRow("empty text, tab") << "Exit;\t\r\nHelp; Hilfe\r\n" << "Exit" << "" << false << 2;
        QTest::newRow("empty text, key in capitals") << "Exit;\t\r\nHelp; Hilfe\r\n" << "EXIT" << "" << false << 2;
        QTest::newRow("empty text, line feed") << "Exit;\nHelp; Hilfe\n" << "Exit" << "" << false << 2;
        QTest::newRow("text after an empty one") << "Exit;\nHelp; Hilfe\n" << "Help" << "Hilfe" << false << 2;
        QTest::newRow("empty text at end of file") << "Help; Hilfe\r\nExit;" << "Exit" << "" << false << 2;
        // ...unless the file has no text at all, as the master file read for a
        // language without a catalogue: then its keys show as English.
        QTest::newRow("no text at all, tab") << "Exit;\t\r\nHelp;\t\r\n" << "Exit" << "Exit" << false << 2;
        QTest::newRow("no text at all, as asked") << "Exit;\t\r\n" << "EXIT" << "EXIT" << false << 1;
        QTest::newRow("no text at all, end of file") << "Exit;" << "Exit" << "Exit" << false << 1;
        QTest::newRow("first of two wins") << "Exit; A\r\nexit; B\r\n" << "Exit" << "A" << false << 2;
        QTest::newRow("; kept in the text") << "Exit; a;b\r\n" << "Exit" << "a;b" << false << 1;
        QTest::newRow("tab dropped in the text") << "Exit; a\tb\r\n" << "Exit" << "ab" << false << 1;
        QTest::newRow("CR dropped in the text") << "Exit; a\rb\r\n" << "Exit" << "ab" << false << 1;
        QTest::newRow("no blank after ;") << "Exit;Konec\r\n" << "Exit" << "Konec" << false << 1;
        QTest::newRow("one separator only") << "Exit;  Konec\r\n" << "Exit" << " Konec" << false << 1;
        QTest::newRow("tab as separator") << "Exit;\tKonec\r\n" << "Exit" << "Konec" << false << 1;
        QTest::newRow("no line end at the end") << "Help; Hilfe\r\nExit; Konec" << "Exit" << "Konec" << false << 2;
        QTest::newRow("backslash is a character") << "Exit; a\\nb\r\n" << "Exit" << "a\\nb" << false << 1;
        QTest::newRow("blank line skipped") << "Help; Hilfe\r\n\r\nExit; Konec\r\n" << "Exit" << "Konec" << false << 2;
        QTest::newRow("line without ; skipped") << "Help; Hilfe\r\nnonsense\r\nExit; Konec\r\n" << "Exit" << "Konec" << false << 2;
        QTest::newRow("text running to a ;-less end") << "Exit; Konec\r\nstray" << "Exit" << "Konec" << false << 1;
        QTest::newRow("only the byte-order mark") << "" << "Exit" << "Exit" << true << 0;
    }

    void messageFileEntries()
    {
        QFETCH(QString, body);
        QFETCH(QString, key);
        QFETCH(QString, expected);
        QFETCH(bool, logged);
        QFETCH(int, count);

        LanguageFolder folder;
        folder.loadTwoLanguages({}, body);
        currentLanguage = 1;
        QVERIFY(loadMessageTable());
        QCOMPARE(messageCount, count);
        QCOMPARE(translate(key), expected);
        QCOMPARE(readBytes(folder.testLog()), logged ? expectedLog({key}) : QByteArray());
    }

    void pluralsFollowTheLanguagesRule_data()
    {
        QTest::addColumn<QString>("shortName"); // empty: English, language 0
        QTest::addColumn<QString>("text");      // the translation of "%i line|%i lines"; empty: none
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");
        const QString cz = QStringLiteral("%i řádek|%i řádky|%i řádků");
        const QString de = QStringLiteral("%i Zeile|%i Zeilen");
        const QString pl = QStringLiteral("%i linia|%i linie|%i linii");
        QTest::newRow("English one") << "" << "" << 1 << "1 line";
        QTest::newRow("English none") << "" << "" << 0 << "0 lines";
        QTest::newRow("English two") << "" << "" << 2 << "2 lines";
        QTest::newRow("English minus one") << "" << "" << -1 << "-1 line";
        QTest::newRow("Czech one") << "CZ" << cz << 1 << "1 řádek";
        QTest::newRow("Czech two") << "CZ" << cz << 2 << "2 řádky";
        QTest::newRow("Czech four") << "CZ" << cz << 4 << "4 řádky";
        QTest::newRow("Czech five") << "CZ" << cz << 5 << "5 řádků";
        QTest::newRow("Czech none") << "CZ" << cz << 0 << "0 řádků";
        QTest::newRow("Czech twenty-two") << "CZ" << cz << 22 << "22 řádků";
        QTest::newRow("Czech short name in lower case") << "cz" << cz << 3 << "3 řádky";
        QTest::newRow("German one") << "DE" << de << 1 << "1 Zeile";
        QTest::newRow("German many") << "DE" << de << 86400 << "86400 Zeilen";
        QTest::newRow("German none") << "DE" << de << 0 << "0 Zeilen";
        QTest::newRow("Polish twenty-two") << "PL" << pl << 22 << "22 linie";
        QTest::newRow("Polish twelve") << "PL" << pl << 12 << "12 linii";
        QTest::newRow("unknown language: one and many") << "XX" << de << 7 << "7 Zeilen";
        QTest::newRow("too few forms: the last stands in") << "CZ" << "%i řádek|%i řádků" << 3 << "3 řádků";
        QTest::newRow("one form only") << "CZ" << "řádky: %i" << 1 << "řádky: 1";
        QTest::newRow("missing: the English forms") << "CZ" << "" << 5 << "5 lines";
    }

    void pluralsFollowTheLanguagesRule()
    {
        QFETCH(QString, shortName);
        QFETCH(QString, text);
        QFETCH(int, number);
        QFETCH(QString, expected);
        const QString key = QStringLiteral("%i line|%i lines");
        LanguageFolder folder;
        QVERIFY(folder.writeCatalogue("[Main]\nTotal=2\n[Names]\n0=English\n1=Test\n[Files]\n0=messages_uk.txt\n"
                                      "1=messages_xx.txt\n[Shorts]\n0=UK\n1="
                                      + shortName.toLatin1() + "\n"));
        QVERIFY(writeMasterFile(folder.file(QStringLiteral("messages_uk.txt")), {key}));
        QVERIFY(writeMessageFile(folder.file(QStringLiteral("messages_xx.txt")),
                                 text.isEmpty() ? QString() : key + QStringLiteral("; ") + text + QStringLiteral("\r\n")));
        loadLanguageCatalogueFrom(folder.path());
        currentLanguage = shortName.isEmpty() ? 0 : 1;
        loadMessageTable();
        QCOMPARE(translatePlural(key, number), expected);
        QCOMPARE(pluralForm(translate(key), number), expected);
        // a missing plural is logged like any key, as asked
        QCOMPARE(readBytes(folder.testLog()), text.isEmpty() && currentLanguage == 1 ? expectedLog({key, key, key})
                                                                                      : QByteArray());
    }

    void emptyFileGivesEmptyTable()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({QStringLiteral("Exit")}, {});
        QVERIFY(writeBytes(folder.file(QStringLiteral("messages_xx.txt")), QByteArray()));
        messageCount = 5;
        currentLanguage = 1;
        QVERIFY(loadMessageTable());
        QCOMPARE(messageCount, 0);
        QCOMPARE(readBytes(folder.testLog()), expectedLog({QStringLiteral("Exit")}));
    }

    void atMost999Entries()
    {
        QString body;
        for (int i = 0; i < 1200; ++i)
            body += QStringLiteral("key%1; text%1\r\n").arg(i);
        LanguageFolder folder;
        folder.loadTwoLanguages({}, body);
        currentLanguage = 1;
        QVERIFY(loadMessageTable());

        QCOMPARE(messageCount, kMessageTableSize);
        QCOMPARE(translate(QStringLiteral("key0")), QStringLiteral("text0"));
        QCOMPARE(translate(QStringLiteral("key998")), QStringLiteral("text998"));
        QCOMPARE(translate(QStringLiteral("key999")), QStringLiteral("key999"));
        QCOMPARE(translate(QStringLiteral("key1199")), QStringLiteral("key1199"));
        QCOMPARE(readBytes(folder.testLog()), expectedLog({QStringLiteral("key999"), QStringLiteral("key1199")}));
    }

    void languageZeroReturnsKeysAndLogsNothing()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({QStringLiteral("Exit"), QStringLiteral("Help")}, QStringLiteral("Exit; Konec\r\n"));
        currentLanguage = 1;
        QVERIFY(loadMessageTable());
        QCOMPARE(translate(QStringLiteral("Exit")), QStringLiteral("Konec"));

        // A log of English left from an older run goes with the next load.
        const QString englishLog = folder.file(QStringLiteral("messages_uk.txt.todo"));
        QVERIFY(writeBytes(englishLog, expectedLog({QStringLiteral("Exit")})));
        currentLanguage = 0;
        QVERIFY(loadMessageTable());  // reads the master as its own file
        QVERIFY(!QFile::exists(englishLog));
        QCOMPARE(translate(QStringLiteral("Exit")), QStringLiteral("Exit"));
        QCOMPARE(translate(QStringLiteral("Missing")), QStringLiteral("Missing"));
        QVERIFY(!QFile::exists(englishLog));
    }

    void logRebuiltFromTheMaster()
    {
        LanguageFolder folder;
        // Keys padded with blanks are trimmed; an empty line is no key.
        folder.loadTwoLanguages({QStringLiteral("Application"), QStringLiteral("  Exit "), QStringLiteral(""),
                                 QStringLiteral("Help"), QStringLiteral("About")},
                                QStringLiteral("Help; Hilfe\r\n"));
        currentLanguage = 1;
        QVERIFY(loadMessageTable());
        const QByteArray rebuilt = expectedLog({QStringLiteral("Application"), QStringLiteral("Exit"),
                                                QStringLiteral("About")});
        QCOMPARE(readBytes(folder.testLog()), rebuilt);

        // Every failed lookup appends again, the mark stays single.
        for (int i = 0; i < 3; ++i)
            QCOMPARE(translate(QStringLiteral("Exit")), QStringLiteral("Exit"));
        QCOMPARE(readBytes(folder.testLog()),
                 rebuilt + utf16le(QStringLiteral("Exit;\t\nExit;\t\nExit;\t\n")));
        QCOMPARE(readBytes(folder.testLog()).count(bom()), 1);

        // The key is logged as asked, not lower-cased.
        translate(QStringLiteral("Read CONFIGURATION"));
        QVERIFY(readBytes(folder.testLog()).endsWith(utf16le(QStringLiteral("Read CONFIGURATION;\t\n"))));

        // A load starts the log afresh.
        QVERIFY(loadMessageTable());
        QCOMPARE(readBytes(folder.testLog()), rebuilt);
    }

    void logCreatedByTheFirstMiss()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({QStringLiteral("Help")}, QStringLiteral("Help; Hilfe\r\n"));
        currentLanguage = 1;
        QVERIFY(loadMessageTable());
        QVERIFY(!QFile::exists(folder.testLog()));
        translate(QStringLiteral("Exit"));
        translate(QStringLiteral("Exit"));
        QCOMPARE(readBytes(folder.testLog()), expectedLog({QStringLiteral("Exit"), QStringLiteral("Exit")}));
    }

    void missingMessageFileKeepsTheTable()
    {
        LanguageFolder folder;
        folder.writeCatalogue("[Main]\nTotal=3\n[Files]\n0=messages_uk.txt\n1=messages_xx.txt\n2=messages_none.txt\n");
        writeMasterFile(folder.file(QStringLiteral("messages_uk.txt")), {QStringLiteral("Exit"), QStringLiteral("Help")});
        writeMessageFile(folder.file(QStringLiteral("messages_xx.txt")), QStringLiteral("Exit; Konec\r\n"));
        loadLanguageCatalogueFrom(folder.path());
        currentLanguage = 1;
        QVERIFY(loadMessageTable());
        const QByteArray oldLog = readBytes(folder.testLog());

        currentLanguage = 2;
        QVERIFY(!loadMessageTable());
        QCOMPARE(messageCount, 1);
        QCOMPARE(translate(QStringLiteral("Exit")), QStringLiteral("Konec"));
        QCOMPARE(translate(QStringLiteral("Help")), QStringLiteral("Help"));
        QCOMPARE(readBytes(folder.file(QStringLiteral("messages_none.txt.todo"))), expectedLog({QStringLiteral("Help")}));
        QCOMPARE(readBytes(folder.testLog()), oldLog);
    }

    void missingMasterLeavesNoLog()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({QStringLiteral("Exit")}, QStringLiteral("Exit; Konec\r\n"));
        writeBytes(folder.testLog(), bom() + utf16le(QStringLiteral("old;\t\n")));
        QVERIFY(QFile::remove(folder.file(QStringLiteral("messages_uk.txt"))));
        currentLanguage = 1;
        QVERIFY(!loadMessageTable());
        QCOMPARE(messageCount, 1);
        QCOMPARE(translate(QStringLiteral("Exit")), QStringLiteral("Konec"));
        QVERIFY(!QFile::exists(folder.testLog()));
    }

    void languageOutsideTheCatalogue_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("above") << 7;
        QTest::newRow("just above") << 2;
        QTest::newRow("negative") << -1;
    }

    void languageOutsideTheCatalogue()
    {
        QFETCH(int, language);
        LanguageFolder folder;
        QTemporaryDir work;
        const QString before = QDir::currentPath();
        QVERIFY(QDir::setCurrent(work.path()));

        folder.loadTwoLanguages({QStringLiteral("Exit")}, QStringLiteral("Exit; Konec\r\n"));
        currentLanguage = 1;
        QVERIFY(loadMessageTable());

        currentLanguage = language;
        QVERIFY(!loadMessageTable());
        QCOMPARE(translate(QStringLiteral("Exit")), QStringLiteral("Exit"));
        QCOMPARE(translate(QStringLiteral("Missing")), QStringLiteral("Missing"));
        QCOMPARE(translateWithEllipsis(QStringLiteral("About")), QStringLiteral("About..."));
        QCOMPARE(currentCharset(), 1);
        QCOMPARE(currentLanguage, language);

        QCOMPARE(QDir(work.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
        QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*.todo")}, QDir::Files | QDir::Hidden), QStringList());
        QVERIFY(QDir::setCurrent(before));
    }

    void variants()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({}, QStringLiteral("About; O programu\r\nZero error is; Chyba nuly\r\n"));
        QCOMPARE(translateWithEllipsis(QStringLiteral("About")), QStringLiteral("About..."));
        QCOMPARE(translateWithColon(QStringLiteral("Zero error is")), QStringLiteral("Zero error is: "));

        currentLanguage = 1;
        QVERIFY(loadMessageTable());
        QCOMPARE(translateWithEllipsis(QStringLiteral("About")), QStringLiteral("O programu..."));
        QCOMPARE(translateWithColon(QStringLiteral("Zero error is")), QStringLiteral("Chyba nuly: "));
        QCOMPARE(translateWithEllipsis(QStringLiteral("Help")), QStringLiteral("Help..."));
        QCOMPARE(readBytes(folder.testLog()), expectedLog({QStringLiteral("Help")}));
    }

    void format_data()
    {
        QTest::addColumn<QString>("translation");  // empty: language 0
        QTest::addColumn<int>("number");
        QTest::addColumn<QString>("expected");

        QTest::newRow("English") << "" << 1234 << "Serial number is 1234";
        QTest::newRow("English negative") << "" << -7 << "Serial number is -7";
        QTest::newRow("translated") << "Výrobní číslo je %i" << 1234 << "Výrobní číslo je 1234";
        QTest::newRow("%d with width") << "Nummer %05d" << 42 << "Nummer 00042";
        QTest::newRow("left aligned") << "[%-4i]" << 42 << "[42  ]";
        QTest::newRow("hex") << "0x%X" << 255 << "0xFF";
        QTest::newRow("long modifier") << "%ld" << 9 << "9";
        QTest::newRow("percent sign") << "100%% = %i" << 5 << "100% = 5";
        QTest::newRow("text placeholder left alone") << "%s is %i" << 5 << "%s is 5";
        QTest::newRow("second integer left alone") << "%i and %i" << 5 << "5 and %i";
        QTest::newRow("huge width left alone") << "%123456789i" << 5 << "%123456789i";
        QTest::newRow("no placeholder") << "Seriennummer" << 5 << "Seriennummer";
        QTest::newRow("trailing percent") << "%i%" << 5 << "5%";
    }

    void format()
    {
        QFETCH(QString, translation);
        QFETCH(int, number);
        QFETCH(QString, expected);

        LanguageFolder folder;
        folder.loadTwoLanguages({}, QStringLiteral("Serial number is %i; ") + translation + QStringLiteral("\r\n"));
        if (!translation.isEmpty()) {
            currentLanguage = 1;
            QVERIFY(loadMessageTable());
        }
        QCOMPARE(translateFormat(QStringLiteral("Serial number is %i"), number), expected);
    }
};

QTEST_GUILESS_MAIN(TestLangMessages)
#include "tst_lang_messages.moc"

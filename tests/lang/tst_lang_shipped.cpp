// The translations shipped in language/: every key the tool asks for is in
// the master file and translated in every language.
#include "LangTestFiles.h"

#include <QDir>
#include <QRegularExpression>
#include <QTest>

using namespace langtest;

namespace {

// The English texts the tool shows through the lookup.
const QStringList &toolKeys()
{
    static const QStringList keys = {
        // window captions and mode lists
        "QZ5801 User Software", "Application", "Read configuration from disk", "Write configuration to disk",
        "Exit", "Settings", "Language selection", "Help", "About", "Units of length", "Pressure units",
        "Actual value", "Output", "Higher value", "Lower value", "Configuration", "Pressure",
        "Height of the liquid column", "Nominal range", "Specific gravity", "Zero correction",
        "Read configuration", "Write configuration", "Off", "Compression", "Extraction", "Correct value",
        "Error value",
        // About window
        "Version",
        "Distributed under the GNU GPL, version 3 or later, as Qt Charts requires. Own source code under the MIT "
        "licence.",
        "Own source code under the MIT licence.",
        "Built with",
        // messages
        "The device does not reply", "The device is not connected", "Error", "Message", "Info",
        "Error in values of pressure", "Error writing configuration", "Configuration successfully written",
        "Specific gravity out of range", "Error reading configuration", "Configuration successfully read",
        "The value is out of range", "Value is less than the lower value",
        "Value is greater than the higher value", "Not valid real number", "Invalid real number",
        "Cannot open file", "Set the zero pressure and press OK", "Would you like to fix this error?",
        "Zero error is", "Correction successfully implemented", "Error zero correction",
        "Serial number is %i", "Device not reply",
        // connection state, accessible names, the zero correction's buttons
        "Transmitter connected", "Transmitter not connected", "Transmitter not accessible",
        "Transmitter not answering", "Connection", "Output %i: on", "Output %i: off", "Output %i lower value",
        "Output %i higher value", "Output %i configuration", "Poll in progress", "Status", "Yes", "No",
        // compare
        "Compare file with transmitter", "File", "Setting", "Transmitter", "Different", "Close",
        // trend and recording
        "Trend", "Span", "1 minute", "10 minutes", "1 hour", "Everything", "Pause", "Record", "Stop",
        "Save image", "Minimum", "Maximum", "Mean", "Not recording", "Recording", "Recorded",
        "%i line|%i lines", "Recording stopped, file cannot be written", "All files",
        "The trend cannot be opened", "Resume", "Switch on Actual value to see the trend",
        "dashed", "dash-dot", "Live", "Export", "Span shown", "File cannot be written",
        "Cursor", "no value", "Legend", "Output states",
        // the trend's Y range
        "Y axis", "Automatic", "Y axis automatic", "From", "To", "Y axis from", "Y axis to",
        "From must be less than To",
        // the write journal
        "Not journaled",
        // publishing to MQTT
        "Publish to MQTT", "MQTT: connected", "MQTT: not connected", "Broker", "Topic prefix", "User", "Password",
        "Cancel", "The broker address is not valid", "Leave the password out of the broker address",
        "The topic prefix is not valid", "Events not published: %i",
        "Publishing starts when Device Info has read the serial number",
        // verification run and its certificate
        "Verification",
        "Verification certificate",
        "Certificate number",
        "Page %1 of %2",
        "End of certificate",
        "Model",
        "Serial number",
        "Tag",
        "Customer and place",
        "Customer",
        "Station",
        "Started",
        "Finished",
        "Procedure",
        "Test points (% of the nominal range)",
        "Readings averaged per point",
        "Tolerance",
        "of the nominal range",
        "Unit",
        "Reference standard",
        "Name",
        "Due date",
        "The reference standard is past its due date: the run was still allowed.",
        "Expanded uncertainty (k = 2)",
        "not stated",
        "Ambient conditions",
        "Temperature",
        "Humidity",
        "Results as found",
        "Results as left",
        "Point",
        "Nominal",
        "Reference",
        "Reading",
        "Result",
        "Pass",
        "Fail",
        "conclusive",
        "inconclusive",
        "Adjustment",
        "zero offset",
        "No adjustment",
        "Switch points",
        "Mode",
        "Direction",
        "Rising",
        "Falling",
        "Switching value",
        "Deviation",
        "Error against test point",
        "as found",
        "as left",
        "Tolerance band",
        "Conformity statement",
        "The run did not finish",
        "No conformity is stated.",
        "The transmitter conforms to the tolerance at every test point.",
        "The transmitter does not conform to the tolerance.",
        "Some results are inconclusive: the uncertainty reaches across the tolerance limit.",
        "Decision rule: a point passes when |error| ≤ tolerance. With an expanded uncertainty U, a pass is conclusive when |error| + U ≤ tolerance and a fail when |error| − U > tolerance, otherwise the result is inconclusive.",
        "Performed by",
        "Operator",
        "Signature",
        "The signature confirms that the person named performed the verification as recorded here.",
        "SHA-256 of the run's data as stored in the journal",
        "Plan",
        "Run",
        "Load plan",
        "Save plan",
        "Start",
        "As left",
        "Finish",
        "Press when the output switches",
        "Results",
        "Tolerance (0.5% of the range, or a value in the unit)",
        "Expanded uncertainty (k = 2), in the unit",
        "Standard's serial number",
        "Standard's certificate number",
        "Due date (YYYY-MM-DD)",
        "Reference reading",
        "The serial number is not known yet: read it with Device Info, then start again.",
        "Taking readings",
        "Apply the pressure, enter the reference reading and press Enter (Enter alone takes the nominal value).",
        "%i point fails|%i points fail",
        "Adjust with the zero correction and take the points as left, take switch points, or finish.",
        "Ramp the pressure slowly and press 1, 2 or 3 when that output switches.",
        "Save certificate",
        "The run is journaled.",
        "Certificate saved",
        "Enter the plan and press Start.",
        "No reading",
        "A reading is not a number",
        "The reference is not a number",
        "The tolerance is not a positive number",
        "The uncertainty is not a number from 0",
        "The due date is not a date (YYYY-MM-DD)",
        "The transmitter stopped answering",
        "The operator stopped the run",
        "The reference reading is not a number",
        "A plan has 2 to 50 test points",
        "A test point lies outside -100 to 200 % of the range",
        "Readings per point are 1 to 100",
        "The file is not a verification plan"
    ,
        // a stale value, the compare's last column, a Y range too large
        "Last value since", "Difference", "Value too large",
        // the trend's span after zooming, a span past the history
        "Custom", "No values in this span"};
    return keys;
}

QStringList masterKeys(const QByteArray &master)
{
    // Key, ";", tab, CR, LF per line.
    QString text;
    for (qsizetype i = 2; i + 1 < master.size(); i += 2)
        text += QChar(char16_t(uchar(master[i]) | (uchar(master[i + 1]) << 8)));
    QStringList keys = text.split(QStringLiteral(";\t\r\n"));
    if (!keys.isEmpty() && keys.last().isEmpty())
        keys.removeLast();
    return keys;
}

} // namespace

class TestLangShipped : public QObject
{
    Q_OBJECT

private:
    LanguageFolder folder;

private slots:
    void initTestCase()
    {
        QVERIFY(folder.dir.isValid());
        const QDir source(QStringLiteral(QZ_LANGUAGE_SOURCE_DIR));
        const QStringList files = source.entryList({QStringLiteral("messages*")}, QDir::Files);
        QVERIFY(files.contains(QStringLiteral("messages.ini")));
        for (const QString &name : files)
            QVERIFY(QFile::copy(source.filePath(name), folder.file(name)));
    }

    void init() { resetLanguageState(); }

    void catalogue()
    {
        loadLanguageCatalogueFrom(folder.path());
        QCOMPARE(languageCount, 3);
        QCOMPARE(languageNames[0], QStringLiteral("English"));
        QCOMPARE(languageNames[1], QStringLiteral("Čeština"));
        QCOMPARE(languageNames[2], QStringLiteral("Deutsch"));
        QCOMPARE(languageCharsets[1] & 0xFF, 238);
        QCOMPARE(languageShorts[2], QStringLiteral("DE"));
        for (int i = 0; i < languageCount; ++i)
            QVERIFY2(QFile::exists(languageFiles[i]), qPrintable(languageFiles[i]));
    }

    void masterListsEveryKeyOnce()
    {
        const QByteArray master = readBytes(folder.file(QStringLiteral("messages_uk.txt")));
        QVERIFY(master.startsWith(bom()));
        const QStringList keys = masterKeys(master);
        QCOMPARE(keys.size(), toolKeys().size());
        QCOMPARE(QSet<QString>(keys.begin(), keys.end()), QSet<QString>(toolKeys().begin(), toolKeys().end()));
        for (const QString &key : keys)
            QVERIFY2(!key.contains(u'\n') && !key.contains(u'\r') && key.trimmed() == key, qPrintable(key));
    }

    void everyLanguageComplete_data()
    {
        QTest::addColumn<int>("language");
        QTest::newRow("English") << 0;
        QTest::newRow("Czech") << 1;
        QTest::newRow("German") << 2;
    }

    void everyLanguageComplete()
    {
        QFETCH(int, language);
        loadLanguageCatalogueFrom(folder.path());
        currentLanguage = language;
        QVERIFY(loadMessageTable());

        const QString log = languageFiles[language] + QStringLiteral(".todo");
        QVERIFY2(!QFile::exists(log) || readBytes(log) == bom(), qPrintable(QString::fromUtf8(readBytes(log).toHex())));
        if (language != 0)
            QCOMPARE(messageCount, toolKeys().size());

        for (const QString &key : toolKeys()) {
            const QString text = translate(key);
            QVERIFY2(!text.isEmpty(), qPrintable(key));
            QVERIFY2(!text.contains(u'\t') && !text.contains(u'\r'), qPrintable(key));
            QVERIFY2(text == text.trimmed(), qPrintable(key));
        }
        QVERIFY(!QFile::exists(log) || readBytes(log) == bom());

        static const QRegularExpression conversion(QStringLiteral("%[^%]"));
        const QString serial = translate(QStringLiteral("Serial number is %i"));
        QCOMPARE(serial.count(QStringLiteral("%i")), 1);
        QCOMPARE(int(serial.count(conversion)), 1);
        QVERIFY(translateFormat(QStringLiteral("Serial number is %i"), 4711).contains(QStringLiteral("4711")));
        if (language != 0)
            QVERIFY(translate(QStringLiteral("Output")) != QStringLiteral("Output"));
    }

    void pluralsInEveryLanguage_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QStringList>("lines"); // 1, 2, 5, 0 lines
        QTest::newRow("English") << 0 << QStringList{"1 line", "2 lines", "5 lines", "0 lines"};
        QTest::newRow("Czech") << 1 << QStringList{"1 řádek", "2 řádky", "5 řádků", "0 řádků"};
        QTest::newRow("German") << 2 << QStringList{"1 Zeile", "2 Zeilen", "5 Zeilen", "0 Zeilen"};
    }
    void pluralsInEveryLanguage()
    {
        QFETCH(int, language);
        QFETCH(QStringList, lines);
        loadLanguageCatalogueFrom(folder.path());
        currentLanguage = language;
        QVERIFY(loadMessageTable());
        QStringList shown;
        for (int n : {1, 2, 5, 0})
            shown << translatePlural(QStringLiteral("%i line|%i lines"), n);
        QCOMPARE(shown, lines);
    }
};

QTEST_GUILESS_MAIN(TestLangShipped)
#include "tst_lang_shipped.moc"

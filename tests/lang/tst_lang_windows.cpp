// Translating the main and About windows, on stand-ins built with the
// controls' object names.
#include "LangTestFiles.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTest>

#include <type_traits>

using namespace langtest;

namespace {

template <typename T>
T *make(QWidget *parent, const char *name, const QString &text = QStringLiteral("placeholder"))
{
    auto *widget = new T(parent);
    widget->setObjectName(QString::fromLatin1(name));
    if constexpr (std::is_same_v<T, QGroupBox>)
        widget->setTitle(text);
    else if constexpr (!std::is_same_v<T, QComboBox>)
        widget->setText(text);
    return widget;
}

// The main window's controls as the shell's form names them.
struct FakeMainWindow
{
    QMainWindow window;
    QLabel *status = nullptr;

    FakeMainWindow()
    {
        auto *menuApplication = window.menuBar()->addMenu(QStringLiteral("Aplikace"));
        menuApplication->setObjectName(QStringLiteral("menuApplication"));
        auto *menuSettings = window.menuBar()->addMenu(QStringLiteral("Nastaveni"));
        menuSettings->setObjectName(QStringLiteral("menuSettings"));
        auto *menuHelp = window.menuBar()->addMenu(QStringLiteral("Napoveda"));
        menuHelp->setObjectName(QStringLiteral("menuHelp"));
        const auto action = [&](QMenu *menu, const char *name) {
            auto *a = new QAction(QStringLiteral("placeholder"), &window);
            a->setObjectName(QString::fromLatin1(name));
            menu->addAction(a);
        };
        action(menuApplication, "menuReadConfigurationFromDisk");
        action(menuApplication, "menuWriteconfigurationToDisk");
        action(menuApplication, "menuExit");
        action(menuSettings, "menuLanguageSelection");
        action(menuHelp, "menuAbout");

        auto *central = new QWidget(&window);
        window.setCentralWidget(central);
        make<QGroupBox>(central, "captionUnitsOfLength");
        make<QGroupBox>(central, "captionPressureUnits");
        make<QCheckBox>(central, "checkActualValue");
        for (const char *name : {"captionOutput1", "captionOutput2", "captionOutput3", "captionNominalRange",
                                 "captionSpecificGravity"})
            make<QLabel>(central, name);
        for (const char *name : {"captionHigherValue1", "captionHigherValue2", "captionHigherValue3",
                                 "captionLowerValue1", "captionLowerValue2", "captionLowerValue3"})
            make<QGroupBox>(central, name);
        for (int i = 1; i <= 3; ++i) {
            auto *box = make<QGroupBox>(central, qPrintable(QStringLiteral("captionConfiguraton%1").arg(i)));
            auto *combo = make<QComboBox>(box, qPrintable(QStringLiteral("comboBoxConfiguration%1").arg(i)));
            combo->addItems({QStringLiteral("Off"), QStringLiteral("Compression"), QStringLiteral("Extraction"),
                             QStringLiteral("Correct value"), QStringLiteral("Error value")});
            combo->setCurrentIndex(-1);
        }
        make<QRadioButton>(central, "checkPressure");
        make<QRadioButton>(central, "checkHeightLiquidColumn");
        make<QPushButton>(central, "buttonZeroCorrection");
        make<QPushButton>(central, "buttonreadConfiguration");
        make<QPushButton>(central, "buttonWriteConfiguration");
        make<QPushButton>(central, "BitBtnDeviceInfo", QStringLiteral("Device Info"));

        status = make<QLabel>(nullptr, "StatusBar1", QStringLiteral("Start..."));
        window.statusBar()->addPermanentWidget(status, 1);
    }

    QString caption(const char *name) const
    {
        const QString objectName = QString::fromLatin1(name);
        if (auto *menu = window.findChild<QMenu *>(objectName))
            return menu->title();
        if (auto *action = window.findChild<QAction *>(objectName))
            return action->text();
        if (auto *box = window.findChild<QGroupBox *>(objectName))
            return box->title();
        if (auto *button = window.findChild<QAbstractButton *>(objectName))
            return button->text();
        if (auto *label = window.findChild<QLabel *>(objectName))
            return label->text();
        return QStringLiteral("<no such control>");
    }

    QComboBox *combo(int i) const
    {
        return window.findChild<QComboBox *>(QStringLiteral("comboBoxConfiguration%1").arg(i));
    }

    QStringList items(int i) const
    {
        QStringList list;
        for (int row = 0; row < combo(i)->count(); ++row)
            list << combo(i)->itemText(row);
        return list;
    }
};

// English key, Czech text; "Higher value" and "Error value" left out.
const char *const kCzech = "QZ5801 User Software; Uživatelský software QZ5801\r\n"
                           "Application; Aplikace\r\nRead configuration from disk; Načíst ze souboru\r\n"
                           "Write configuration to disk; Uložit do souboru\r\nExit; Konec\r\n"
                           "Settings; Nastavení\r\nLanguage selection; Výběr jazyka\r\nHelp; Nápověda\r\n"
                           "About; O programu\r\nUnits of length; Jednotky délky\r\nPressure units; Jednotky tlaku\r\n"
                           "Actual value; Aktuální hodnota\r\nOutput; Výstup\r\nLower value; Dolní hodnota\r\n"
                           "Configuration; Konfigurace\r\nPressure; Tlak\r\n"
                           "Height of the liquid column; Výška sloupce kapaliny\r\nNominal range; Jmenovitý rozsah\r\n"
                           "Specific gravity; Hustota\r\nZero correction; Korekce nuly\r\n"
                           "Read configuration; Načíst konfiguraci\r\nWrite configuration; Zapsat konfiguraci\r\n"
                           "Off; Vypnuto\r\nCompression; Komprese\r\nExtraction; Odsávání\r\n"
                           "Correct value; Správná hodnota\r\nVersion; Verze\r\n";

// Every key the main window asks for.
QStringList windowKeys()
{
    QStringList keys;
    for (const QString &line : QString::fromUtf8(kCzech).split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
        keys << line.section(u';', 0, 0);
    return keys << QStringLiteral("Higher value") << QStringLiteral("Error value");
}

int logLines(const QByteArray &log, const QString &key)
{
    return int(log.count(utf16le(key + QStringLiteral(";\t\n"))));
}

} // namespace

class TestLangWindows : public QObject
{
    Q_OBJECT

private slots:
    void init() { resetLanguageState(); }

    void englishCaptions_data()
    {
        QTest::addColumn<QString>("control");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<bool>("withoutCatalogue");
        const QList<std::pair<const char *, const char *>> rows = {
            {"menuApplication", "Application"},
            {"menuReadConfigurationFromDisk", "Read configuration from disk..."},
            {"menuWriteconfigurationToDisk", "Write configuration to disk..."},
            {"menuExit", "Exit"},
            {"menuSettings", "Settings"},
            {"menuLanguageSelection", "Language selection..."},
            {"menuHelp", "Help"},
            {"menuAbout", "About..."},
            {"captionUnitsOfLength", "Units of length"},
            {"captionPressureUnits", "Pressure units"},
            {"checkActualValue", "Actual value"},
            {"captionOutput1", "Output 1"},
            {"captionOutput2", "Output 2"},
            {"captionOutput3", "Output 3"},
            {"captionHigherValue1", "Higher value"},
            {"captionHigherValue2", "Higher value"},
            {"captionHigherValue3", "Higher value"},
            {"captionLowerValue1", "Lower value"},
            {"captionLowerValue2", "Lower value"},
            {"captionLowerValue3", "Lower value"},
            {"captionConfiguraton1", "Configuration"},
            {"captionConfiguraton2", "Configuration"},
            {"captionConfiguraton3", "Configuration"},
            {"checkPressure", "Pressure"},
            {"checkHeightLiquidColumn", "Height of the liquid column"},
            {"captionNominalRange", "Nominal range"},
            {"captionSpecificGravity", "Specific gravity[kg/m^3]"},
            {"buttonZeroCorrection", "Zero correction"},
            {"buttonreadConfiguration", "Read configuration"},
            {"buttonWriteConfiguration", "Write configuration"},
            {"BitBtnDeviceInfo", "Device Info"},
        };
        for (const auto &[control, caption] : rows) {
            QTest::addRow("%s, English", control) << QString::fromLatin1(control) << QString::fromLatin1(caption)
                                                  << false;
            QTest::addRow("%s, no catalogue", control) << QString::fromLatin1(control) << QString::fromLatin1(caption)
                                                       << true;
        }
    }

    // English shows the keys. So does any language when "messages.ini" is
    // missing: every language then reads the master file, all of whose texts
    // are empty.
    void englishCaptions()
    {
        QFETCH(QString, control);
        QFETCH(QString, caption);
        QFETCH(bool, withoutCatalogue);
        LanguageFolder folder;
        if (withoutCatalogue) {
            QVERIFY(writeMasterFile(folder.file(QStringLiteral("messages_uk.txt")), windowKeys()));
            loadLanguageCatalogueFrom(folder.path());
            currentLanguage = 1;
        } else {
            folder.loadTwoLanguages({QStringLiteral("Exit")}, QString::fromUtf8(kCzech));
        }
        FakeMainWindow main;
        translateMainWindow(&main.window);

        QCOMPARE(main.caption(qPrintable(control)), caption);
        QCOMPARE(main.window.windowTitle(), QStringLiteral("QZ5801 User Software"));
        const QStringList modes = {QStringLiteral("Off"), QStringLiteral("Compression"), QStringLiteral("Extraction"),
                                   QStringLiteral("Correct value"), QStringLiteral("Error value")};
        for (int i = 1; i <= 3; ++i) {
            QCOMPARE(main.items(i), modes);
            QCOMPARE(main.combo(i)->currentIndex(), -1);
        }
        QCOMPARE(main.status->text(), QString());
        QCOMPARE(main.window.property("charset").toInt(), 1);
        QCOMPARE(QDir(folder.path()).entryList({QStringLiteral("*.todo")}, QDir::Files), QStringList());
    }

    void languageChange()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({QStringLiteral("Exit")}, QString::fromUtf8(kCzech));
        FakeMainWindow main;
        translateMainWindow(&main.window);

        main.combo(2)->setCurrentIndex(2);
        main.combo(3)->setCurrentIndex(4);
        main.status->setText(QStringLiteral("The device is not connected"));
        QSignalSpy changed(main.combo(2), &QComboBox::currentIndexChanged);

        currentLanguage = 1;
        translateMainWindow(&main.window);

        QCOMPARE(main.window.windowTitle(), QStringLiteral("Uživatelský software QZ5801"));
        QCOMPARE(main.caption("menuAbout"), QStringLiteral("O programu..."));
        QCOMPARE(main.caption("menuApplication"), QStringLiteral("Aplikace"));
        QCOMPARE(main.caption("captionOutput2"), QStringLiteral("Výstup 2"));
        QCOMPARE(main.caption("captionSpecificGravity"), QStringLiteral("Hustota[kg/m^3]"));
        QCOMPARE(main.caption("captionHigherValue1"), QStringLiteral("Higher value"));
        QCOMPARE(main.caption("BitBtnDeviceInfo"), QStringLiteral("Device Info"));
        QCOMPARE(main.items(2), (QStringList{QStringLiteral("Vypnuto"), QStringLiteral("Komprese"),
                                             QStringLiteral("Odsávání"), QStringLiteral("Správná hodnota"),
                                             QStringLiteral("Error value")}));
        QCOMPARE(main.combo(1)->currentIndex(), -1);
        QCOMPARE(main.combo(2)->currentIndex(), 2);
        QCOMPARE(main.combo(2)->currentText(), QStringLiteral("Odsávání"));
        QCOMPARE(main.combo(3)->currentIndex(), 4);
        QCOMPARE(changed.count(), 0);
        QCOMPARE(main.status->text(), QString());
        QCOMPARE(main.window.property("charset").toInt(), 238);

        // One lookup per row: three boxes, three misses; one per mode list.
        const QByteArray log = readBytes(folder.testLog());
        QVERIFY(log.startsWith(bom()));
        QCOMPARE(logLines(log, QStringLiteral("Higher value")), 3);
        QCOMPARE(logLines(log, QStringLiteral("Error value")), 3);
        QCOMPARE(logLines(log, QStringLiteral("Exit")), 0);

        // Back to English: a fresh load, no log for English.
        currentLanguage = 0;
        translateMainWindow(&main.window);
        QCOMPARE(main.caption("menuAbout"), QStringLiteral("About..."));
        QCOMPARE(main.combo(2)->currentText(), QStringLiteral("Extraction"));
        QCOMPARE(main.window.property("charset").toInt(), 1);
    }

    // A translator's empty entry is an empty caption, not the English key,
    // and the key is not missing: the log does not name it.
    void emptyEntryGivesAnEmptyCaption()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({QStringLiteral("Exit"), QStringLiteral("Zero correction")},
                                QStringLiteral("Zero correction;\t\r\n") + QString::fromUtf8(kCzech));
        currentLanguage = 1;
        FakeMainWindow main;
        translateMainWindow(&main.window);
        QCOMPARE(main.caption("buttonZeroCorrection"), QString());
        QCOMPARE(main.caption("menuExit"), QStringLiteral("Konec"));
        QCOMPARE(logLines(readBytes(folder.testLog()), QStringLiteral("Zero correction")), 0);
    }

    void windowWithoutControls()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({}, QString::fromUtf8(kCzech));
        currentLanguage = 1;
        QWidget bare;
        translateMainWindow(&bare);
        QCOMPARE(bare.windowTitle(), QStringLiteral("Uživatelský software QZ5801"));
        translateMainWindow(nullptr);
        translateAboutWindow(nullptr, QStringLiteral("1.0.0"));
    }

    void aboutWindow_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("version");
        QTest::newRow("English") << 0 << "About..." << "QZ5801 User Software" << "Version 17.0.0";
        QTest::newRow("Czech") << 1 << "O programu..." << "Uživatelský software QZ5801" << "Verze 17.0.0";
    }

    void aboutWindow()
    {
        QFETCH(int, language);
        QFETCH(QString, title);
        QFETCH(QString, caption);
        QFETCH(QString, version);
        LanguageFolder folder;
        folder.loadTwoLanguages({}, QString::fromUtf8(kCzech));
        currentLanguage = language;

        QWidget about;
        auto *caption1 = make<QLabel>(&about, "caption1");
        auto *versionLabel = make<QLabel>(&about, "version");
        auto *ok = make<QPushButton>(&about, "BitBtn1", QStringLiteral("OK"));
        translateAboutWindow(&about, QStringLiteral("17.0.0"));

        QCOMPARE(about.windowTitle(), title);
        QCOMPARE(caption1->text(), caption);
        QCOMPARE(versionLabel->text(), version);
        QCOMPARE(ok->text(), QStringLiteral("OK"));
        QCOMPARE(about.property("charset").toInt(), language == 1 ? 238 : 1);
    }

    void aboutWindowWithoutVersion()
    {
        LanguageFolder folder;
        folder.loadTwoLanguages({}, QString::fromUtf8(kCzech));
        QWidget about;
        auto *versionLabel = make<QLabel>(&about, "version");
        translateAboutWindow(&about, QString());
        QCOMPARE(versionLabel->text(), QStringLiteral("Version "));
    }
};

QTEST_MAIN(TestLangWindows)
#include "tst_lang_windows.moc"

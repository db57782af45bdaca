// Start-up of the main window in the language of the settings file, the
// values it starts with, the language menu, and the About window. The test
// runs from a folder of its own, whose language/ folder it fills.
#include "ShellTestSupport.h"

#include "Lang.h"
#include "Main.h"
#include "Oprog.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <stdexcept>

using namespace shelltest;

namespace {

QByteArray utf16le(const QString &text)
{
    QByteArray bytes;
    for (QChar c : text) {
        bytes.append(char(c.unicode() & 0xFF));
        bytes.append(char(c.unicode() >> 8));
    }
    return bytes;
}

const QString kTitle = QStringLiteral("QZ Prüfprogramm");
const QString kLongActualValue = QStringLiteral("Gemessener Istwert des Geräts");

} // namespace

class ShellStartupTest : public QObject {
    Q_OBJECT

    QString languageFolder;

    void writeLanguageFolder()
    {
        languageFolder = QCoreApplication::applicationDirPath() + QStringLiteral("/language");
        QDir(languageFolder).removeRecursively();
        QVERIFY(writeBytes(languageFolder + QStringLiteral("/messages.ini"),
                           "[Main]\nTotal=2\n[Names]\n0=English\n1=Testish\n[Charsets]\n0=1\n1=238\n"
                           "[Files]\n0=messages_uk.txt\n1=messages_xx.txt\n"));
        const QString bom(QChar(0xFEFF));
        QVERIFY(writeBytes(languageFolder + QStringLiteral("/messages_xx.txt"),
                           utf16le(bom + QStringLiteral("QZ5801 User Software; ") + kTitle
                                   + QStringLiteral("\r\nOutput; Ausgang\r\nAbout; Über\r\nVersion; Fassung\r\n"
                                                    "Actual value; ")
                                   + kLongActualValue + QStringLiteral("\r\nOff; Aus\r\nExtraction; Absaugen\r\n"))));
        QVERIFY(writeBytes(languageFolder + QStringLiteral("/messages_uk.txt"),
                           utf16le(bom + QStringLiteral("Output;\t\r\nAbout;\t\r\n"))));
    }

    std::unique_ptr<TMainF> startWith(ConfigHome &home, const QByteArray &settings)
    {
        if (!settings.isNull())
            writeBytes(home.settingsFile(), settings);
        currentLanguage = -1;
        return std::make_unique<TMainF>();
    }

private slots:
    void initTestCase() { writeLanguageFolder(); }
    void cleanupTestCase() { QDir(languageFolder).removeRecursively(); }

    // The settings are read before the catalogue, and both before the window
    // is translated: only then does it open in the stored language.
    void opensInStoredLanguage_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<int>("language");
        QTest::newRow("no settings file") << QByteArray() << 0;
        QTest::newRow("Language=1") << QByteArray("[Options]\nLanguage=1\n") << 1;
        QTest::newRow("LANGUAGE=0x1") << QByteArray("[OPTIONS]\nLANGUAGE=0x1\n") << 1;
        QTest::newRow("Language=0") << QByteArray("[Options]\nLanguage=0\n") << 0;
    }

    void opensInStoredLanguage()
    {
        QFETCH(QByteArray, settings);
        QFETCH(int, language);
        ConfigHome home;
        auto w = startWith(home, settings);
        QCOMPARE(currentLanguage, language);
        const bool translated = language == 1;
        QCOMPARE(w->windowTitle(), translated ? kTitle : QStringLiteral("QZ5801 User Software"));
        QCOMPARE(w->captionOutput2->text(), translated ? QStringLiteral("Ausgang 2") : QStringLiteral("Output 2"));
        QCOMPARE(w->comboBoxConfiguration1->itemText(0), translated ? QStringLiteral("Aus") : QStringLiteral("Off"));
        QCOMPARE(w->comboBoxConfiguration1->currentIndex(), -1);
        QCOMPARE(w->menuAbout->text(), translated ? QStringLiteral("Über...") : QStringLiteral("About..."));
        QCOMPARE(w->StatusBar1->text(), QString());
        // The poll's mark never lies on the caption of "Actual value".
        const int captionEnd =
            w->checkActualValue->x() + std::min(w->checkActualValue->sizeHint().width(), w->checkActualValue->width());
        QVERIFY(w->Hvezdicka->x() >= 424);
        // The long caption of language 1 pushes it right.
        QVERIFY(!translated || w->Hvezdicka->x() > 424);
        QVERIFY(w->Hvezdicka->x() >= captionEnd);
        QVERIFY(w->Hvezdicka->geometry().right() < w->Panel5->width());
    }

    void startValues()
    {
        ConfigHome home;
        auto w = startWith(home, "[Options]\nisPressure=1\nunitOfLength=2\nunitOfPressure=5\n");
        QCOMPARE(w->pressureDecimals, 3);
        QCOMPARE(w->pressureUnitFactor, 0.001f);
        QCOMPARE(w->nominalRange, 100000.0f);
        QCOMPARE(w->limitLowerBound, -100000.0f);
        QCOMPARE(w->limitUpperBound, 100000.0f);
        QCOMPARE(w->referenceSpecificGravity, 1000.0f);
        QCOMPARE(w->specificGravity, 1000.0f);
        QCOMPARE(w->lengthDecimals, 0);
        QCOMPARE(w->lengthUnitFactor, float(1000.0 / 1000.0 / 9.81));
        QCOMPARE(w->decimals, 3);
        QCOMPARE(w->unitFactor, 0.001f);
        QVERIFY(!w->polling);
        QVERIFY(!w->quiet);
        QVERIFY(w->fileIsPressure);
        QVERIFY(!w->operationPending);
        QCOMPARE(w->pendingOperation, 0);
        QCOMPARE(w->outputState, uint8_t(0));
        QCOMPARE(w->memoryImage.size(), std::size_t(65535));
        QVERIFY(std::all_of(w->memoryImage.begin(), w->memoryImage.end(), [](uint8_t b) { return b == 0; }));
        // The stored choices are held, not applied.
        QVERIFY(w->isPressure);
        QCOMPARE(w->unitOfLength, 2);
        QCOMPARE(w->unitOfPressure, 5);
        QVERIFY(w->RadioButton2->isChecked());
        QVERIFY(w->Butmm->isChecked());
        QVERIFY(w->unitText.isEmpty());

        // The creation handler sets its numbers whatever they held, and reads
        // the length factor's gravity from the text of Ro.
        w->pressureDecimals = 7;
        w->unitFactor = 5;
        w->decimals = 0;
        w->polling = w->quiet = true;
        w->fileIsPressure = false;
        w->nominalRange = 1;
        w->Ro->setText(QStringLiteral("500"));
        w->CmCreate();
        QCOMPARE(w->pressureDecimals, 3);
        QCOMPARE(w->unitFactor, 0.001f);
        QCOMPARE(w->decimals, 3);
        QVERIFY(!w->polling && !w->quiet);
        QVERIFY(w->fileIsPressure);
        QCOMPARE(w->nominalRange, 100000.0f);
        QCOMPARE(w->limitLowerBound, -100000.0f);
        QCOMPARE(w->lengthUnitFactor, float(1000.0 / 500.0 / 9.81));

        w->Ro->setText(QStringLiteral("abc"));
        QVERIFY_THROWS_EXCEPTION(std::invalid_argument, w->CmCreate());
    }

    void languageMenu_data()
    {
        QTest::addColumn<int>("pick");
        QTest::addColumn<int>("result");
        QTest::addColumn<int>("language");
        QTest::newRow("Ok on language 1") << 1 << int(QDialog::Accepted) << 1;
        QTest::newRow("Ok without a change") << 0 << int(QDialog::Accepted) << 0;
        QTest::newRow("Cancel after picking 1") << 1 << int(QDialog::Rejected) << 0;
    }

    void languageMenu()
    {
        QFETCH(int, pick);
        QFETCH(int, result);
        QFETCH(int, language);
        ConfigHome home;
        auto w = startWith(home, QByteArray());
        w->comboBoxConfiguration3->setCurrentIndex(2);
        w->StatusBar1->setText(QStringLiteral("The device is not connected"));
        setLanguageDialogRunner([&](QDialog &dialog) {
            const QList<QRadioButton *> radios = dialog.findChildren<QRadioButton *>();
            if (pick < radios.size())
                radios[pick]->setChecked(true);
            return result;
        });
        w->menuLanguageSelection->trigger();
        setLanguageDialogRunner({});
        QCOMPARE(currentLanguage, language);
        const bool retranslated = result == QDialog::Accepted;
        QCOMPARE(w->windowTitle(), language == 1 ? kTitle : QStringLiteral("QZ5801 User Software"));
        QCOMPARE(w->comboBoxConfiguration3->currentIndex(), 2);
        QCOMPARE(w->comboBoxConfiguration3->currentText(),
                 language == 1 ? QStringLiteral("Absaugen") : QStringLiteral("Extraction"));
        // A confirmed choice retranslates, which clears the status text.
        QCOMPARE(w->StatusBar1->text(), retranslated ? QString() : QStringLiteral("The device is not connected"));
        const int captionEnd =
            w->checkActualValue->x() + std::min(w->checkActualValue->sizeHint().width(), w->checkActualValue->width());
        QVERIFY(w->Hvezdicka->x() >= captionEnd);
        // The choice reaches the file only when the window closes.
        QVERIFY(!QFileInfo::exists(home.settingsFile()));
        w->close();
        QVERIFY(readBytes(home.settingsFile()).contains("Language=" + QByteArray::number(language) + "\n"));
    }

    void aboutWindow_data()
    {
        QTest::addColumn<QByteArray>("settings");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("product");
        QTest::addColumn<QString>("versionWord");
        QTest::newRow("English") << QByteArray() << "About..." << "QZ5801 User Software" << "Version";
        QTest::newRow("language 1") << QByteArray("[Options]\nLanguage=1\n") << "Über..." << kTitle << "Fassung";
    }

    void aboutWindow()
    {
        QFETCH(QByteArray, settings);
        QFETCH(QString, title);
        QFETCH(QString, product);
        QFETCH(QString, versionWord);
        ConfigHome home;
        auto w = startWith(home, settings);
        auto *about = new TOProgramu(w.get());
        QVERIFY(!about->isVisible());
        QCOMPARE(about->windowTitle(), title);
        QCOMPARE(about->caption1->text(), product);
        QCOMPARE(about->version->text(), versionWord + QStringLiteral(" " QZ_PROJECT_VERSION));
        QCOMPARE(fileVersionText(), QStringLiteral(QZ_PROJECT_VERSION));

        QCOMPARE(about->size(), QSize(345, 179));
        // The labels take their text's size by the time the window appears.
        about->show();
        QVERIFY(QTest::qWaitForWindowExposed(about));
        QCOMPARE(about->caption1->pos(), QPoint(23, 15));
        QCOMPARE(about->caption1->size(), about->caption1->sizeHint());
        QCOMPARE(about->version->pos(), QPoint(23, 44));
        QCOMPARE(about->version->size(), about->version->sizeHint());
        about->hide();
        QCOMPARE(about->BitBtn1->geometry(), QRect(247, 146, 90, 25));
        QCOMPARE(about->BitBtn1->text(), QStringLiteral("OK"));
        QVERIFY(about->BitBtn1->isDefault());
        QCOMPARE(about->caption1->font().pixelSize(), 16);
        QVERIFY(QFontInfo(about->caption1->font()).bold());
        QCOMPARE(about->version->font().pixelSize(), 11);
        QVERIFY(QFontInfo(about->version->font()).bold());
        QCOMPARE(about->BitBtn1->font().pixelSize(), 11);
        QVERIFY(QFontInfo(about->BitBtn1->font()).bold());
        QCOMPARE(about->palette().color(QPalette::Window), QColor(Qt::white));
        QVERIFY(about->autoFillBackground());
        QCOMPARE(about->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
        QVERIFY(!(about->windowFlags() & Qt::WindowCloseButtonHint));

        // A later change of language leaves the About window as it was made.
        currentLanguage = 1 - currentLanguage;
        w->translateMainWindow();
        QVERIFY(w->windowTitle() != (title == "About..." ? QStringLiteral("QZ5801 User Software") : kTitle));
        QCOMPARE(about->windowTitle(), title);
        QCOMPARE(about->caption1->text(), product);
        QCOMPARE(about->version->text(), versionWord + QStringLiteral(" " QZ_PROJECT_VERSION));
    }

    // Shown modally through the menu, closed by Enter, the same window every time.
    void aboutFromMenu()
    {
        ConfigHome home;
        auto w = startWith(home, QByteArray());
        w->aboutWindow = new TOProgramu(w.get());
        w->show();
        std::vector<QDialog *> shown;
        std::vector<int> results;
        DialogHooks hooks;
        hooks.execDialog = [&](QDialog &dialog) {
            shown.push_back(&dialog);
            QTimer::singleShot(0, &dialog, [&dialog] {
                QVERIFY(dialog.isModal());
                QTest::keyClick(&dialog, Qt::Key_Return);
            });
            const int result = dialog.exec();
            results.push_back(result);
            return result;
        };
        const DialogHooks before = setDialogHooks(hooks);
        w->menuAbout->trigger();
        w->menuAbout->trigger();
        setDialogHooks(before);
        QCOMPARE(shown.size(), std::size_t(2));
        QCOMPARE(shown[0], static_cast<QDialog *>(w->aboutWindow));
        QCOMPARE(shown[1], shown[0]);
        QCOMPARE(results, (std::vector<int>{QDialog::Accepted, QDialog::Accepted}));
        QVERIFY(!w->aboutWindow->isVisible());
        QCOMPARE(w->aboutWindow->windowTitle(), QStringLiteral("About..."));
    }

    void aboutOkButtonAccepts()
    {
        ConfigHome home;
        auto w = startWith(home, QByteArray());
        TOProgramu about(w.get());
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));
        QTest::mouseClick(about.BitBtn1, Qt::LeftButton);
        QVERIFY(!about.isVisible());
        QCOMPARE(about.result(), int(QDialog::Accepted));
    }
};

QZ_SHELL_TEST_MAIN(ShellStartupTest)
#include "tst_shell_startup.moc"

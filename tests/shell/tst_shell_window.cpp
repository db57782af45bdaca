// The main window as designed: controls, menu, frame, fonts and colours,
// keyboard focus order, timers, and the guard around every handler.
#include "ShellTestSupport.h"

#include "Lang.h"
#include "Main.h"
#include "Oprog.h"
#include "SimulatorSupport.h"
#include "qzsim.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileInfo>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QProgressBar>
#include <QRadioButton>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTimer>
#include <QWindow>

#include <stdexcept>

using namespace shelltest;

namespace {

QString shownText(QWidget *w)
{
    if (auto *box = qobject_cast<QGroupBox *>(w))
        return box->title();
    if (auto *button = qobject_cast<QAbstractButton *>(w))
        return button->text();
    if (auto *label = qobject_cast<QLabel *>(w))
        return label->text();
    if (auto *edit = qobject_cast<QLineEdit *>(w))
        return edit->text();
    if (auto *combo = qobject_cast<QComboBox *>(w))
        return combo->currentText();
    return {};
}

QStringList focusChain(TMainF &w, int steps)
{
    QStringList names;
    for (int i = 0; i < steps; ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        names << (QApplication::focusWidget() ? QApplication::focusWidget()->objectName() : QStringLiteral("-"));
    }
    Q_UNUSED(w);
    return names;
}

} // namespace

class ShellWindowTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigHome> home;
    std::unique_ptr<TMainF> window;

    TMainF &makeWindow()
    {
        home = std::make_unique<ConfigHome>();
        currentLanguage = 0;
        window = std::make_unique<TMainF>();
        return *window;
    }

private slots:
    void cleanup()
    {
        window.reset();
        home.reset();
    }

    void controls_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("parentName");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("enabled");
        QTest::addColumn<bool>("visible");
        auto row = [](const char *name, const char *cls, const char *parent, QRect g, const QString &text,
                      bool enabled = true, bool visible = true) {
            QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(cls) << QString::fromLatin1(parent)
                                << g << text << enabled << visible;
        };
        const QString none;
        row("Panel5", "QFrame", "centralwidget", {0, 0, 497, 57}, none);
        row("captionPressureUnits", "QGroupBox", "Panel5", {8, 2, 289, 49}, "Pressure units");
        row("RadioButton1", "QRadioButton", "captionPressureUnits", {2, 20, 41, 17}, "Pa");
        row("RadioButton2", "QRadioButton", "captionPressureUnits", {40, 20, 49, 17}, "kPa");
        row("RadioButton3", "QRadioButton", "captionPressureUnits", {88, 20, 49, 17}, "MPa");
        row("RadioButton4", "QRadioButton", "captionPressureUnits", {136, 20, 57, 17}, "mbar");
        row("RadioButton5", "QRadioButton", "captionPressureUnits", {194, 20, 41, 17}, "bar");
        row("RadioButton6", "QRadioButton", "captionPressureUnits", {236, 20, 41, 17}, "psi");
        row("captionUnitsOfLength", "QGroupBox", "Panel5", {8, 2, 145, 49}, "Units of length", true, false);
        row("Butmm", "QRadioButton", "captionUnitsOfLength", {8, 24, 41, 17}, "mm", true, false);
        row("Butm", "QRadioButton", "captionUnitsOfLength", {56, 24, 33, 17}, "m", true, false);
        row("Butinch", "QRadioButton", "captionUnitsOfLength", {88, 24, 49, 17}, "inch", true, false);
        row("checkActualValue", "QCheckBox", "Panel5", {344, 4, 121, 17}, "Actual value");
        row("Aktualni", "QLabel", "Panel5", {336, 20, 156, 33}, "-");
        row("Panel1", "QFrame", "centralwidget", {0, 58, 166, 223}, none);
        row("Panel2", "QFrame", "centralwidget", {172, 58, 166, 223}, none);
        row("Panel3", "QFrame", "centralwidget", {344, 58, 181, 223}, none);
        for (int n = 1; n <= 3; ++n) {
            const QByteArray panel = "Panel" + QByteArray::number(n);
            auto named = [n](const char *stem) { return QByteArray(stem) + QByteArray::number(n); };
            QByteArray names[] = {named("captionOutput"), named("AHMLed"), named("captionHigherValue"),
                                  "V" + QByteArray::number(n) + "_P2", named("captionLowerValue"),
                                  "V" + QByteArray::number(n) + "_P1", named("captionConfiguraton"),
                                  named("comboBoxConfiguration")};
            row(names[0], "QLabel", panel, {8, 8, 113, 17}, QStringLiteral("Output %1").arg(n));
            row(names[1], "QProgressBar", panel, {116, 5, 20, 20}, none);
            row(names[2], "QGroupBox", panel, {8, 40, 158, 44}, "Higher value");
            row(names[3], "QLineEdit", names[2], {16, 16, n == 1 ? 103 : 105, 21}, "0");
            row(names[4], "QGroupBox", panel, {8, 96, 158, 44}, "Lower value");
            row(names[5], "QLineEdit", names[4], {16, 16, 105, 21}, "0");
            row(names[6], "QGroupBox", panel, {8, 152, 158, 44}, "Configuration");
            row(names[7], "QComboBox", names[6], {16, 16, 130, 21}, none);
        }
        row("Panel4", "QFrame", "centralwidget", {0, 284, 497, 65}, none);
        row("checkPressure", "QRadioButton", "Panel4", {8, 24, 120, 17}, "Pressure");
        row("checkHeightLiquidColumn", "QRadioButton", "Panel4", {8, 48, 220, 17}, "Height of the liquid column");
        // The two captions take the size of their text: only their place is fixed.
        row("captionNominalRange", "QLabel", "Panel4", {241, 24, 0, 0}, "Nominal range");
        row("Rozsah", "QLineEdit", "Panel4", {385, 16, 113, 21}, none, false);
        row("captionSpecificGravity", "QLabel", "Panel4", {241, 48, 0, 0}, "Specific gravity[kg/m^3]");
        row("Ro", "QLineEdit", "Panel4", {385, 40, 113, 21}, "1000");
        row("buttonZeroCorrection", "QPushButton", "centralwidget", {8, 378, 145, 33}, "Zero correction");
        row("BitBtnDeviceInfo", "QPushButton", "centralwidget", {8, 418, 145, 33}, "Device Info");
        row("buttonreadConfiguration", "QPushButton", "centralwidget", {335, 378, 190, 33}, "Read configuration");
        row("buttonWriteConfiguration", "QPushButton", "centralwidget", {335, 417, 190, 33}, "Write configuration");
        // The design's "Start..." is cleared by the translation.
        row("StatusBar1", "QLabel", "statusbar", {}, none);
    }

    void controls()
    {
        QFETCH(QString, name);
        QFETCH(QString, className);
        QFETCH(QString, parentName);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        QFETCH(bool, enabled);
        QFETCH(bool, visible);

        TMainF &w = makeWindow();
        auto *control = w.findChild<QWidget *>(name);
        QVERIFY2(control, qPrintable(name));
        QCOMPARE(control->metaObject()->className(), className);
        QCOMPARE(control->parentWidget()->objectName(), parentName);
        if (!geometry.isNull()) {
            if (geometry.size().isEmpty()) {
                QCOMPARE(control->pos(), geometry.topLeft());
                QCOMPARE(control->size(), control->sizeHint());
            } else {
                QCOMPARE(control->geometry(), geometry);
            }
        }
        QCOMPARE(shownText(control), text);
        QCOMPARE(control->isEnabled(), enabled);
        QCOMPARE(control->isVisibleTo(&w), visible);
    }

    void initialStates()
    {
        TMainF &w = makeWindow();
        QCOMPARE(w.windowTitle(), QStringLiteral("QZ5801 User Software"));
        for (QRadioButton *b : {w.RadioButton1, w.RadioButton2, w.RadioButton3, w.RadioButton4, w.RadioButton5,
                                w.RadioButton6})
            QCOMPARE(b->isChecked(), b == w.RadioButton2);
        QVERIFY(w.Butmm->isChecked());
        QVERIFY(!w.Butm->isChecked() && !w.Butinch->isChecked());
        QVERIFY(w.checkPressure->isChecked());
        QVERIFY(!w.checkHeightLiquidColumn->isChecked());
        QVERIFY(!w.checkActualValue->isChecked());
        QCOMPARE(w.Hvezdicka->text(), QStringLiteral("*"));
        const QStringList modes{"Off", "Compression", "Extraction", "Correct value", "Error value"};
        for (QComboBox *box : {w.comboBoxConfiguration1, w.comboBoxConfiguration2, w.comboBoxConfiguration3}) {
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            QCOMPARE(items, modes);
            QCOMPARE(box->currentIndex(), -1);
            QVERIFY(!box->isEditable());
        }
        for (QProgressBar *lamp : {w.AHMLed1, w.AHMLed2, w.AHMLed3}) {
            QCOMPARE(lamp->minimum(), 0);
            QCOMPARE(lamp->maximum(), 1);
            QCOMPARE(lamp->value(), 0);
            QVERIFY(!lamp->isTextVisible());
        }
        QVERIFY(w.buttonWriteConfiguration->isEnabled());
        QVERIFY(w.statusbar->findChild<QLabel *>(QStringLiteral("StatusBar1")));

        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.V1_P2);
    }

    // The mode boxes make their lists when first opened, in the box's font
    // (the panel's bold 11 px), and later font changes still reach them.
    void modeListsMadeWhenOpened()
    {
        TMainF &w = makeWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QComboBox plain(w.Panel1);
        plain.setGeometry(w.comboBoxConfiguration1->geometry());
        plain.addItems({w.comboBoxConfiguration1->itemText(0), w.comboBoxConfiguration1->itemText(1),
                        w.comboBoxConfiguration1->itemText(2)});
        plain.show();
        for (QComboBox *box : {w.comboBoxConfiguration1, w.comboBoxConfiguration2, w.comboBoxConfiguration3}) {
            QVERIFY(!box->findChild<QAbstractItemView *>());
            QCOMPARE(box->font().pixelSize(), 11);
            QVERIFY(box->font().bold());
            if (box == w.comboBoxConfiguration1)
                QCOMPARE(box->sizeHint(), plain.sizeHint());
            box->showPopup();
            QAbstractItemView *list = box->view();
            QVERIFY(list->isVisible());
            QCOMPARE(list->font(), box->font());
            QCOMPARE(list->model()->rowCount(), box->count());
            box->hidePopup();
        }
        QFont larger = w.Panel1->font();
        larger.setPixelSize(14);
        w.Panel1->setFont(larger);
        QCOMPARE(w.comboBoxConfiguration1->view()->font().pixelSize(), 14);
    }

    void menu()
    {
        TMainF &w = makeWindow();
        QCOMPARE(w.menuBar()->objectName(), QStringLiteral("MainMenu1"));
        struct Item {
            const char *name;
            const char *text;
        };
        struct Menu {
            const char *name;
            const char *title;
            std::vector<Item> items;
        };
        const std::vector<Menu> expected = {
            {"menuApplication", "Application",
             {{"menuReadConfigurationFromDisk", "Read configuration from disk..."},
              {"menuWriteconfigurationToDisk", "Write configuration to disk..."},
              {"", ""},
              {"menuReadConfiguration", "Read configuration"},
              {"menuCompareWithTransmitter", "Compare file with transmitter..."},
              {"menuTrend", "Trend"},
              {"menuRecord", "Record..."},
              {"", ""},
              {"menuExit", "Exit"}}},
            {"menuSettings", "Settings", {{"menuLanguageSelection", "Language selection..."}}},
            {"menuHelp", "Help", {{"menuAbout", "About..."}}}};
        const QList<QAction *> top = w.menuBar()->actions();
        QCOMPARE(top.size(), qsizetype(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            QMenu *menu = top[qsizetype(i)]->menu();
            QVERIFY(menu);
            QCOMPARE(menu->objectName(), QString::fromLatin1(expected[i].name));
            QCOMPARE(menu->title(), QString::fromLatin1(expected[i].title));
            const QList<QAction *> items = menu->actions();
            QCOMPARE(items.size(), qsizetype(expected[i].items.size()));
            for (std::size_t j = 0; j < expected[i].items.size(); ++j) {
                QCOMPARE(items[qsizetype(j)]->objectName(), QString::fromLatin1(expected[i].items[j].name));
                QCOMPARE(items[qsizetype(j)]->text(), QString::fromLatin1(expected[i].items[j].text));
            }
        }
    }

    void frame()
    {
        TMainF &w = makeWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const int menuHeight = w.menuBar()->height();
        QCOMPARE(w.size(), QSize(536, menuHeight + 476));
        QCOMPARE(w.minimumSize(), w.maximumSize());
        QCOMPARE(w.centralWidget()->geometry(), QRect(0, menuHeight, 536, 457));
        QCOMPARE(w.statusBar()->geometry(), QRect(0, menuHeight + 457, 536, 19));
        QVERIFY(!w.statusBar()->isSizeGripEnabled());
        QVERIFY(w.windowFlags() & Qt::WindowMinimizeButtonHint);
        QVERIFY(!(w.windowFlags() & Qt::WindowMaximizeButtonHint));
        QVERIFY(w.windowFlags() & Qt::WindowCloseButtonHint);
        const QPoint screenCentre = w.screen()->availableGeometry().center();
        QVERIFY2((w.geometry().center() - screenCentre).manhattanLength() <= 2,
                 qPrintable(QStringLiteral("window centre %1,%2").arg(w.geometry().center().x()).arg(w.geometry().center().y())));
        QVERIFY(w.centralWidget()->autoFillBackground());
        QCOMPARE(w.centralWidget()->palette().color(QPalette::Window), QColor(0xC5, 0xDB, 0xF3));
    }

    void fontsAndColours()
    {
        TMainF &w = makeWindow();
        auto check = [](QWidget *widget, int pixels, bool bold) {
            const QFontInfo info(widget->font());
            return widget->font().pixelSize() == pixels && info.bold() == bold;
        };
        QVERIFY(check(&w, 13, false));
        QVERIFY(check(w.Hvezdicka, 13, false));
        // The panels' bold 11-pixel font reaches the controls inside them.
        for (QWidget *c : std::initializer_list<QWidget *>{w.Panel1, w.V1_P2, w.comboBoxConfiguration3,
                                                           w.captionLowerValue2, w.Panel4, w.checkHeightLiquidColumn,
                                                           w.captionSpecificGravity, w.Ro, w.captionPressureUnits,
                                                           w.RadioButton4, w.Butinch, w.checkActualValue,
                                                           w.buttonZeroCorrection, w.buttonWriteConfiguration})
            QVERIFY2(check(c, 11, true), qPrintable(c->objectName()));
        QVERIFY(check(w.Aktualni, 20, true));
        QCOMPARE(w.Aktualni->palette().color(QPalette::WindowText), QColor(Qt::blue));
        QCOMPARE(w.Aktualni->alignment(), Qt::AlignCenter);
        for (QLabel *caption : {w.captionOutput1, w.captionOutput2, w.captionOutput3}) {
            QVERIFY(check(caption, 13, false));
            QVERIFY(QStringList({"Verdana", "DejaVu Sans"}).contains(QFontInfo(caption->font()).family()));
            QVERIFY(caption->autoFillBackground());
            QCOMPARE(caption->palette().color(QPalette::Window), QColor(0xEE, 0xEE, 0x00));
        }
        QCOMPARE(w.Panel1->palette().color(QPalette::Window), QColor(0xC6, 0xE3, 0xF2));
        QCOMPARE(w.Panel2->palette().color(QPalette::Window), QColor(0xCB, 0xDA, 0xED));
        QCOMPARE(w.Panel3->palette().color(QPalette::Window), QColor(0xC6, 0xCE, 0xF2));
        for (QWidget *panel : std::initializer_list<QWidget *>{w.Panel1, w.Panel2, w.Panel3, w.Panel4, w.Panel5})
            QVERIFY(panel->autoFillBackground());
        // The system's window colour, which Qt calls the base colour.
        const QColor windowColour = QApplication::palette().color(QPalette::Base);
        QCOMPARE(w.Panel4->palette().color(QPalette::Window), windowColour);
        QCOMPARE(w.Panel5->palette().color(QPalette::Window), windowColour);
    }

    void lamps()
    {
        TMainF &w = makeWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        for (QProgressBar *lamp : {w.AHMLed1, w.AHMLed2, w.AHMLed3}) {
            QImage dark = lamp->grab().toImage();
            QCOMPARE(dark.pixelColor(10, 10), QColor(Qt::black));
            lamp->setValue(1);
            QImage lit = lamp->grab().toImage();
            QCOMPARE(lit.pixelColor(10, 10), QColor(0, 255, 0));
            // The 3-pixel border stays black around the lit lamp.
            QCOMPARE(lit.pixelColor(1, 1), QColor(Qt::black));
            QCOMPARE(lit.pixelColor(18, 10), QColor(Qt::black));
        }
    }

    void liveValueDrawnInBlue()
    {
        TMainF &w = makeWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.Aktualni->setText(QStringLiteral("100.000 kPa"));
        const QImage image = w.Aktualni->grab().toImage();
        int blue = 0;
        int other = 0;
        const QColor background = image.pixelColor(0, 0);
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c == background)
                    continue;
                (c.blue() > 128 && c.red() < 100 && c.green() < 100 ? blue : other)++;
            }
        QVERIFY2(blue > 50 && other < blue, qPrintable(QStringLiteral("%1 blue, %2 other").arg(blue).arg(other)));
    }

    void activityMarkAfterCaption()
    {
        TMainF &w = makeWindow();
        QCOMPARE(w.Hvezdicka->y(), 8);
        QCOMPARE(w.Hvezdicka->size(), QSize(17, 16));
        QVERIFY(w.Hvezdicka->x() >= 424);
        const int captionEnd =
            w.checkActualValue->x() + std::min(w.checkActualValue->sizeHint().width(), w.checkActualValue->width());
        QVERIFY(w.Hvezdicka->x() >= captionEnd);
        QVERIFY(w.Hvezdicka->geometry().right() < w.Panel5->width());
    }

    void focusOrder_data()
    {
        QTest::addColumn<QString>("setting");
        QTest::addColumn<QStringList>("chain");
        const QStringList outputs{"V1_P1", "comboBoxConfiguration1", "V2_P2", "V2_P1", "comboBoxConfiguration2",
                                  "V3_P2", "V3_P1", "comboBoxConfiguration3"};
        QTest::newRow("as designed") << QString() << outputs + QStringList{"buttonWriteConfiguration", "checkPressure",
                                                                           "Ro", "buttonreadConfiguration",
                                                                           "buttonZeroCorrection", "RadioButton2",
                                                                           "checkActualValue", "BitBtnDeviceInfo",
                                                                           "V1_P2"};
        QTest::newRow("write disabled") << "writeDisabled"
                                        << outputs + QStringList{"checkPressure", "Ro", "buttonreadConfiguration",
                                                                 "buttonZeroCorrection", "RadioButton2",
                                                                 "checkActualValue", "BitBtnDeviceInfo", "V1_P2"};
        QTest::newRow("liquid column in m")
            << "liquidColumn"
            << outputs + QStringList{"buttonWriteConfiguration", "checkHeightLiquidColumn", "Ro",
                                     "buttonreadConfiguration", "buttonZeroCorrection", "Butm", "checkActualValue",
                                     "BitBtnDeviceInfo", "V1_P2"};
        QTest::newRow("bar") << "bar"
                             << outputs + QStringList{"buttonWriteConfiguration", "checkPressure", "Ro",
                                                      "buttonreadConfiguration", "buttonZeroCorrection",
                                                      "RadioButton5", "checkActualValue", "BitBtnDeviceInfo",
                                                      "V1_P2"};
    }

    void focusOrder()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, chain);
        TMainF &w = makeWindow();
        if (setting == "writeDisabled") {
            w.buttonWriteConfiguration->setEnabled(false);
        } else if (setting == "liquidColumn") {
            w.checkHeightLiquidColumn->setChecked(true);
            w.captionPressureUnits->hide();
            w.captionUnitsOfLength->show();
            w.Butm->setChecked(true);
        } else if (setting == "bar") {
            w.RadioButton5->setChecked(true);
        }
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.V1_P2);
        QCOMPARE(focusChain(w, int(chain.size())), chain);
    }

    void timers()
    {
        TMainF &w = makeWindow();
        QCOMPARE(w.Timer1->interval(), 1000);
        QVERIFY(w.Timer1->isActive());
        QVERIFY(!w.Timer1->isSingleShot());
        QCOMPARE(w.Timer3->interval(), 1000);
        QVERIFY(w.Timer3->isActive());
        // The start-up step runs once: its first tick switches the timer off.
        QSignalSpy ticks(w.Timer3, &QTimer::timeout);
        QVERIFY(ticks.wait(5000));
        QVERIFY(!w.Timer3->isActive());
        QVERIFY(w.Timer1->isActive());
    }

    void closingSavesSettings_data()
    {
        QTest::addColumn<QString>("route");
        QTest::newRow("close()") << "close";
        QTest::newRow("Exit handler") << "CmExit";
        QTest::newRow("Exit menu item") << "menuExit";
        QTest::newRow("title bar or system menu") << "system";
        QTest::newRow("close event") << "event";
    }

    void closingSavesSettings()
    {
        QFETCH(QString, route);
        TMainF &w = makeWindow();
        RecordedBoxes boxes;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.unitOfPressure = 4;
        w.unitOfLength = 2;
        w.isPressure = true;
        QVERIFY(!QFileInfo::exists(home->settingsFile()));
        if (route == "close") {
            QVERIFY(w.close());
        } else if (route == "CmExit") {
            w.CmExit();
        } else if (route == "menuExit") {
            w.menuExit->trigger();
        } else if (route == "system") {
            // The window system's own close request, as the title bar and the
            // system menu send it.
            w.windowHandle()->close();
        } else {
            QCloseEvent event;
            QCoreApplication::sendEvent(&w, &event);
            QVERIFY(event.isAccepted());
        }
        QTRY_VERIFY(!w.isVisible() || route == "event");
        QCOMPARE(readBytes(home->settingsFile()),
                 QByteArray("[Options]\nLanguage=0\nisPressure=1\nunitOfLength=2\nunitOfPressure=4\n"));
        QVERIFY(boxes.boxes.empty());
    }

    void errorInHandlerShowsBoxAndToolGoesOn()
    {
        TMainF &w = makeWindow();
        w.show();
        RecordedBoxes boxes;
        setLanguageDialogRunner([](QDialog &) -> int { throw std::runtime_error("Cannot open the language list"); });
        w.menuLanguageSelection->trigger();
        setLanguageDialogRunner({});
        QCOMPARE(boxes.boxes.size(), std::size_t(1));
        QCOMPARE(boxes.boxes[0].text, QStringLiteral("Cannot open the language list"));
        QCOMPARE(boxes.boxes[0].title, QCoreApplication::applicationName());
        QCOMPARE(boxes.boxes[0].icon, MessageIcon::Critical);
        QCOMPARE(boxes.boxes[0].buttons, MessageButtons::Ok);

        // An error without a text of its own shows an empty box.
        DialogHooks hooks;
        hooks.message = [&](QWidget *, const MessageRequest &r) {
            boxes.boxes.push_back(r);
            return MessageAnswer::Ok;
        };
        int shown = 0;
        hooks.execDialog = [&](QDialog &) -> int {
            if (++shown == 1)
                throw 42;
            return 1;
        };
        const DialogHooks before = setDialogHooks(hooks);
        w.aboutWindow = new TOProgramu(&w);
        w.menuAbout->trigger();
        QCOMPARE(boxes.boxes.size(), std::size_t(2));
        QCOMPARE(boxes.boxes[1].text, QString());
        QCOMPARE(boxes.boxes[1].icon, MessageIcon::Critical);

        // The window goes on: still shown, its timer running, its menu answering.
        QVERIFY(w.isVisible());
        QVERIFY(w.Timer1->isActive());
        w.menuAbout->trigger();
        QCOMPARE(shown, 2);
        QCOMPARE(boxes.boxes.size(), std::size_t(2));
        setDialogHooks(before);
    }

    void ticksDoNothingWhileABoxIsOpen()
    {
        qzsim_reset();
        qzsim_set_value(42000);
        TMainF &w = makeWindow();
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.isPressure = true;
        w.CCmPoStartu(); // the simulated transmitter, read quietly
        QVERIFY(w.buttonWriteConfiguration->isEnabled());
        w.checkActualValue->setChecked(true);
        RealBoxes boxes;
        bool ticked = false;
        int requestsDuringTick = -1;
        QString shownDuringTick;
        QStringList boxesInsideTheBox;
        boxes.act = [&](QMessageBox &box) {
            // A box that a tick opened meanwhile would have to be closed for the tick to end.
            QTimer closer;
            QObject::connect(&closer, &QTimer::timeout, [&] {
                auto *other = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
                if (other && other != &box && other->isVisible()) {
                    boxesInsideTheBox << other->text();
                    other->reject();
                }
            });
            closer.start(10);
            qzsim_clear_logs();
            QSignalSpy ticks(w.Timer1, &QTimer::timeout);
            ticked = ticks.wait(5000);
            requestsDuringTick = int(qzsim_request_count());
            shownDuringTick = w.Aktualni->text();
            RealBoxes::pressKey(box, Qt::Key_Return);
        };
        w.BitBtnDeviceInfo->click();
        QCOMPARE(boxes.texts, QStringList{"Serial number is 12345"});
        QVERIFY(boxesInsideTheBox.isEmpty());
        QVERIFY(ticked);
        QCOMPARE(requestsDuringTick, 0);
        QCOMPARE(shownDuringTick, QStringLiteral("-"));
        // with the box closed the ticks poll again
        QTRY_COMPARE_WITH_TIMEOUT(w.Aktualni->text(), QStringLiteral("42.000 kPa"), 5000);
    }

    // Leaving an edit as the operator does, with real boxes: the check runs
    // once; its own focus move and the box's (de)activation run no other.
    void leavingAnEditChecksItOnce_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("route");
        QTest::addColumn<QString>("shown");
        const QString range = QStringLiteral("The value is out of range");
        const QString noNumber = QStringLiteral("Not valid real number");
        const QString noGravity = QStringLiteral("Invalid real number");
        // The focus starts in V1_P2: its first leaving is checked too.
        QTest::newRow("first edit, Tab") << "V1_P2" << "200" << "tab" << range;
        QTest::newRow("first edit, click elsewhere") << "V1_P2" << "200" << "click" << range;
        QTest::newRow("lower edit, Tab") << "V2_P1" << "-200" << "tab" << range;
        QTest::newRow("lower edit, click elsewhere") << "V3_P1" << "-200" << "click" << range;
        QTest::newRow("letter O, Tab") << "V2_P2" << "2O" << "tab" << noNumber;
        QTest::newRow("letter O, click elsewhere") << "V1_P1" << "1O" << "click" << noNumber;
        QTest::newRow("gravity, Enter") << "Ro" << "5" << "enter" << range;
        QTest::newRow("gravity, Tab") << "Ro" << "5" << "tab" << range;
        QTest::newRow("gravity, click elsewhere") << "Ro" << "5" << "click" << range;
        QTest::newRow("gravity no number, Enter") << "Ro" << "1OOO" << "enter" << noGravity;
    }
    void leavingAnEditChecksItOnce()
    {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, route);
        QFETCH(QString, shown);
        TMainF &w = makeWindow();
        w.Timer3->stop();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.V1_P2);
        auto *field = w.findChild<QLineEdit *>(edit);
        QVERIFY(field);
        QLineEdit *elsewhere = field == w.V1_P1 ? w.V2_P2 : w.V1_P1;
        RealBoxes boxes;
        if (field != w.V1_P2)
            QTest::mouseClick(field, Qt::LeftButton); // V1_P2 holds 0: leaving it warns of nothing
        QCOMPARE(QApplication::focusWidget(), field);
        field->clear();
        QTest::keyClicks(field, typed);
        // Every other limit edit would warn if its own check ran.
        for (QLineEdit *other : {w.V1_P2, w.V1_P1, w.V2_P2, w.V2_P1, w.V3_P2, w.V3_P1})
            if (other != field)
                other->setText(other->objectName().endsWith(u'2') ? QStringLiteral("300") : QStringLiteral("-300"));
        QVERIFY(boxes.texts.isEmpty());

        if (route == "tab")
            QTest::keyClick(field, Qt::Key_Tab);
        else if (route == "click")
            QTest::mouseClick(elsewhere, Qt::LeftButton);
        else
            QTest::keyClick(field, Qt::Key_Return);
        QCOMPARE(boxes.texts, QStringList{shown});
        // The window comes back to the front as the box goes (the offscreen
        // platform leaves that to the program).
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), field);
        QCOMPARE(field->text(), typed);
        QTest::qWait(50);
        QCOMPARE(boxes.texts.size(), 1);

        // The check put the focus back; leaving again checks again.
        QTest::keyClick(field, Qt::Key_Tab);
        QCOMPARE(boxes.texts, (QStringList{shown, shown}));
        w.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), field);
    }

    void doubleClickOnTheSelectedUnit_data()
    {
        QTest::addColumn<QString>("unit");
        QTest::addColumn<bool>("liquidColumn");
        QTest::addColumn<QString>("gravity"); // typed into Ro, never left
        QTest::addColumn<QString>("higher2");
        QTest::addColumn<int>("errorBoxes");
        QTest::newRow("kPa") << "RadioButton2" << false << "1000" << "50.000" << 0;
        QTest::newRow("mm takes the gravity in Ro") << "Butmm" << true << "500" << "10194" << 0;
        // The handler raises on each run: its boxes count the runs.
        QTest::newRow("mm, letters in Ro") << "Butmm" << true << "abc" << "X" << 2;
    }
    void doubleClickOnTheSelectedUnit()
    {
        QFETCH(QString, unit);
        QFETCH(bool, liquidColumn);
        QFETCH(QString, gravity);
        QFETCH(QString, higher2);
        QFETCH(int, errorBoxes);
        TMainF &w = makeWindow();
        w.Timer3->stop();
        RecordedBoxes boxes;
        if (liquidColumn)
            w.checkHeightLiquidColumnClick();
        w.show();
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto *button = w.findChild<QRadioButton *>(unit);
        QVERIFY(button && button->isChecked());
        // Changed behind the window's back: only the handler's redisplay shows them.
        w.higherValue2 = 50000;
        w.V2_P2->setText(QStringLiteral("X"));
        w.Ro->setText(gravity);

        QWindow *window = w.windowHandle();
        QTest::mouseDClick(window, Qt::LeftButton, {}, window->mapFromGlobal(button->mapToGlobal(button->rect().center())));
        QTRY_VERIFY(int(boxes.boxes.size()) >= errorBoxes);
        QVERIFY(button->isChecked());
        QCOMPARE(w.V2_P2->text(), higher2);
        for (const MessageRequest &box : boxes.boxes)
            QCOMPARE(box.text, QStringLiteral("'abc' is not a valid floating point value"));
        if (errorBoxes == 0)
            QVERIFY(boxes.boxes.empty());
    }
};

QZ_SHELL_TEST_MAIN(ShellWindowTest)
#include "tst_shell_window.moc"

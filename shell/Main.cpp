#include "Main.h"

#include "Dialogs.h"
#include "HandlerGuard.h"
#include "Lang.h"
#include "NumberText.h"
#include "Oprog.h"
#include "Settings.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFocusEvent>
#include <QFont>
#include <QKeyEvent>
#include <QLabel>
#include <QScreen>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>
#include <optional>
#include <stdexcept>

namespace {

const QString kSettingsFileName = QStringLiteral("qz5801.ini");
const int kActivityMarkLeft = 424;

WindowAdditions windowAdditions = nullptr;

// The design's fonts are Windows fonts; similar ones stand in where they are missing.
QFont designFont(const QStringList &families, int pixelSize, bool bold)
{
    QFont font;
    font.setFamilies(families);
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(pixelSize);
    font.setBold(bold);
    return font;
}

QFont sansSerif(int pixelSize, bool bold)
{
    return designFont({QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"), QStringLiteral("Arial"),
                       QStringLiteral("DejaVu Sans")},
                      pixelSize, bold);
}

QFont verdana(int pixelSize)
{
    return designFont({QStringLiteral("Verdana"), QStringLiteral("DejaVu Sans")}, pixelSize, false);
}

// The system's own strict number conversion, as the form's text of `Ro` is read at creation.
float systemNumber(const QString &text)
{
    const std::optional<float> value = strictToFloat(text);
    if (!value)
        throw std::invalid_argument("'" + text.toStdString() + "' is not a valid floating point value");
    return *value;
}

} // namespace

void setWindowAdditions(WindowAdditions make)
{
    windowAdditions = make;
}

void useDesignStyle()
{
#ifndef Q_OS_WIN
    if (!qEnvironmentVariableIsSet("QT_STYLE_OVERRIDE"))
        QApplication::setStyle(QStringLiteral("Windows"));
#endif
}

TMainF::TMainF(QWidget *parent) : QMainWindow(parent)
{
    // Set before the controls exist, they are made in it: set after, it is
    // handed down to each of them again.
    setFont(sansSerif(13, false));
    setupUi(this);

    StatusBar1 = new QLabel(QStringLiteral("Start..."), statusbar);
    StatusBar1->setObjectName(QStringLiteral("StatusBar1"));
    statusbar->addPermanentWidget(StatusBar1, 1);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    Timer3 = new QTimer(this);
    Timer3->setObjectName(QStringLiteral("Timer3"));
    Timer3->setInterval(1000);

    // The panels of the design's window colour take the system's; the colour,
    // not the role, so the controls on them keep their usual text colours.
    for (QWidget *panel : {Panel4, Panel5}) {
        QPalette colours = panel->palette();
        colours.setColor(QPalette::Window, colours.color(QPalette::Base));
        panel->setPalette(colours);
    }

    applyDesignFonts();
    placeWindow();
    connectHandlers();
    V1_P2->setFocus();

    CmCreate();
    if (windowAdditions)
        operatorTools = windowAdditions(*this);

    Timer1->start();
    Timer3->start();
}

TMainF::~TMainF()
{
    for (const auto &[watched, handler] : exitHandlers)
        watched->removeEventFilter(this);
    for (const auto &[watched, handler] : doubleClickHandlers)
        watched->removeEventFilter(this);
}

void TMainF::applyDesignFonts()
{
    for (QWidget *w : std::initializer_list<QWidget *>{Panel1, Panel2, Panel3, Panel4, captionPressureUnits,
                                                       captionUnitsOfLength, checkActualValue, buttonZeroCorrection,
                                                       BitBtnDeviceInfo, buttonreadConfiguration,
                                                       buttonWriteConfiguration})
        w->setFont(sansSerif(11, true));
    Aktualni->setFont(sansSerif(20, true));
    for (QLabel *caption : {captionOutput1, captionOutput2, captionOutput3})
        caption->setFont(verdana(13));
}

void TMainF::placeWindow()
{
    // Client area 536 x 476 below the menu: 457 for the controls, 19 for the status bar.
    centralwidget->setFixedSize(536, 457);
    statusbar->setSizeGripEnabled(false);
    statusbar->setFixedHeight(19);
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    int menuHeight = MainMenu1->heightForWidth(536);
    if (menuHeight < 0)
        menuHeight = MainMenu1->sizeHint().height();
    setFixedSize(536, menuHeight + 476);
    if (const QScreen *s = screen())
        move(s->availableGeometry().center() - QPoint(width() / 2, height() / 2));
}

void TMainF::runHandler(Handler handler)
{
    runGuarded(this, [this, handler] { (this->*handler)(); });
}

void TMainF::connectHandlers()
{
    auto onClick = [this](QAbstractButton *button, Handler handler) {
        connect(button, &QAbstractButton::clicked, this, [this, handler] { runHandler(handler); });
    };
    const std::pair<QAbstractButton *, Handler> unitButtons[] = {
        {RadioButton1, &TMainF::CmPa}, {RadioButton2, &TMainF::CmkPa}, {RadioButton3, &TMainF::CmMPa},
        {RadioButton4, &TMainF::Cmmbar}, {RadioButton5, &TMainF::Cmbar}, {RadioButton6, &TMainF::Cmpsi},
        {Butmm, &TMainF::Cmmm}, {Butm, &TMainF::Cmm}, {Butinch, &TMainF::CmInch}};
    for (const auto &[button, handler] : unitButtons) {
        onClick(button, handler);
        doubleClickHandlers.emplace_back(button, handler);
        button->installEventFilter(this);
    }
    onClick(checkPressure, &TMainF::checkPressureClick);
    onClick(checkHeightLiquidColumn, &TMainF::checkHeightLiquidColumnClick);
    onClick(buttonZeroCorrection, &TMainF::CmKorekce);
    onClick(BitBtnDeviceInfo, &TMainF::CmDeviceInfo);
    onClick(buttonreadConfiguration, &TMainF::CmVycist);
    onClick(buttonWriteConfiguration, &TMainF::CmKonfigurace);
    // By the operator or by the poll: every change of the check runs it.
    connect(checkActualValue, &QCheckBox::toggled, this, [this] { runHandler(&TMainF::checkActualValueClick); });

    const std::pair<QAction *, Handler> menuItems[] = {
        {menuReadConfigurationFromDisk, &TMainF::CmLoad},
        {menuWriteconfigurationToDisk, &TMainF::CmSave},
        {menuExit, &TMainF::CmExit},
        {menuLanguageSelection, &TMainF::menuLanguageSelectionClick},
        {menuAbout, &TMainF::menuAboutClick}};
    for (const auto &[action, handler] : menuItems)
        connect(action, &QAction::triggered, this, [this, handler] { runHandler(handler); });

    connect(Timer1, &QTimer::timeout, this, [this] { runHandler(&TMainF::Timer1Timer); });
    // The start-up connection runs once.
    connect(Timer3, &QTimer::timeout, this, [this] {
        Timer3->stop();
        runHandler(&TMainF::CCmPoStartu);
    });

    exitHandlers = {{V1_P2, &TMainF::CmFilter11}, {V1_P1, &TMainF::CmFilter12}, {V2_P2, &TMainF::CmFilter21},
                    {V2_P1, &TMainF::CmFilter22}, {V3_P2, &TMainF::CmFilter31}, {V3_P1, &TMainF::CmFilter32},
                    {Ro, &TMainF::CmFilterR}};
    for (const auto &[edit, handler] : exitHandlers)
        edit->installEventFilter(this);

    // Tab reaches a group of radio buttons at its checked button only.
    radioGroups = {{RadioButton1, RadioButton2, RadioButton3, RadioButton4, RadioButton5, RadioButton6},
                   {Butmm, Butm, Butinch},
                   {checkPressure, checkHeightLiquidColumn}};
    for (const auto &group : radioGroups)
        for (QRadioButton *button : group)
            connect(button, &QRadioButton::toggled, this, [this] { updateRadioTabStops(); });
    updateRadioTabStops();
}

void TMainF::updateRadioTabStops()
{
    for (const auto &group : radioGroups) {
        const bool anyChecked = std::any_of(group.begin(), group.end(), [](QRadioButton *b) { return b->isChecked(); });
        for (QRadioButton *button : group) {
            const bool tabStop = anyChecked ? button->isChecked() : button == group.front();
            button->setFocusPolicy(tabStop ? Qt::StrongFocus : Qt::ClickFocus);
        }
    }
}

bool TMainF::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::FocusOut: {
        // Leaving an edit for another control of this window; the window losing
        // activation (a box, another window) or a menu opening is no leaving.
        const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason || runningExitHandler)
            break;
        for (const auto &[edit, handler] : exitHandlers)
            if (edit == watched) {
                runningExitHandler = true;
                runHandler(handler);
                runningExitHandler = false;
                break;
            }
        break;
    }
    case QEvent::KeyPress:
        if (watched == Ro) {
            const int key = static_cast<QKeyEvent *>(event)->key();
            runGuarded(this, [this, key] { CmKeyPress(key); });
        }
        break;
    case QEvent::MouseButtonDblClick:
        for (const auto &[button, handler] : doubleClickHandlers)
            if (button == watched) {
                runHandler(handler);
                return true;
            }
        break;
    default:
        break;
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TMainF::checkFocusedEdit()
{
    QWidget *focused = focusWidget();
    for (const auto &[edit, handler] : exitHandlers)
        if (edit == focused) {
            leaveCheckRefused = false;
            runningExitHandler = true;
            try {
                (this->*handler)();
            } catch (...) {
                runningExitHandler = false;
                throw;
            }
            runningExitHandler = false;
            return !leaveCheckRefused;
        }
    return true;
}

void TMainF::closeEvent(QCloseEvent *event)
{
    runGuarded(this, [this] { cmClose(); });
    event->accept();
}

void TMainF::CmCreate()
{
    if (!holdSingleInstanceLock())
        throw AnotherCopyRunning{};
    loadSettings();
    loadLanguageCatalogue();
    translateMainWindow();

    pressureDecimals = 3;
    pressureUnitFactor = 0.001f;
    nominalRange = 100000;
    limitLowerBound = -nominalRange;
    limitUpperBound = nominalRange;
    referenceSpecificGravity = 1000;
    specificGravity = 1000;
    lengthDecimals = 0;

    const float rho = systemNumber(Ro->text());
    if (rho == 0)
        throw std::domain_error("Floating point division by zero");
    lengthUnitFactor = float(1000.0 / double(rho) / 9.81);

    decimals = pressureDecimals;
    unitFactor = pressureUnitFactor;
    polling = false;
    quiet = false;
    fileIsPressure = true;
}

void TMainF::cmClose()
{
    saveSettings();
}

void TMainF::CmExit()
{
    close();
}

void TMainF::menuAboutClick()
{
    if (aboutWindow)
        execModal(*aboutWindow);
}

void TMainF::menuLanguageSelectionClick()
{
    if (selectLanguage(this))
        translateMainWindow();
}

void TMainF::translateMainWindow()
{
    ::translateMainWindow(this);
    // These two labels take the size of their text.
    captionNominalRange->adjustSize();
    captionSpecificGravity->adjustSize();
    placeActivityMark();
    emit translated();
}

void TMainF::placeActivityMark()
{
    // The poll's mark stands just after the caption of "Actual value"; a caption
    // longer than the design's pushes it right instead of running under it.
    // The box shows no more of its caption than fits its own width.
    const int captionEnd = checkActualValue->x()
                           + std::min(checkActualValue->sizeHint().width(), checkActualValue->width());
    Hvezdicka->move(std::max(kActivityMarkLeft, captionEnd), Hvezdicka->y());
}

void TMainF::loadSettings()
{
    const UserSettings settings = readUserSettings(settingsFilePath(kSettingsFileName));
    currentLanguage = settings.language;
    isPressure = settings.isPressure;
    unitOfLength = settings.unitOfLength;
    unitOfPressure = settings.unitOfPressure;
}

void TMainF::saveSettings()
{
    writeUserSettings(settingsFilePath(kSettingsFileName),
                      UserSettings{currentLanguage, isPressure, unitOfLength, unitOfPressure});
}

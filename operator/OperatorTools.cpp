#include "OperatorTools.h"

#include "Accessibility.h"
#include "CompareDialog.h"
#include "ConfigurationExchange.h"
#include "Dialogs.h"
#include "Lang.h"
#include "LiveValue.h"
#include "Main.h"
#include "Units.h"
#include "WindowKeys.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>

TOperatorTools::TOperatorTools(TMainF &window) : QObject(&window), trendHost(window, *this), w(window)
{
    setObjectName(QStringLiteral("operatorTools"));

    recordingLabel = new QLabel(w.statusbar);
    recordingLabel->setObjectName(QStringLiteral("recordingState"));
    recordingLabel->hide();
    w.statusbar->addPermanentWidget(recordingLabel, 0);
    connect(&recorder, &TRecorder::changed, this, [this] {
        showRecording();
        if (trendWindow)
            trendWindow->recordingChanged();
    });

    connectionLabel = new QLabel(w.statusbar);
    connectionLabel->setObjectName(QStringLiteral("connectionState"));
    connectionLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    w.statusbar->addPermanentWidget(connectionLabel, 0);
    // Without a size grip the last item would end at the window's edge, its frame cut off.
    w.statusbar->setContentsMargins(0, 0, 3, 0);
    installAccessibleInterfaces(w);
    // Enter presses the button that has the focus, as Space does (a limit
    // field keeps its own Enter: the key reaches a button only from a button).
    for (QPushButton *button : w.findChildren<QPushButton *>())
        button->setAutoDefault(true);

    w.menuReadConfigurationFromDisk->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    w.menuWriteconfigurationToDisk->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    w.menuExit->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Q));
    w.menuAbout->setShortcut(QKeySequence(Qt::Key_F1));

    // New items go above "Exit", which stays the last.
    menuReadConfiguration = new QAction(&w);
    menuReadConfiguration->setObjectName(QStringLiteral("menuReadConfiguration"));
    menuReadConfiguration->setShortcut(QKeySequence(Qt::Key_F5));
    menuCompare = new QAction(&w);
    menuCompare->setObjectName(QStringLiteral("menuCompareWithTransmitter"));
    menuTrend = new QAction(&w);
    menuTrend->setObjectName(QStringLiteral("menuTrend"));
    menuTrend->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_T));
    w.menuApplication->insertSeparator(w.menuExit);
    menuRecord = new QAction(&w);
    menuRecord->setObjectName(QStringLiteral("menuRecord"));
    menuRecord->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_R));
    menuRecord->setCheckable(true);
    w.menuApplication->insertActions(w.menuExit, {menuReadConfiguration, menuCompare, menuTrend, menuRecord});
    w.menuApplication->insertSeparator(w.menuExit);

    // Through the button, so the read runs exactly as its click runs it.
    connect(menuReadConfiguration, &QAction::triggered, &w, [this] {
        if (w.buttonreadConfiguration->isEnabled())
            w.buttonreadConfiguration->click();
    });
    connect(menuCompare, &QAction::triggered, &w, [this] { compareWithTransmitter(); });
    connect(menuTrend, &QAction::triggered, &w, [this] { showTrend(); });
    connect(menuRecord, &QAction::triggered, &w, [this] {
        toggleRecording();
        // The check shows the recording, also when the file dialog was cancelled.
        menuRecord->setChecked(recorder.active());
    });

    connect(&w, &TMainF::liveValuePolled, this, &TOperatorTools::polled);
    connect(&w, &TMainF::translated, this, &TOperatorTools::retranslate);
    connect(&w, &TMainF::connectionChecked, this, [this](uint32_t devices, bool answered) {
        const DeviceAccess access = theLink ? theLink->deviceAccess(0) : DeviceAccess::Unknown;
        setConnection(stateAfterStartup(devices, answered, access));
    });
    connect(&w, &TMainF::transmitterAnswered, this,
            [this](bool answered) { setConnection(stateAfterExchange(connection, answered)); });
    connect(&w, &TMainF::displayChanged, this, [this] {
        if (trendWindow && trendWindow->widget()->isVisible())
            trendWindow->redraw();
    });
    // Switched off, by the operator or by the poll: the line breaks here.
    connect(w.checkActualValue, &QCheckBox::toggled, this, [this](bool on) {
        if (!on)
            history.appendGap(nowMs());
        // Also on: an empty trend tells how to fill it only while the value is off.
        if (trendWindow)
            trendWindow->historyChanged();
    });
    const std::array<QProgressBar *, 3> lamps{w.AHMLed1, w.AHMLed2, w.AHMLed3};
    for (int output = 1; output <= 3; ++output)
        connect(lamps[std::size_t(output - 1)], &QProgressBar::valueChanged, this,
                [this, output] { nameLamp(w, output); });

    retranslate();
}

void TOperatorTools::retranslate()
{
    menuReadConfiguration->setText(translate(QStringLiteral("Read configuration")));
    menuCompare->setText(translateWithEllipsis(QStringLiteral("Compare file with transmitter")));
    menuTrend->setText(translate(QStringLiteral("Trend")));
    menuRecord->setText(translateWithEllipsis(QStringLiteral("Record")));
    recordingTitle = translateWithColon(QStringLiteral("Recording"));
    recordingFailedTitle = translateWithColon(QStringLiteral("Recording stopped, file cannot be written"));
    showRecording();
    lastValueText = translate(QStringLiteral("Last value since"));
    if (!w.Aktualni->accessibleDescription().isEmpty())
        describeLiveValue(true);
    nameMainWindowControls(w);
    for (std::size_t state = 0; state < connectionTexts.size(); ++state)
        connectionTexts[state] = connectionStateText(ConnectionState(state));
    connectionText = connectionTexts[std::size_t(connection)];
    showConnection();
    if (trendWindow)
        trendWindow->retranslate();
}

void TOperatorTools::setConnection(ConnectionState state)
{
    // Every poll tells the state again; only a change is looked up and announced.
    if (state == connection && !connectionText.isEmpty())
        return;
    connection = state;
    connectionText = connectionTexts[std::size_t(state)];
    showConnection();
}

void TOperatorTools::showConnection()
{
    connectionLabel->setText(connectionText);
    // A screen reader says what the label is and the state it shows.
    connectionLabel->setAccessibleName(connectionAccessibleName(connectionText));
}

void TOperatorTools::showRecording()
{
    menuRecord->setChecked(recorder.active());
    const bool failed = !recorder.active() && recorder.failed();
    if (!recorder.active() && !failed) {
        recordingLabel->hide();
        recordingLabel->clear();
        return;
    }
    const QString title = failed ? recordingFailedTitle : recordingTitle;
    // The file's name as far as the bar has room; the whole path in the tooltip.
    const QString name = recordingLabel->fontMetrics().elidedText(QFileInfo(recorder.path()).fileName(),
                                                                  Qt::ElideMiddle, 160);
    recordingLabel->setText(title + name);
    recordingLabel->setToolTip(QDir::toNativeSeparators(recorder.path()));
    recordingLabel->show();
}

void TOperatorTools::polled(int outcome, float pascal)
{
    const QDateTime now = clock();
    if (outcome == display::Poll::Value) {
        setConnection(ConnectionState::Connected);
        const std::array<bool, 3> lampsOn = {w.AHMLed1->value() > w.AHMLed1->minimum(),
                                             w.AHMLed2->value() > w.AHMLed2->minimum(),
                                             w.AHMLed3->value() > w.AHMLed3->minimum()};
        history.append(now.toMSecsSinceEpoch(), pascal,
                       uint8_t(lampsOn[0] | lampsOn[1] << 1 | lampsOn[2] << 2));
        nameLiveValue(w);
        lastValueAt = now;
        describeLiveValue(false);
        if (recorder.active()) {
            RecordedValue value;
            value.time = now;
            value.pascal = pascal;
            value.shownNumber = display::shownNumber(pascal, w);
            value.unit = w.unitText;
            value.lamps = lampsOn;
            // A file that cannot be written stops the recording and says so
            // in the bar and the trend; the poll goes on without waiting.
            recorder.write(value);
        }
        if (trendWindow)
            trendWindow->historyChanged();
        return;
    }
    if (outcome == display::Poll::SwitchOff) {
        setConnection(stateAfterExchange(connection, false));
        describeLiveValue(true);
    }
    history.appendGap(now.toMSecsSinceEpoch());
    if (trendWindow)
        trendWindow->historyChanged();
}

void TOperatorTools::describeLiveValue(bool stale)
{
    // The label keeps the last value as it looks; a screen reader is told it is old, and since when.
    const QString text = stale && lastValueAt.isValid()
                             ? lastValueText + u' ' + lastValueAt.toString(QStringLiteral("HH:mm:ss"))
                             : QString();
    if (w.Aktualni->accessibleDescription() != text)
        w.Aktualni->setAccessibleDescription(text);
}

void TOperatorTools::showTrend()
{
    if (!trendWindow) {
        const TrendLibrary library = loadTrendLibrary(trendLibraryFolder);
        if (!library.factory) {
            showMessage(&w, translate(QStringLiteral("The trend cannot be opened")) + QChar(13) + library.error,
                        translate(QStringLiteral("Error")));
            return;
        }
        trendWindow = library.factory(&trendHost, &w);
        // The window's keys work while the trend has the focus, and leave it there.
        lendWindowKeys(*trendWindow->widget(), {w.menuExit, w.menuReadConfigurationFromDisk,
                                                w.menuWriteconfigurationToDisk, w.menuAbout, menuReadConfiguration,
                                                menuRecord});
    }
    QWidget *window = trendWindow->widget();
    window->show();
    window->raise();
    window->activateWindow();
}

void TOperatorTools::toggleRecording()
{
    if (recorder.active()) {
        recorder.stop();
        return;
    }
    const QString path = chooseSaveFile(&w, {translate(QStringLiteral("Record")),
                                             QStringLiteral("CSV (*.csv);;") + translate(QStringLiteral("All files"))
                                                 + QStringLiteral(" (*)"),
                                             QStringLiteral("csv")});
    if (!path.isEmpty() && !recorder.start(path))
        showMessage(&w, translate(QStringLiteral("Cannot open file")) + QChar(13) + path,
                    translate(QStringLiteral("Error")));
}

void TOperatorTools::compareWithTransmitter()
{
    // The window's own open dialog, as for reading a file into the window.
    const QString path = chooseOpenFile(&w, {QStringLiteral("Otevření souboru konfigurace"),
                                             QStringLiteral("Soubory konfigurace (*.cfg);;Všechny soubory (*)"),
                                             QStringLiteral("cfg")});
    if (path.isEmpty())
        return;
    const std::optional<config::ConfigurationFile> file = config::loadConfigurationFile(path);
    if (!file) {
        showMessage(&w, translate(QStringLiteral("Cannot open file")), translate(QStringLiteral("Error")));
        return;
    }
    // Not while the window is in the middle of its own exchange.
    if (w.polling || w.operationPending)
        return;

    // A record of its own: the window's record, fields and display stay as they are.
    ConfigurationRecord transmitter;
    std::array<int, 3> modes{-1, -1, -1};
    bool read = false;
    try {
        if (!theLink)
            throw std::runtime_error("no link");
        config::ReadHooks hooks;
        hooks.modeRead = [&modes](int output, int mode) { modes[static_cast<std::size_t>(output)] = mode; };
        config::readConfiguration(*theLink, transmitter, hooks);
        read = true;
    } catch (const std::exception &) {
    }
    setConnection(stateAfterExchange(connection, read));
    if (!read) {
        showMessage(&w, translate(QStringLiteral("Error reading configuration")), translate(QStringLiteral("Error")));
        return;
    }
    TCompareDialog dialog(path, compareRows(*file, transmitter, modes, w), &w);
    execModal(dialog);
}

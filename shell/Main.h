// The main window: every control of the tool, its state record and the event
// handlers. The controls come from Main.ui and keep their design names as
// members (V1_P2, Rozsah, AHMLed1, ...); the configuration record and the
// display state are base classes so their members keep their names too.
#pragma once

#include "ConfigurationRecord.h"
#include "DisplayState.h"
#include "ui_Main.h"

#include <QMainWindow>

#include <cstdint>
#include <utility>
#include <vector>

class QLabel;
class QTimer;
class TMainF;
class TOProgramu;
class TOperatorTools;

// The windows are drawn for the classic Windows controls (group box captions on
// the frame, 21-pixel edits); off Windows, Qt's "Windows" style draws them so.
// Called before the application object is made; QT_STYLE_OVERRIDE still wins.
void useDesignStyle();

// What a program adds around the window (operator/), made by each window once
// CmCreate has run and before its timers start; the additions find the window
// through its signals. None by default: the window needs nothing of them.
using WindowAdditions = TOperatorTools *(*)(TMainF &window);
void setWindowAdditions(WindowAdditions make);

class TMainF : public QMainWindow, public Ui_TMainF, public ConfigurationRecord, public DisplayState {
    Q_OBJECT

public:
    // Builds the window and runs CmCreate. Throws AnotherCopyRunning when
    // another copy of the tool runs.
    explicit TMainF(QWidget *parent = nullptr);
    ~TMainF() override;

    // ---- Controls made in code ----
    QLabel *StatusBar1 = nullptr;   // the status bar's one text
    QTimer *Timer1 = nullptr;       // live value and deferred operations, every 1000 ms
    QTimer *Timer3 = nullptr;       // start-up connection, once, about 1 s after creation
    TOProgramu *aboutWindow = nullptr; // made by the program entry, shown by menuAboutClick
    TOperatorTools *operatorTools = nullptr; // the additions, if the program has them (setWindowAdditions)

    // ---- State record beyond the configuration record and display state ----
    uint8_t outputState = 0;
    bool quiet = false;
    bool operationPending = false;
    bool polling = false;
    int pendingOperation = 0;
    // Set by a leaving check that took nothing from its edit (text that reads
    // as no usable number); cleared before the check runs.
    bool leaveCheckRefused = false;

    // ---- Start-up, shutdown, settings, language, About ----
    void CmCreate();
    void cmClose();
    void CmExit();
    void menuAboutClick();
    void menuLanguageSelectionClick();
    void translateMainWindow();
    void loadSettings();
    void saveSettings();

    // ---- Connection, live value, transmitter operations ----
    void CCmPoStartu();
    bool connectTransmitter();
    void Timer1Timer();
    void checkActualValueClick();
    bool decideOutputState(float value, float lower, float higher, int mode);
    void CmVycist();
    void CmKonfigurace();
    void CmKorekce();
    void CmDeviceInfo();

    // ---- Value entry: leaving a limit edit or Ro; every key pressed in Ro ----
    void CmFilter11();
    void CmFilter12();
    void CmFilter21();
    void CmFilter22();
    void CmFilter31();
    void CmFilter32();
    void CmFilterR();
    void CmKeyPress(int key); // Qt::Key code; Enter is Qt::Key_Return or Qt::Key_Enter

    // ---- Configuration files ----
    void CmSave();
    void CmLoad();

    // ---- Display modes and units ----
    void checkPressureClick();
    void checkHeightLiquidColumnClick();
    void CmPa();
    void CmkPa();
    void CmMPa();
    void Cmmbar();
    void Cmbar();
    void Cmpsi();
    void Cmmm();
    void Cmm();
    void CmInch();

signals:
    // What the window has just done, for the trend, the recording and the
    // connection state; they listen only and never reach the transmitter.
    // Every tick's poll: its display::Poll outcome and, with a value, the value in Pa.
    void liveValuePolled(int outcome, float pascal);
    // The start-up connection: devices counted, whether the transmitter answered.
    void connectionChecked(uint32_t devices, bool answered);
    // A read, write, zero correction or device info went through or failed.
    void transmitterAnswered(bool answered);
    // The unit, display mode or gravity in force changed.
    void displayChanged();
    // The window's texts were just translated anew (start-up, language dialog).
    void translated();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    using Handler = void (TMainF::*)();

    void applyDesignFonts();
    void placeWindow();
    void connectHandlers();
    void placeActivityMark();
    void updateRadioTabStops();
    void runHandler(Handler handler);
    // Runs the leaving check of the edit that has the focus, as leaving it
    // would; false when the check took nothing from it.
    bool checkFocusedEdit();

    // Edits whose leaving runs a handler, and unit buttons whose double click does.
    std::vector<std::pair<QObject *, Handler>> exitHandlers;
    std::vector<std::pair<QObject *, Handler>> doubleClickHandlers;
    // Set while a leaving handler runs: the focus moves it makes itself are
    // not the operator leaving another edit.
    bool runningExitHandler = false;
    std::vector<std::vector<QRadioButton *>> radioGroups;
};

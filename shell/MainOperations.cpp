// The window's transmitter handlers: the start-up connection, the live value
// and the four operations; thin over config/ and display/, with the controls
// and boxes.
#include "Main.h"

#include "ConfigurationExchange.h"
#include "DeviceInfo.h"
#include "Dialogs.h"
#include "Fix64usb.h"
#include "Lang.h"
#include "LiveValue.h"
#include "MainControls.h"
#include "Units.h"
#include "ValueEntry.h"
#include "ZeroCorrection.h"

#include <QLabel>
#include <QTimer>

#include <algorithm>
#include <array>
#include <initializer_list>
#include <vector>

using mainwindow::lamps;
using mainwindow::limitEdits;
using mainwindow::message;
using mainwindow::modeBoxes;
using mainwindow::selectedModes;
using mainwindow::showLimit;
using mainwindow::typedByOperator;

namespace {

enum PendingOperation { OperationZeroCorrection = 1, OperationRead = 2, OperationWrite = 3, OperationDeviceInfo = 4 };

constexpr unsigned kStatusTextMs = 1000;

// The link every operation uses; before the start-up connection made it, an
// operation fails as if the transmitter did not answer.
TFix64 &link()
{
    if (!theLink)
        throw TLinkError(kTextNoReply);
    return *theLink;
}

// The application-starting pointer on some widgets, the default one back however the scope is left.
class StartingPointer {
public:
    explicit StartingPointer(std::initializer_list<QWidget *> widgets) : widgets(widgets)
    {
        for (QWidget *w : this->widgets)
            w->setCursor(Qt::BusyCursor);
    }
    ~StartingPointer()
    {
        for (QWidget *w : widgets)
            w->unsetCursor();
    }
    StartingPointer(const StartingPointer &) = delete;
    StartingPointer &operator=(const StartingPointer &) = delete;

private:
    std::vector<QWidget *> widgets;
};

void runPendingOperation(TMainF &w)
{
    switch (w.pendingOperation) {
    case OperationZeroCorrection:
        w.CmKorekce();
        break;
    case OperationRead:
        w.CmVycist();
        break;
    case OperationWrite:
        w.CmKonfigurace();
        break;
    case OperationDeviceInfo:
        w.CmDeviceInfo();
        break;
    default:
        break;
    }
}

} // namespace

// ---- Connection ----

void TMainF::CCmPoStartu()
{
    Timer3->stop();
    unitText = QStringLiteral("kPa");
    pressureUnitText = QStringLiteral("kPa");
    lengthUnitText = QStringLiteral("mm");
    StartingPointer pointer{this, Panel1, Panel2, Panel3, Panel4, Panel5};
    if (connectTransmitter()) {
        quiet = true;
        CmVycist();
        quiet = false;
    } else {
        buttonWriteConfiguration->setEnabled(false);
    }
}

bool TMainF::connectTransmitter()
{
    if (!theLink)
        theLink = new TFix64;
    theLink->loadLibrary();
    theLink->openPipes(0);
    const uint32_t count = theLink->deviceCount();
    theLink->setSlaveAddress(kAnySlave);
    theLink->timeoutMs = 250;
    theLink->bytesRead = 0;
    StatusBar1->setText(QString());
    try {
        theLink->sendCommand2();
        theLink->sendCommand4();
        emit connectionChecked(count, true);
        return true;
    } catch (const std::exception &) {
        emit connectionChecked(count, false);
        StatusBar1->setText(translate(count > 0 ? QStringLiteral("The device does not reply")
                                                : QStringLiteral("The device is not connected")));
        StatusBar1->repaint();
        blockingPause(kStatusTextMs);
        StatusBar1->setText(QString());
        return false;
    }
}

// ---- Live value ----

void TMainF::Timer1Timer()
{
    if (!theLink || operationPending)
        return;
    if (!checkActualValue->isChecked() || polling)
        return;
    polling = true;
    Hvezdicka->setText(QStringLiteral("*"));
    Hvezdicka->repaint();

    const display::Poll poll = display::pollLiveValue(*theLink);
    if (poll.outcome == display::Poll::Value) {
        Aktualni->setText(display::shownWithUnit(poll.value, *this));
        const auto boxes = modeBoxes(*this);
        const auto leds = lamps(*this);
        for (int output = 0; output < 3; ++output) {
            const auto o = static_cast<std::size_t>(output);
            if (decideOutputState(poll.value, lowerValue(output), higherValue(output), boxes[o]->currentIndex()))
                leds[o]->setValue(outputState);
        }
    } else if (poll.outcome == display::Poll::SwitchOff) {
        checkActualValue->setChecked(false); // its handler resets the pipes
        for (QProgressBar *led : lamps(*this))
            led->setValue(0);
    }

    Hvezdicka->setText(QStringLiteral(" "));
    polling = false;
    emit liveValuePolled(poll.outcome, poll.value);
    if (operationPending)
        runPendingOperation(*this);
}

void TMainF::checkActualValueClick()
{
    if (!theLink || !theLink->libraryLoaded())
        return;
    resetPipes(*theLink);
}

bool TMainF::decideOutputState(float value, float lower, float higher, int mode)
{
    bool state = outputState != 0;
    if (!display::decideOutputState(value, lower, higher, mode, state))
        return false;
    outputState = state ? 1 : 0;
    return true;
}

// ---- Transmitter operations ----

void TMainF::CmVycist()
{
    operationPending = true;
    pendingOperation = OperationRead;
    if (polling)
        return;

    bool read = false;
    try {
        config::ReadHooks hooks;
        hooks.gravityOutOfRange = [this](float) { message(this, "Specific gravity out of range", "Message"); };
        hooks.gravityRead = [this] {
            Ro->setText(config::gravityText(specificGravity));
            CmFilterR();
        };
        hooks.nominalRangeRead = [this] { Rozsah->setText(display::shownWithUnit(nominalRange, *this)); };
        hooks.limitValueRead = [this](int i) {
            showLimit(limitEdits(*this)[static_cast<std::size_t>(i)], display::shownNumber(limitValue(i), *this));
        };
        hooks.modeRead = [this](int output, int mode) {
            modeBoxes(*this)[static_cast<std::size_t>(output)]->setCurrentIndex(mode);
        };
        config::readConfiguration(link(), *this, hooks);
        buttonWriteConfiguration->setEnabled(true);
        read = true;
    } catch (const std::exception &) {
    }

    operationPending = false;
    emit transmitterAnswered(read);
    if (!read) {
        if (!quiet)
            message(this, "Error reading configuration", "Error");
        return;
    }
    if (isPressure)
        checkPressureClick();
    else
        checkHeightLiquidColumnClick();
    if (!quiet)
        message(this, "Configuration successfully read", "Message");
}

void TMainF::CmKonfigurace()
{
    // Typed text that reads as no number would go out as 0: nothing is sent
    // while an edit holds some. An edit as the window showed it is no such
    // text, whatever it reads: its member goes out as it came.
    for (QLineEdit *edit : limitEdits(*this))
        if (typedByOperator(edit) && display::unreadableEntry(edit->text())) {
            message(this, display::kTextNotValidRealNumber, "Error");
            edit->setFocus();
            return;
        }
    if (display::unreadableEntry(Ro->text())) {
        message(this, display::kTextInvalidRealNumber, "Error");
        Ro->setFocus();
        return;
    }
    if (config::firstOutputOutOfOrder(*this) >= 0) {
        message(this, "Error in values of pressure", "Error");
        return;
    }
    operationPending = true;
    pendingOperation = OperationWrite;
    if (polling)
        return;

    bool written = false;
    try {
        config::writeConfiguration(link(), *this, Ro->text(), selectedModes(*this));
        written = true;
    } catch (const std::exception &) {
    }
    operationPending = false;
    emit transmitterAnswered(written);
    if (written)
        message(this, "Configuration successfully written", "Message");
    else
        message(this, "Error writing configuration", "Error");
}

void TMainF::CmKorekce()
{
    operationPending = true;
    pendingOperation = OperationZeroCorrection;
    if (polling)
        return;

    message(this, "Set the zero pressure and press OK", "Message");
    try {
        const display::ZeroMeasurement measured = display::measureZero(link());
        const QString question = translateWithColon(QStringLiteral("Zero error is")) +
                                 display::zeroErrorText(measured, *this) + QChar(13) +
                                 translate(QStringLiteral("Would you like to fix this error?"));
        if (showMessage(this, question, translate(QStringLiteral("Message")), MessageButtons::YesNo) ==
            MessageAnswer::Yes) {
            display::confirmZeroCorrection(link(), measured);
            message(this, "Correction successfully implemented", "Message");
        } else {
            display::declineZeroCorrection(link());
        }
        emit transmitterAnswered(true);
    } catch (const display::ZeroCorrectionError &) {
        emit transmitterAnswered(true); // it answered, with a value that cannot be used
        message(this, "Error zero correction", "Error");
    } catch (const std::exception &) {
        emit transmitterAnswered(false);
        message(this, "Error zero correction", "Error");
    }
    operationPending = false;
}

void TMainF::CmDeviceInfo()
{
    operationPending = true;
    pendingOperation = OperationDeviceInfo;
    if (polling)
        return;

    try {
        const uint16_t serial = display::readSerialNumber(link());
        emit transmitterAnswered(true);
        showMessage(this, translateFormat(QStringLiteral("Serial number is %i"), serial),
                    translate(QStringLiteral("Info")));
    } catch (const std::exception &) {
        emit transmitterAnswered(false);
        message(this, "Device not reply", "Error");
    }
    operationPending = false;
}

// The window's handlers over the simulated transmitter: start-up, the poll
// and its deferred operations, the four transmitter operations, value entry,
// files and units, with every box recorded instead of shown.
#include "ShellTestSupport.h"

#include "Fix64usb.h"
#include "Lang.h"
#include "Main.h"
#include "NumberText.h"

#include <QCheckBox>
#include <QMessageBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#ifndef QZ_NO_LIBRARY
#include "qzsim.h"
#include "SimulatorSupport.h"
using namespace simtest;
#endif

#include <array>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>

using namespace shelltest;

namespace {

struct Box {
    QString text;
    QString title;
    bool question = false;
    bool critical = false;
};

[[maybe_unused]] QStringList texts(const QList<Box> &boxes)
{
    QStringList list;
    for (const Box &b : boxes)
        list << b.title + ": " + b.text;
    return list;
}

#ifndef QZ_NO_LIBRARY

const QStringList kReadRequests = {"command 2", "read 890/8", "read 67/27", "read 67/4", "read 71/4",
                                   "read 75/1", "read 76/4",  "read 80/4",  "read 84/1", "read 85/4",
                                   "read 89/4", "read 93/1",  "command 1"};

// Sees every request just before the link sends it.
struct RequestTap {
    static inline MPUSBWriteFn original = nullptr;
    static inline std::function<void(const uint8_t *)> before;
    static uint32_t MPUSB_CALL write(void *h, const void *data, uint32_t len, uint32_t *got, uint32_t timeout)
    {
        if (before)
            before(static_cast<const uint8_t *>(data));
        return original(h, data, len, got, timeout);
    }
    static void attach(TFix64 &link, std::function<void(const uint8_t *)> f)
    {
        original = link._MPUSBWrite;
        before = std::move(f);
        link._MPUSBWrite = &write;
    }
};

// Loses the reply to the n-th request from now (drain reads aside).
struct LostReply {
    static inline MPUSBReadFn original = nullptr;
    static inline int lost = 0;
    static inline int reads = 0;
    static uint32_t MPUSB_CALL read(void *h, void *data, uint32_t len, uint32_t *got, uint32_t timeout)
    {
        const uint32_t ok = original(h, data, len, got, timeout);
        if (timeout != kDrainTimeoutMs && ++reads == lost) {
            *got = 0;
            return 0;
        }
        return ok;
    }
    static void attach(TFix64 &link, int n)
    {
        original = link._MPUSBRead;
        lost = n;
        reads = 0;
        link._MPUSBRead = &read;
    }
};

#endif

} // namespace

class MainOperationsTest : public QObject {
    Q_OBJECT

    std::unique_ptr<ConfigHome> home;
    std::unique_ptr<TMainF> window;
    DialogHooks previousHooks;
    QList<Box> boxes;
    // Answers a box; may do anything meanwhile, as ticks do while a real box is open.
    std::function<MessageAnswer(const Box &)> answer;
    QList<unsigned> pauses;
    QStringList statusWhilePausing;
    QList<Qt::CursorShape> pointerWhilePausing;

    TMainF &makeWindow()
    {
        window.reset();
        home = std::make_unique<ConfigHome>();
        window = stillWindow();
        return *window;
    }

    // The window after a successful start-up, logs and boxes cleared.
    TMainF &connectedWindow(bool pressure = true)
    {
        TMainF &w = makeWindow();
        w.isPressure = pressure;
        w.CCmPoStartu();
#ifndef QZ_NO_LIBRARY
        qzsim_clear_logs();
#endif
        boxes.clear();
        return w;
    }

private slots:
    void init()
    {
        delete theLink;
        theLink = nullptr;
#ifndef QZ_NO_LIBRARY
        qzsim_reset();
#endif
        setDecimalSeparatorForTesting(u'.');
        boxes.clear();
        answer = nullptr;
        pauses.clear();
        statusWhilePausing.clear();
        pointerWhilePausing.clear();
        DialogHooks hooks;
        hooks.message = [this](QWidget *, const MessageRequest &r) {
            const Box box{r.text, r.title, r.buttons == MessageButtons::YesNo, r.icon == MessageIcon::Critical};
            boxes << box;
            if (answer)
                return answer(box);
            return box.question ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        previousHooks = setDialogHooks(hooks);
        setPauseFunction([this](unsigned ms) {
            pauses << ms;
            if (window) {
                statusWhilePausing << window->StatusBar1->text();
                pointerWhilePausing << window->cursor().shape();
            }
        });
    }
    void cleanup()
    {
        window.reset();
        home.reset();
        delete theLink;
        theLink = nullptr;
        setDialogHooks(previousHooks);
        setPauseFunction({});
        setDecimalSeparatorForTesting(QChar());
    }

#ifdef QZ_NO_LIBRARY

    void startupWithoutLibrary()
    {
        TMainF &w = makeWindow();
        const QString statusBefore = w.StatusBar1->text();
        // through the timer, so the error meets the window's handler boundary
        w.Timer3->setInterval(0);
        w.Timer3->start();
        QTRY_COMPARE(boxes.size(), 1);
        QCOMPARE(boxes[0].text, QStringLiteral("Cannot find usb serial library mpusbapi.dll"));
        QVERIFY(boxes[0].critical);
        QVERIFY(!w.Timer3->isActive());
        QCOMPARE(w.StatusBar1->text(), statusBefore);
        QVERIFY(w.buttonWriteConfiguration->isEnabled());
        QVERIFY(pauses.isEmpty());
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        for (QWidget *p : {w.Panel1, w.Panel5})
            QVERIFY(!p->testAttribute(Qt::WA_SetCursor));
        // without its library the link answers nothing: the first tick switches the live value off, quietly
        w.checkActualValue->setChecked(true);
        w.Timer1Timer();
        QVERIFY(!w.checkActualValue->isChecked());
        QCOMPARE(w.Aktualni->text(), QStringLiteral("-"));
        QCOMPARE(boxes.size(), 1);
    }

#else

    void startupReadsQuietly_data()
    {
        QTest::addColumn<bool>("pressure"); // the display mode the settings file gave
        QTest::addColumn<QString>("lower1");
        QTest::addColumn<QString>("range");
        QTest::newRow("pressure") << true << "20.000" << "100.000 kPa";
        QTest::newRow("liquid column") << false << "2039" << "10194 mm";
    }
    void startupReadsQuietly()
    {
        QFETCH(bool, pressure);
        QFETCH(QString, lower1);
        QFETCH(QString, range);
        TMainF &w = makeWindow();
        w.isPressure = pressure;
        qzsim_clear_logs();
        w.CCmPoStartu();

        QCOMPARE(requestLog(), QStringList({"command 2", "command 4"}) + kReadRequests);
        // library, open, count, then the commands
        const QStringList calls = QString::fromLatin1(qzsim_call_log()).split('\n');
        const auto firstIndex = [&](const QString &prefix) {
            for (int i = 0; i < calls.size(); ++i)
                if (calls[i].startsWith(prefix))
                    return i;
            return -1;
        };
        QVERIFY(firstIndex("Open 0") >= 0);
        QVERIFY(firstIndex("Open 0") < firstIndex("GetDeviceCount"));
        QVERIFY(firstIndex("GetDeviceCount") < firstIndex("Write"));

        QVERIFY(boxes.isEmpty());
        QVERIFY(pauses.isEmpty());
        QVERIFY(w.StatusBar1->text().isEmpty());
        QVERIFY(w.buttonWriteConfiguration->isEnabled());
        QVERIFY(!w.quiet);
        QVERIFY(!w.operationPending);
        QCOMPARE(w.unitText, pressure ? QStringLiteral("kPa") : QStringLiteral("mm"));
        QCOMPARE(w.pressureUnitText, QStringLiteral("kPa"));
        QCOMPARE(w.lengthUnitText, QStringLiteral("mm"));
        QCOMPARE(w.V1_P1->text(), lower1);
        QCOMPARE(w.Rozsah->text(), range);
        QCOMPARE(w.Ro->text(), QStringLiteral("1000"));
        QCOMPARE(w.comboBoxConfiguration2->currentIndex(), 2);
        QCOMPARE(w.checkPressure->isChecked(), pressure);
        QCOMPARE(w.checkHeightLiquidColumn->isChecked(), !pressure);
        QCOMPARE(w.captionPressureUnits->isHidden(), !pressure);
        QCOMPARE(w.captionUnitsOfLength->isHidden(), pressure);
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!w.Panel3->testAttribute(Qt::WA_SetCursor));
    }

    void startupWarnsOfGravityEvenWhenQuiet()
    {
        qzsim_memory()[894] = 0xFF;
        qzsim_memory()[895] = 0xFF;
        TMainF &w = makeWindow();
        w.CCmPoStartu();
        QCOMPARE(texts(boxes), QStringList{"Message: Specific gravity out of range"});
        QCOMPARE(w.Ro->text(), QStringLiteral("1000"));
        QCOMPARE(w.specificGravity, 1000.0f);
    }

    void startupWithoutAnswer_data()
    {
        QTest::addColumn<int>("devices");
        QTest::addColumn<int>("fault");
        QTest::addColumn<QString>("status");
        QTest::newRow("no device") << 0 << int(QZSIM_FAULT_NONE) << "The device is not connected";
        QTest::newRow("silent device") << 1 << int(QZSIM_FAULT_NO_REPLY) << "The device does not reply";
        QTest::newRow("bad check byte") << 1 << int(QZSIM_FAULT_CRC) << "The device does not reply";
    }
    void startupWithoutAnswer()
    {
        QFETCH(int, devices);
        QFETCH(int, fault);
        QFETCH(QString, status);
        qzsim_set_device_count(uint32_t(devices));
        qzsim_set_fault(fault);
        TMainF &w = makeWindow();
        qzsim_clear_logs();
        w.CCmPoStartu();
        // command 2 only: it fails, command 4 never goes
        QCOMPARE(QString::fromLatin1(qzsim_call_log()).count(QStringLiteral("\nWrite ")) +
                     int(QString::fromLatin1(qzsim_call_log()).startsWith("Write ")),
                 1);
        QCOMPARE(pauses, QList<unsigned>{1000});
        QCOMPARE(statusWhilePausing, QStringList{status});
        QCOMPARE(pointerWhilePausing, QList<Qt::CursorShape>{Qt::BusyCursor});
        QVERIFY(w.StatusBar1->text().isEmpty());
        QVERIFY(!w.buttonWriteConfiguration->isEnabled());
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.Rozsah->text(), QString());
        QCOMPARE(w.cursor().shape(), Qt::ArrowCursor);
        QVERIFY(!w.Panel1->testAttribute(Qt::WA_SetCursor));

        // a later read by hand enables the button again once the transmitter answers
        qzsim_set_device_count(1);
        qzsim_set_fault(QZSIM_FAULT_NONE);
        w.CmVycist();
        QVERIFY(w.buttonWriteConfiguration->isEnabled());
        QCOMPARE(texts(boxes), QStringList{"Message: Configuration successfully read"});
    }

    void tickShowsValueAndLamps()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        qzsim_clear_logs();
        qzsim_set_value(90000); // output 1 Compression 20..60 kPa, 2 Extraction 40..80, 3 Correct value 30..70
        QStringList markWhileAsking;
        RequestTap::attach(*theLink, [&](const uint8_t *) { markWhileAsking << w.Hvezdicka->text(); });
        w.Timer1Timer();
        QCOMPARE(requestLog(), (QStringList{"command 1", "query 4"}));
        QCOMPARE(markWhileAsking, (QStringList{"*", "*"}));
        QCOMPARE(w.Hvezdicka->text(), QStringLiteral(" "));
        QCOMPARE(w.Aktualni->text(), QStringLiteral("90.000 kPa"));
        QCOMPARE(w.AHMLed1->value(), 0);
        QCOMPARE(w.AHMLed2->value(), 1);
        QCOMPARE(w.AHMLed3->value(), 0);

        qzsim_set_value(10000);
        w.Timer1Timer();
        QCOMPARE(w.Aktualni->text(), QStringLiteral("10.000 kPa"));
        QCOMPARE(w.AHMLed1->value(), 1);
        QCOMPARE(w.AHMLed2->value(), 0);
        QCOMPARE(w.AHMLed3->value(), 0);

        // inside the bands the hysteresis keeps the lamps, Correct value lights
        qzsim_set_value(50000);
        w.Timer1Timer();
        QCOMPARE(w.AHMLed1->value(), 1);
        QCOMPARE(w.AHMLed2->value(), 0);
        QCOMPARE(w.AHMLed3->value(), 1);
        QVERIFY(boxes.isEmpty());
    }

    void tickDoesNothing_data()
    {
        QTest::addColumn<bool>("link");
        QTest::addColumn<bool>("checked");
        QTest::addColumn<bool>("pending");
        QTest::newRow("no link yet") << false << true << false;
        QTest::newRow("not checked") << true << false << false;
        QTest::newRow("operation pending") << true << true << true;
    }
    void tickDoesNothing()
    {
        QFETCH(bool, link);
        QFETCH(bool, checked);
        QFETCH(bool, pending);
        TMainF &w = link ? connectedWindow() : makeWindow();
        w.checkActualValue->setChecked(checked);
        w.operationPending = pending;
        w.pendingOperation = 2;
        qzsim_clear_logs();
        w.Timer1Timer();
        QCOMPARE(qzsim_request_count(), 0u);
        QCOMPARE(w.Aktualni->text(), QStringLiteral("-"));
        QCOMPARE(w.operationPending, pending);
    }

    void requestDuringPollRunsAfterIt_data()
    {
        QTest::addColumn<int>("operation");
        QTest::addColumn<QStringList>("requests");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("read") << 2 << kReadRequests << QStringList{"Message: Configuration successfully read"};
        QTest::newRow("write") << 3 << QStringList{"command 2", "write 894/4", "write 67/27", "command 1"}
                               << QStringList{"Message: Configuration successfully written"};
        QTest::newRow("zero correction")
            << 1 << QStringList{"command 2", "read 940/4", "query 4", "command 13", "query 4", "write 940/4", "command 1"}
            << QStringList{"Message: Set the zero pressure and press OK",
                           "Message: Zero error is: 0.000 kPa\rWould you like to fix this error?",
                           "Message: Correction successfully implemented"};
        QTest::newRow("device info") << 4 << QStringList{"read 7/2"} << QStringList{"Info: Serial number is 12345"};
    }
    void requestDuringPollRunsAfterIt()
    {
        QFETCH(int, operation);
        QFETCH(QStringList, requests);
        QFETCH(QStringList, shown);
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        qzsim_set_value(0);
        qzsim_clear_logs();
        bool requested = false;
        int requestsWhenAsked = -1;
        QStringList stateAtFirstRequest;
        RequestTap::attach(*theLink, [&](const uint8_t *r) {
            if (r[3] == 5 && !requested) {
                // the operator presses the button while the poll waits for its value
                requested = true;
                QVERIFY(w.polling);
                switch (operation) {
                case 1: w.CmKorekce(); break;
                case 2: w.CmVycist(); break;
                case 3: w.CmKonfigurace(); break;
                case 4: w.CmDeviceInfo(); break;
                }
                requestsWhenAsked = int(qzsim_request_count());
                QVERIFY(w.operationPending);
                QCOMPARE(w.pendingOperation, operation);
                QVERIFY(boxes.isEmpty());
            } else if (requested && stateAtFirstRequest.isEmpty()) {
                stateAtFirstRequest << (w.polling ? "polling" : "idle") << w.Hvezdicka->text();
            }
        });
        w.Timer1Timer();
        QCOMPARE(requestsWhenAsked, 1); // nothing went out for the request itself
        QCOMPARE(requestLog(), QStringList({"command 1", "query 4"}) + requests);
        QCOMPARE(stateAtFirstRequest, (QStringList{"idle", " "}));
        QCOMPARE(texts(boxes), shown);
        QVERIFY(!w.operationPending);
        QVERIFY(!w.polling);
    }

    void ticksWaitWhileZeroCorrectionAsks()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        qzsim_clear_logs();
        qzsim_push_reading(12);
        qzsim_push_reading(14);
        const float offset = 5;
        std::memcpy(qzsim_memory() + 940, &offset, 4);
        QList<int> requestsAcrossTicks;
        QList<bool> pendingInBoxes;
        answer = [&](const Box &box) {
            pendingInBoxes << w.operationPending;
            const int before = int(qzsim_request_count());
            for (int i = 0; i < 3; ++i)
                w.Timer1Timer(); // a box stays open for as long as the operator likes
            requestsAcrossTicks << int(qzsim_request_count()) - before;
            return box.question ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        w.CmKorekce();
        QCOMPARE(requestsAcrossTicks, (QList<int>{0, 0, 0}));
        QCOMPARE(pendingInBoxes, (QList<bool>{true, true, true}));
        QCOMPARE(texts(boxes), (QStringList{"Message: Set the zero pressure and press OK",
                                            "Message: Zero error is: 0.013 kPa\rWould you like to fix this error?",
                                            "Message: Correction successfully implemented"}));
        QVERIFY(boxes[1].question);
        QCOMPARE(requestLog(), (QStringList{"command 2", "read 940/4", "query 4", "command 13", "query 4",
                                            "write 940/4", "command 1"}));
        QCOMPARE(memoryFloat(940), -7.0f);
        QCOMPARE(pauses, QList<unsigned>{500});
        QVERIFY(!w.operationPending);
        QVERIFY(w.checkActualValue->isChecked());
        // and polling goes on afterwards
        w.Timer1Timer();
        QCOMPARE(requestLog().mid(7), (QStringList{"command 1", "query 4"}));
    }

    void transmitterGoesAwayWhilePolling()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        qzsim_set_value(10000);
        w.Timer1Timer();
        QCOMPARE(w.Aktualni->text(), QStringLiteral("10.000 kPa"));
        QCOMPARE(w.AHMLed1->value(), 1);
        w.AHMLed3->setValue(1);

        qzsim_set_device_count(0);
        qzsim_clear_logs();
        w.Timer1Timer();
        QVERIFY(!w.checkActualValue->isChecked());
        for (QProgressBar *led : {w.AHMLed1, w.AHMLed2, w.AHMLed3})
            QCOMPARE(led->value(), 0);
        QCOMPARE(w.Aktualni->text(), QStringLiteral("10.000 kPa"));
        QCOMPARE(w.Hvezdicka->text(), QStringLiteral(" "));
        QVERIFY(boxes.isEmpty());
        // command 1 and its retry, then the check box's fresh pipes
        const QStringList calls = QString::fromLatin1(qzsim_call_log()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(calls.filter(QRegularExpression("^Write ")).size(), 2);
        int lastWrite = -1;
        for (int i = 0; i < calls.size(); ++i)
            if (calls[i].startsWith("Write "))
                lastWrite = i;
        const QStringList afterwards = calls.mid(lastWrite + 1);
        QCOMPARE(afterwards.filter(QRegularExpression("^Close ")).size(), 2);
        QCOMPARE(afterwards.filter(QRegularExpression("^Open 0 ")).size(), 2);
    }

    void tickWhoseRetryAnswers()
    {
        TMainF &w = connectedWindow();
        w.checkActualValue->setChecked(true);
        qzsim_set_value(90000); // output 1 Compression 20..60 kPa, 2 Extraction 40..80, 3 Correct value 30..70
        w.Timer1Timer();
        QCOMPARE(w.Aktualni->text(), QStringLiteral("90.000 kPa"));

        // the value's reply is lost; command 1 once more is answered
        qzsim_set_value(10000);
        qzsim_clear_logs();
        LostReply::attach(*theLink, 2);
        w.Timer1Timer();
        QCOMPARE(requestLog(), (QStringList{"command 1", "query 4", "command 1"}));
        QVERIFY(w.checkActualValue->isChecked());
        QVERIFY(!QString::fromLatin1(qzsim_call_log()).contains(QStringLiteral("Close")));
        QCOMPARE(w.Aktualni->text(), QStringLiteral("90.000 kPa"));
        QCOMPARE(w.AHMLed1->value(), 0);
        QCOMPARE(w.AHMLed2->value(), 1);
        QCOMPARE(w.Hvezdicka->text(), QStringLiteral(" "));
        QVERIFY(!w.polling);
        QVERIFY(boxes.isEmpty());

        // and the next tick shows the value and switches the lamps
        w.Timer1Timer();
        QVERIFY(w.checkActualValue->isChecked());
        QCOMPARE(w.Aktualni->text(), QStringLiteral("10.000 kPa"));
        QCOMPARE(w.AHMLed1->value(), 1);
        QCOMPARE(w.AHMLed2->value(), 0);
        QCOMPARE(w.AHMLed3->value(), 0);
        QVERIFY(boxes.isEmpty());
    }

    void checkBoxResetsPipes()
    {
        TMainF &w = connectedWindow();
        qzsim_clear_logs();
        w.checkActualValue->setChecked(true);
        const QStringList calls = QString::fromLatin1(qzsim_call_log()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(calls.filter(QRegularExpression("^Close ")).size(), 2);
        QCOMPARE(calls.filter(QRegularExpression("^Open 0 ")).size(), 2);
        QCOMPARE(qzsim_request_count(), 0u);
        w.Aktualni->setText("5.000 kPa");
        w.checkActualValue->setChecked(false); // the operator's clearing freezes the display
        QCOMPARE(w.Aktualni->text(), QStringLiteral("5.000 kPa"));
    }

    void zeroCorrectionAnswers_data()
    {
        QTest::addColumn<float>("first");
        QTest::addColumn<float>("second");
        QTest::addColumn<bool>("yes");
        QTest::addColumn<bool>("millimetres");
        QTest::addColumn<QString>("question");
        QTest::addColumn<QStringList>("after");  // requests after the second reading
        QTest::addColumn<float>("offset");
        const QString fix = QStringLiteral("\rWould you like to fix this error?");
        QTest::newRow("yes") << 12.0f << 14.0f << true << false << "Zero error is: 0.013 kPa" + fix
                             << QStringList{"write 940/4", "command 1"} << -7.0f;
        QTest::newRow("yes, readings swapped") << 14.0f << 12.0f << true << false << "Zero error is: 0.013 kPa" + fix
                                               << QStringList{"write 940/4", "command 1"} << -7.0f;
        QTest::newRow("negative readings") << -3.0f << -1.0f << true << false << "Zero error is: -0.002 kPa" + fix
                                           << QStringList{"write 940/4", "command 1"} << 8.0f;
        QTest::newRow("mm") << 13.0f << 13.0f << true << true << "Zero error is: 1 mm" + fix
                            << QStringList{"write 940/4", "command 1"} << -8.0f;
        QTest::newRow("no") << 12.0f << 14.0f << false << false << "Zero error is: 0.013 kPa" + fix
                            << QStringList{"command 1"} << 5.0f;
    }
    void zeroCorrectionAnswers()
    {
        QFETCH(float, first);
        QFETCH(float, second);
        QFETCH(bool, yes);
        QFETCH(bool, millimetres);
        QFETCH(QString, question);
        QFETCH(QStringList, after);
        QFETCH(float, offset);
        TMainF &w = connectedWindow();
        if (millimetres)
            w.checkHeightLiquidColumnClick();
        const float stored = 5;
        std::memcpy(qzsim_memory() + 940, &stored, 4);
        qzsim_push_reading(first);
        qzsim_push_reading(second);
        answer = [&](const Box &box) {
            if (!box.question)
                return MessageAnswer::Ok;
            return yes ? MessageAnswer::Yes : MessageAnswer::No;
        };
        w.CmKorekce();
        QCOMPARE(boxes.size(), yes ? 3 : 2);
        QCOMPARE(boxes[1].text, question);
        QCOMPARE(boxes[1].title, QStringLiteral("Message"));
        QVERIFY(boxes[1].question);
        if (yes)
            QCOMPARE(texts({boxes[2]}), QStringList{"Message: Correction successfully implemented"});
        QCOMPARE(requestLog().mid(5), after);
        QCOMPARE(memoryFloat(940), offset);
        QVERIFY(!w.operationPending);
    }

    // Whatever the transmitter reads or holds, the offset written is a number.
    void zeroCorrectionWritesOnlyAFiniteOffset_data()
    {
        const float nan = std::numeric_limits<float>::quiet_NaN();
        const float inf = std::numeric_limits<float>::infinity();
        QTest::addColumn<float>("stored");
        QTest::addColumn<float>("first");
        QTest::addColumn<float>("second");
        QTest::addColumn<bool>("asked");     // the question came
        QTest::addColumn<float>("written");  // NaN: nothing written
        QTest::newRow("first reading NaN") << 5.0f << nan << 12.0f << false << nan;
        QTest::newRow("second reading infinite") << 5.0f << 12.0f << inf << false << nan;
        QTest::newRow("both readings -infinite") << 5.0f << -inf << -inf << false << nan;
        QTest::newRow("correction beyond a float") << 3e38f << -3e38f << -3e38f << true << nan;
        QTest::newRow("stored offset NaN counts as 0") << nan << 12.0f << 14.0f << true << -12.0f;
        QTest::newRow("stored offset infinite counts as 0") << -inf << -3.0f << -1.0f << true << 3.0f;
    }
    void zeroCorrectionWritesOnlyAFiniteOffset()
    {
        QFETCH(float, stored);
        QFETCH(float, first);
        QFETCH(float, second);
        QFETCH(bool, asked);
        QFETCH(float, written);
        TMainF &w = connectedWindow();
        putFloat(940, stored);
        const QByteArray storedBytes(reinterpret_cast<const char *>(qzsim_memory()) + 940, 4);
        qzsim_push_reading(first);
        qzsim_push_reading(second);
        w.CmKorekce();
        const QStringList measured{"command 2", "read 940/4", "query 4", "command 13", "query 4"};
        QCOMPARE(boxes.size(), asked ? 3 : 2);
        QCOMPARE(boxes.first().text, QStringLiteral("Set the zero pressure and press OK"));
        QCOMPARE(boxes[1].question, asked);
        if (std::isnan(written)) {
            QCOMPARE(texts({boxes.last()}), QStringList{"Error: Error zero correction"});
            QCOMPARE(requestLog(), measured); // no write, and no command 1 after a failure
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(qzsim_memory()) + 940, 4), storedBytes);
        } else {
            QCOMPARE(texts({boxes.last()}), QStringList{"Message: Correction successfully implemented"});
            QCOMPARE(requestLog(), measured + QStringList({"write 940/4", "command 1"}));
            QCOMPARE(memoryFloat(940), written);
        }
        QVERIFY(!w.operationPending);
    }

    void zeroCorrectionUnplugged()
    {
        TMainF &w = connectedWindow();
        qzsim_set_device_count(0);
        w.CmKorekce();
        QCOMPARE(texts(boxes), (QStringList{"Message: Set the zero pressure and press OK", "Error: Error zero correction"}));
        QVERIFY(!w.operationPending);
    }

    // The question as the operator meets it, a real box: Enter must not shift the offset.
    void zeroCorrectionQuestionAtTheKeyboard_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QStringList>("after"); // requests after the second reading
        QTest::addColumn<float>("offset");
        QTest::addColumn<int>("shown");
        QTest::newRow("Enter") << "Enter" << QStringList{"command 1"} << 5.0f << 2;
        QTest::newRow("Y key") << "Y" << QStringList{"write 940/4", "command 1"} << -7.0f << 3;
        QTest::newRow("N key") << "N" << QStringList{"command 1"} << 5.0f << 2;
        QTest::newRow("click on Yes") << "click Yes" << QStringList{"write 940/4", "command 1"} << -7.0f << 3;
    }
    void zeroCorrectionQuestionAtTheKeyboard()
    {
        QFETCH(QString, answer);
        QFETCH(QStringList, after);
        QFETCH(float, offset);
        QFETCH(int, shown);
        TMainF &w = connectedWindow();
        putFloat(940, 5);
        qzsim_push_reading(12);
        qzsim_push_reading(14);
        RealBoxes real;
        real.act = [&](QMessageBox &box) {
            if (!(box.standardButtons() & QMessageBox::Yes))
                RealBoxes::pressKey(box, Qt::Key_Return);
            else if (answer == "Enter")
                RealBoxes::pressKey(box, Qt::Key_Return);
            else if (answer == "Y")
                RealBoxes::pressKey(box, Qt::Key_Y);
            else if (answer == "N")
                RealBoxes::pressKey(box, Qt::Key_N);
            else
                QTest::mouseClick(box.button(QMessageBox::Yes), Qt::LeftButton);
        };
        w.CmKorekce();
        QCOMPARE(real.texts.size(), shown);
        QCOMPARE(real.texts[1], QStringLiteral("Zero error is: 0.013 kPa\nWould you like to fix this error?"));
        QCOMPARE(requestLog().mid(5), after);
        QCOMPARE(memoryFloat(940), offset);
        QVERIFY(!w.operationPending);
    }

    void deviceInfo_data()
    {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<bool>("plugged");
        QTest::addColumn<QString>("shown");
        QTest::newRow("12345") << 0x39 << 0x30 << true << "Info: Serial number is 12345";
        QTest::newRow("65535") << 0xFF << 0xFF << true << "Info: Serial number is 65535";
        QTest::newRow("unplugged") << 0x39 << 0x30 << false << "Error: Device not reply";
    }
    void deviceInfo()
    {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(bool, plugged);
        QFETCH(QString, shown);
        TMainF &w = connectedWindow();
        qzsim_memory()[7] = uint8_t(low);
        qzsim_memory()[8] = uint8_t(high);
        if (!plugged)
            qzsim_set_device_count(0);
        w.CmDeviceInfo();
        QCOMPARE(texts(boxes), QStringList{shown});
        QVERIFY(!w.operationPending);
        QCOMPARE(w.pendingOperation, 4);
    }

    void operationsBeforeTheLinkExists()
    {
        TMainF &w = makeWindow();
        w.CmDeviceInfo();
        w.CmVycist();
        w.CmKonfigurace();
        QCOMPARE(texts(boxes), (QStringList{"Error: Device not reply", "Error: Error reading configuration",
                                            "Error: Error writing configuration"}));
        QVERIFY(!w.operationPending);
    }

    void readFailingAfterOutput1()
    {
        TMainF &w = connectedWindow();
        const float lower = 11111, higher = 22222;
        std::memcpy(qzsim_memory() + 67, &lower, 4);
        std::memcpy(qzsim_memory() + 71, &higher, 4);
        w.V2_P1->setText("old");
        w.V3_P2->setText("old");
        qzsim_fail_from(7);
        w.CmVycist();
        QCOMPARE(w.V1_P1->text(), QStringLiteral("11.111"));
        QCOMPARE(w.V1_P2->text(), QStringLiteral("22.222"));
        QCOMPARE(w.V2_P1->text(), QStringLiteral("old"));
        QCOMPARE(w.V3_P2->text(), QStringLiteral("old"));
        QCOMPARE(texts(boxes), QStringList{"Error: Error reading configuration"});
        QVERIFY(!w.operationPending);
    }

    void readModeAboveFourLeavesNoSelection()
    {
        qzsim_memory()[84] = 9;
        TMainF &w = connectedWindow();
        QCOMPARE(w.comboBoxConfiguration2->currentIndex(), -1);
        QCOMPARE(w.comboBoxConfiguration1->currentIndex(), 1);
        qzsim_clear_logs();
        w.CmKonfigurace();
        QCOMPARE(qzsim_memory()[84], uint8_t(0xFF));
    }

    void writeChecksOrderFirst()
    {
        TMainF &w = connectedWindow();
        w.lowerValue2 = 5000;
        w.higherValue2 = 4000;
        w.pendingOperation = 0;
        w.CmKonfigurace();
        QCOMPARE(texts(boxes), QStringList{"Error: Error in values of pressure"});
        QCOMPARE(qzsim_request_count(), 0u);
        QCOMPARE(w.pendingOperation, 0);
        QVERIFY(!w.operationPending);
    }

    void writeTakesGravityFromRo()
    {
        TMainF &w = connectedWindow();
        w.Ro->setText("998,5"); // accepted by the entry check, not by the system's conversion
        w.CmKonfigurace();
        QCOMPARE(texts(boxes), QStringList{"Error: Error writing configuration"});
        QCOMPARE(requestLog(), QStringList{"command 2"});
        boxes.clear();
        qzsim_clear_logs();
        w.Ro->setText("998.5");
        w.CmKonfigurace();
        QCOMPARE(texts(boxes), QStringList{"Message: Configuration successfully written"});
        QCOMPARE(memoryFloat(894), 998.5f);
    }

    void limitEntryMessages()
    {
        TMainF &w = connectedWindow(); // 100 kPa range, kPa shown
        w.V1_P2->setText("101.01");
        w.V1_P1->setText("200");
        w.CmFilter11();
        QCOMPARE(texts(boxes), (QStringList{"Error: The value is out of range",
                                            "Error: Value is less than the lower value"}));
        QCOMPARE(w.higherValue1, float(double(101.01f) / double(0.001f)));
        QCOMPARE(w.V1_P2->text(), QStringLiteral("101.01")); // the typed text stays
        boxes.clear();
        w.V3_P1->setText("");
        w.CmFilter32();
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.lowerValue3, 0.0f);
    }

    void leavingAnEditWithTextThatIsNoNumber_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        const QString limit = QStringLiteral("Error: Not valid real number");
        QTest::newRow("V1_P2, letter O") << "V1_P2" << "2O" << limit;
        QTest::newRow("V1_P1, letters") << "V1_P1" << "abc" << limit;
        QTest::newRow("V2_P2, two separators") << "V2_P2" << "1.000,5" << limit;
        QTest::newRow("V2_P1, beyond a float") << "V2_P1" << "-1e39" << limit;
        QTest::newRow("V3_P2, letter O") << "V3_P2" << "6O" << limit;
        QTest::newRow("V3_P1, a sign alone") << "V3_P1" << "-" << limit;
        QTest::newRow("Ro, letter O") << "Ro" << "1OOO" << "Error: Invalid real number";
    }
    void leavingAnEditWithTextThatIsNoNumber()
    {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        TMainF &w = connectedWindow(false); // liquid column: a gravity taken would rescale the values
        const std::array<float, 6> values{w.lowerValue1, w.higherValue1, w.lowerValue2,
                                          w.higherValue2, w.lowerValue3, w.higherValue3};
        const float factor = w.unitFactor;
        auto *field = w.findChild<QLineEdit *>(edit);
        QVERIFY(field);
        w.BitBtnDeviceInfo->setFocus();
        field->setText(typed);
        const std::pair<QLineEdit *, void (TMainF::*)()> handlers[] = {
            {w.V1_P2, &TMainF::CmFilter11}, {w.V1_P1, &TMainF::CmFilter12}, {w.V2_P2, &TMainF::CmFilter21},
            {w.V2_P1, &TMainF::CmFilter22}, {w.V3_P2, &TMainF::CmFilter31}, {w.V3_P1, &TMainF::CmFilter32},
            {w.Ro, &TMainF::CmFilterR}};
        for (const auto &[e, handler] : handlers)
            if (e == field)
                (w.*handler)();
        QCOMPARE(texts(boxes), QStringList{shown});
        QCOMPARE(w.focusWidget(), field);
        QCOMPARE(field->text(), typed);
        const std::array<float, 6> now{w.lowerValue1, w.higherValue1, w.lowerValue2,
                                       w.higherValue2, w.lowerValue3, w.higherValue3};
        QCOMPARE(now, values);
        QCOMPARE(w.specificGravity, 1000.0f);
        QCOMPARE(w.referenceSpecificGravity, 1000.0f);
        QCOMPARE(w.unitFactor, factor);
        QCOMPARE(qzsim_request_count(), 0u);
    }

    // Limit edits the operator has not changed write their members exactly as
    // read, however they show: not-a-number and infinite bytes as they came,
    // and no value rounded by a coarse unit and read back.
    void untouchedEditsWriteTheMembersAsRead_data()
    {
        QTest::addColumn<bool>("pressure");
        QTest::addColumn<bool>("nonFinite");
        QTest::newRow("kPa") << true << false;
        QTest::newRow("mm, coarse") << false << false;
        QTest::newRow("kPa, NaN and Inf") << true << true;
        QTest::newRow("mm, NaN and Inf") << false << true;
    }
    void untouchedEditsWriteTheMembersAsRead()
    {
        QFETCH(bool, pressure);
        QFETCH(bool, nonFinite);
        if (nonFinite) {
            const uint8_t quietNanWithPayload[4] = {0x01, 0x00, 0xC0, 0x7F};
            const uint8_t negativeNan[4] = {0x55, 0x00, 0xC0, 0xFF};
            std::memcpy(qzsim_memory() + 67, quietNanWithPayload, 4);
            std::memcpy(qzsim_memory() + 80, negativeNan, 4);
            putFloat(85, -std::numeric_limits<float>::infinity());
            putFloat(89, std::numeric_limits<float>::infinity());
        }
        const QByteArray block(reinterpret_cast<const char *>(qzsim_memory()) + 67, 27);
        TMainF &w = connectedWindow(pressure);
        // The operator goes through every edit without typing.
        for (auto handler : {&TMainF::CmFilter11, &TMainF::CmFilter12, &TMainF::CmFilter21, &TMainF::CmFilter22,
                             &TMainF::CmFilter31, &TMainF::CmFilter32})
            (w.*handler)();
        QVERIFY(boxes.isEmpty());
        std::memset(qzsim_memory() + 67, 0, 27);
        w.CmKonfigurace();
        QCOMPARE(texts(boxes), QStringList{"Message: Configuration successfully written"});
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(qzsim_memory()) + 67, 27).toHex(' '), block.toHex(' '));

        // What the operator types is read, as always.
        boxes.clear();
        w.V1_P2->setText(pressure ? QStringLiteral("50") : QStringLiteral("5000"));
        w.CmFilter11();
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.higherValue1, pressure ? 50000.0f : float(5000.0 / double(w.lengthUnitFactor)));
    }

    void writeRefusesTextThatIsNoNumber_data()
    {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("refused");
        const char *names[] = {"V1_P2", "V1_P1", "V2_P2", "V2_P1", "V3_P2", "V3_P1", "Ro"};
        for (const char *name : names)
            QTest::addRow("%s, letter O", name) << name << "1O" << true;
        QTest::newRow("V2_P1, letters after the number") << "V2_P1" << "40kPa" << true;
        QTest::newRow("Ro, letters") << "Ro" << "water" << true;
        // Text that reads as a number goes out as before.
        QTest::newRow("V3_P1 empty") << "V3_P1" << "" << false;
        QTest::newRow("V3_P1 blanks") << "V3_P1" << "  " << false;
        QTest::newRow("V1_P2 with a comma") << "V1_P2" << "60,5" << false;
    }
    void writeRefusesTextThatIsNoNumber()
    {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(bool, refused);
        TMainF &w = connectedWindow();
        auto *field = w.findChild<QLineEdit *>(edit);
        QVERIFY(field);
        const QString before = field->text();
        const QByteArray memoryBefore(reinterpret_cast<const char *>(qzsim_memory()), 1024);
        w.BitBtnDeviceInfo->setFocus();
        field->setText(typed);
        w.pendingOperation = 0;
        w.CmKonfigurace();
        if (refused) {
            QCOMPARE(texts(boxes), QStringList{field == w.Ro ? "Error: Invalid real number"
                                                             : "Error: Not valid real number"});
            QCOMPARE(w.focusWidget(), field);
            QCOMPARE(QString::fromLatin1(qzsim_call_log()), QString()); // not even the pipes
            QCOMPARE(QByteArray(reinterpret_cast<const char *>(qzsim_memory()), 1024), memoryBefore);
            QCOMPARE(w.pendingOperation, 0);
            QVERIFY(!w.operationPending);
            // a number in its place again, and the write goes out
            boxes.clear();
            field->setText(before);
            w.CmKonfigurace();
        }
        QCOMPARE(texts(boxes), QStringList{"Message: Configuration successfully written"});
        QCOMPARE(requestLog(), (QStringList{"command 2", "write 894/4", "write 67/27", "command 1"}));
    }

    void gravityEntry()
    {
        TMainF &w = connectedWindow(false); // liquid column, mm
        w.lowerValue1 = 1000;
        w.higherValue1 = 2000;
        w.Ro->setText("500");
        w.CmKeyPress(Qt::Key_A);
        QCOMPARE(w.referenceSpecificGravity, 1000.0f);
        w.CmKeyPress(Qt::Key_Return);
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.lowerValue1, 500.0f);
        QCOMPARE(w.higherValue1, 1000.0f);
        QCOMPARE(w.unitFactor, w.lengthUnitFactor);
        w.Ro->setText("0");
        w.CmFilterR();
        QCOMPARE(texts(boxes), (QStringList{"Error: The value is out of range", "Error: Invalid real number"}));
        QCOMPARE(w.specificGravity, 0.0f);
        QCOMPARE(w.referenceSpecificGravity, 500.0f);
    }

    void lengthUnitWithUnusableGravity_data()
    {
        QTest::addColumn<QString>("gravity");
        QTest::addColumn<QString>("error");
        QTest::newRow("letters") << "abc" << "'abc' is not a valid floating point value";
        QTest::newRow("zero") << "0" << "Floating point division by zero";
    }
    void lengthUnitWithUnusableGravity()
    {
        QFETCH(QString, gravity);
        QFETCH(QString, error);
        TMainF &w = connectedWindow();
        w.Ro->setText(gravity);
        const float factor = w.lengthUnitFactor;
        w.Butm->click(); // through the window's handler boundary
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes[0].critical);
        QCOMPARE(boxes[0].text, error);
        QCOMPARE(w.unitOfLength, 1);
        QCOMPARE(w.lengthDecimals, 3);
        QCOMPARE(w.lengthUnitFactor, factor);
        QCOMPARE(w.lengthUnitText, QStringLiteral("mm"));
        QVERIFY(w.isPressure);
        QCOMPARE(w.V1_P1->text(), QStringLiteral("20.000"));
    }

    void unitsRedisplay()
    {
        TMainF &w = connectedWindow();
        w.Cmbar();
        QCOMPARE(w.V1_P2->text(), QStringLiteral("0.600"));
        QCOMPARE(w.Rozsah->text(), QStringLiteral("1.000 bar"));
        QCOMPARE(w.unitOfPressure, 4);
        w.Ro->setText("500");
        w.CmInch();
        QCOMPARE(w.unitOfLength, 2);
        QVERIFY(!w.isPressure);
        QVERIFY(w.checkHeightLiquidColumn->isChecked());
        QCOMPARE(w.Rozsah->text(), QStringLiteral("802.7 inch"));
        QCOMPARE(w.lowerValue1, 20000.0f); // stored values never change with the unit
        w.CmkPa();
        QVERIFY(w.isPressure);
        QCOMPARE(w.Rozsah->text(), QStringLiteral("100.000 kPa"));
    }

    void filesRoundTrip()
    {
        TMainF &w = connectedWindow();
        const QString path = home->path() + "/saved.cfg";
        DialogHooks hooks = setDialogHooks({});
        hooks.saveFile = [&](QWidget *, const FileDialogRequest &r) {
            return r.title == QStringLiteral("Zápis souboru konfigurace") ? path : QString();
        };
        hooks.openFile = [&](QWidget *, const FileDialogRequest &r) {
            return r.title == QStringLiteral("Otevření souboru konfigurace") ? path : QString();
        };
        setDialogHooks(hooks);
        w.comboBoxConfiguration3->setCurrentIndex(-1);
        w.CmSave();
        QVERIFY(boxes.isEmpty());
        QCOMPARE(readBytes(path).split('\n').value(11), QByteArray("-1\r"));

        w.lowerValue1 = 1;
        w.comboBoxConfiguration1->setCurrentIndex(4);
        w.comboBoxConfiguration3->setCurrentIndex(0);
        w.Ro->setText("2");
        w.checkHeightLiquidColumnClick();
        w.CmLoad();
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.lowerValue1, 20000.0f);
        QCOMPARE(w.comboBoxConfiguration1->currentIndex(), 1);
        QCOMPARE(w.comboBoxConfiguration3->currentIndex(), -1);
        QCOMPARE(w.Ro->text(), QStringLiteral("1000"));
        QVERIFY(w.isPressure);
        QCOMPARE(w.V1_P1->text(), QStringLiteral("20.000"));

        // a refused file changes nothing
        writeBytes(path, "*** QZ5800 CONFIG *** \r\np\r\n");
        w.lowerValue1 = 3;
        w.CmLoad();
        QCOMPARE(texts(boxes), QStringList{"Error: Cannot open file"});
        QCOMPARE(w.lowerValue1, 3.0f);
    }

    // Saving first checks and takes the edit the operator is typing in, as
    // leaving it would; when the check takes nothing, nothing is saved.
    void saveShowsWhatYouSee_data()
    {
        QTest::addColumn<QString>("edit");  // the focused control
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("keyboard"); // Ctrl+S, else the menu item
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<int>("line");      // the file line that shows it, -1: no file
        QTest::addColumn<QString>("content");
        QTest::newRow("higher value, Ctrl+S") << "V1_P2" << "50" << true << QStringList{} << 3 << "49999.996094"; // 50 / 0.001f
        QTest::newRow("lower value, menu") << "V2_P1" << "45,5" << false << QStringList{} << 7 << "45499.996094";
        QTest::newRow("gravity, Ctrl+S") << "Ro" << "998" << true << QStringList{} << 2 << "998";
        QTest::newRow("out of range: warned and saved") << "V3_P2" << "200" << false
                                                        << QStringList{"Error: The value is out of range"} << 9
                                                        << "199999.984375";
        QTest::newRow("no number: not saved") << "V1_P1" << "2O" << true
                                              << QStringList{"Error: Not valid real number"} << -1 << "";
        QTest::newRow("gravity 0: not saved") << "Ro" << "0" << false
                                              << QStringList{"Error: The value is out of range",
                                                             "Error: Invalid real number"}
                                              << -1 << "";
        QTest::newRow("focus on a button") << "BitBtnDeviceInfo" << "" << true << QStringList{} << 3
                                           << "60000.000000";
    }
    void saveShowsWhatYouSee()
    {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(bool, keyboard);
        QFETCH(QStringList, shown);
        QFETCH(int, line);
        QFETCH(QString, content);
        TMainF &w = connectedWindow(); // output 1: 20 .. 60 kPa
        const QString path = home->path() + "/shown.cfg";
        DialogHooks hooks = setDialogHooks({});
        int dialogs = 0;
        hooks.saveFile = [&](QWidget *, const FileDialogRequest &) {
            ++dialogs;
            return path;
        };
        setDialogHooks(hooks);
        auto *focused = w.findChild<QWidget *>(edit);
        QVERIFY(focused);
        if (keyboard) {
            w.show();
            QVERIFY(QTest::qWaitForWindowActive(&w));
        }
        focused->setFocus();
        if (auto *field = qobject_cast<QLineEdit *>(focused)) {
            field->clear();
            QTest::keyClicks(field, typed);
        }
        if (keyboard)
            QTest::keyClick(focused, Qt::Key_S, Qt::ControlModifier);
        else
            w.menuWriteconfigurationToDisk->trigger();
        QCOMPARE(texts(boxes), shown);
        QCOMPARE(dialogs, line < 0 ? 0 : 1);
        QCOMPARE(QFile::exists(path), line >= 0);
        if (line >= 0)
            QCOMPARE(QString::fromLatin1(readBytes(path).split('\n').value(line)).trimmed(), content);
        QCOMPARE(w.focusWidget(), focused);
        QCOMPARE(qzsim_request_count(), 0u);
    }

    // A file whose number lines are no numbers is refused whole: nothing of it
    // reaches the window, and writing afterwards sends what was there before.
    void loadRefusesNumbersThatAreNoNumbers_data()
    {
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("text");
        QTest::newRow("gravity abc") << 2 << QByteArray("abc");
        QTest::newRow("gravity empty") << 2 << QByteArray("");
        QTest::newRow("higher value xyz") << 3 << QByteArray("xyz");
        QTest::newRow("last lower value 1O") << 10 << QByteArray("1O");
    }
    void loadRefusesNumbersThatAreNoNumbers()
    {
        QFETCH(int, line);
        QFETCH(QByteArray, text);
        TMainF &w = connectedWindow(false); // liquid column; the file says pressure
        QList<QByteArray> lines = {"*** QZ5800 CONFIG ***", "p", "500", "2000.000000", "1000.000000", "4",
                                   "4000.000000", "3000.000000", "4", "6000.000000", "5000.000000", "4"};
        lines[line] = text;
        const QString path = home->path() + "/bad.cfg";
        QVERIFY(writeBytes(path, lines.join("\r\n") + "\r\n"));
        DialogHooks hooks = setDialogHooks({});
        hooks.openFile = [&](QWidget *, const FileDialogRequest &) { return path; };
        setDialogHooks(hooks);
        const QByteArray block(reinterpret_cast<const char *>(qzsim_memory()) + 67, 27);
        QStringList shownBefore;
        for (QLineEdit *e : {w.V1_P1, w.V1_P2, w.V2_P1, w.V2_P2, w.V3_P1, w.V3_P2, w.Ro, w.Rozsah})
            shownBefore << e->text();

        w.CmLoad();
        QCOMPARE(texts(boxes), QStringList{"Error: Cannot open file"});
        QStringList shown;
        for (QLineEdit *e : {w.V1_P1, w.V1_P2, w.V2_P1, w.V2_P2, w.V3_P1, w.V3_P2, w.Ro, w.Rozsah})
            shown << e->text();
        QCOMPARE(shown, shownBefore);
        QVERIFY(!w.isPressure);
        QVERIFY(w.fileIsPressure); // as it was made, not the file's "p"
        QCOMPARE(w.comboBoxConfiguration1->currentIndex(), 1);

        boxes.clear();
        std::memset(qzsim_memory() + 67, 0, 27);
        w.CmKonfigurace();
        QCOMPARE(texts(boxes), QStringList{"Message: Configuration successfully written"});
        QCOMPARE(memoryFloat(894), 1000.0f);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(qzsim_memory()) + 67, 27).toHex(' '), block.toHex(' '));
    }

    void loadedGravityWaitsForEnter()
    {
        TMainF &w = connectedWindow(false); // liquid column in mm, gravity 1000
        const QString path = home->path() + "/water500.cfg";
        QVERIFY(writeBytes(path, "*** QZ5800 CONFIG ***\r\nh\r\n500\r\n2000.000000\r\n1000.000000\r\n1\r\n"
                                 "4000.000000\r\n3000.000000\r\n2\r\n6000.000000\r\n5000.000000\r\n3\r\n"));
        DialogHooks hooks = setDialogHooks({});
        hooks.openFile = [&](QWidget *, const FileDialogRequest &) { return path; };
        setDialogHooks(hooks);
        w.CmLoad();
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.Ro->text(), QStringLiteral("500"));
        // the heights are still those of gravity 1000: 1000 Pa is 102 mm of water
        QCOMPARE(w.specificGravity, 1000.0f);
        QCOMPARE(w.V1_P1->text(), QStringLiteral("102"));
        QCOMPARE(w.V1_P2->text(), QStringLiteral("204"));
        QCOMPARE(w.lowerValue1, 1000.0f);

        QTest::keyClick(w.Ro, Qt::Key_Return);
        QVERIFY(boxes.isEmpty());
        QCOMPARE(w.specificGravity, 500.0f);
        QCOMPARE(w.referenceSpecificGravity, 500.0f);
        // the heights stay, the pressures behind them follow the new gravity
        const std::array<float, 6> pressures{w.lowerValue1, w.higherValue1, w.lowerValue2,
                                             w.higherValue2, w.lowerValue3, w.higherValue3};
        QCOMPARE(pressures, (std::array<float, 6>{500, 1000, 1500, 2000, 2500, 3000}));
        QCOMPARE(w.V1_P1->text(), QStringLiteral("102"));
        w.Cmmm(); // shown afresh from the record
        QCOMPARE(w.V1_P1->text(), QStringLiteral("102"));
        QCOMPARE(w.V1_P2->text(), QStringLiteral("204"));
        QCOMPARE(w.V3_P2->text(), QStringLiteral("612"));
    }

#endif
};

QZ_SHELL_TEST_MAIN(MainOperationsTest)
#include "test_main_operations.moc"

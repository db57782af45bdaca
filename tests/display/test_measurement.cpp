#include "DeviceInfo.h"
#include "LiveValue.h"
#include "NumberText.h"
#include "Units.h"
#include "ZeroCorrection.h"
#include "qzsim.h"
#include "SimulatorSupport.h"

#include <QtTest>

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

using namespace display;
using namespace simtest;

namespace {

// Replies that get lost on the way back: the read of the n-th reply (from 1,
// counting only reads with the link's transaction time-out) comes back empty.
struct LostReplies {
    static inline MPUSBReadFn original = nullptr;
    static inline std::set<int> lost;
    static inline int reads = 0;
    static uint32_t MPUSB_CALL read(void *h, void *data, uint32_t len, uint32_t *got, uint32_t timeout)
    {
        const uint32_t ok = original(h, data, len, got, timeout);
        if (timeout == kDrainTimeoutMs)
            return ok;
        if (lost.count(++reads)) {
            *got = 0;
            return 0;
        }
        return ok;
    }
    static void attach(TFix64 &link, std::set<int> which)
    {
        original = link._MPUSBRead;
        lost = std::move(which);
        reads = 0;
        link._MPUSBRead = &read;
    }
};

// Value replies that announce two bytes instead of four.
struct ShortValueReplies {
    static inline MPUSBReadFn original = nullptr;
    static uint32_t MPUSB_CALL read(void *h, void *data, uint32_t len, uint32_t *got, uint32_t timeout)
    {
        const uint32_t ok = original(h, data, len, got, timeout);
        auto *r = static_cast<uint8_t *>(data);
        if (ok && r[3] == 5) {
            r[5] = 2;
            r[63] = TFix64::frameChecksum(r);
        }
        return ok;
    }
};

} // namespace

class MeasurementTest : public QObject {
    Q_OBJECT

    std::unique_ptr<TFix64> link;
    QList<unsigned> pauses;

private slots:
    void init()
    {
        qzsim_reset();
        pauses.clear();
        setPauseFunction([this](unsigned ms) { pauses << ms; });
        setDecimalSeparatorForTesting(u'.');
        link = simtest::connectedLink();
        qzsim_clear_logs();
    }
    void cleanup()
    {
        link.reset();
        setPauseFunction({});
        setDecimalSeparatorForTesting(QChar());
    }

    void lampSequence_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<bool>("initial");
        QTest::addColumn<QList<float>>("kPa");
        QTest::addColumn<QList<bool>>("lit");
        const QList<float> walk{150, 99.9f, 150, 200, 200.1f, 150};
        QTest::newRow("compression") << int(ModeCompression) << false << walk
                                     << QList<bool>{false, true, true, true, false, false};
        QTest::newRow("extraction") << int(ModeExtraction) << false << walk
                                    << QList<bool>{false, false, false, false, true, true};
        QTest::newRow("extraction, lit at first") << int(ModeExtraction) << true << walk
                                                  << QList<bool>{true, false, false, false, true, true};
        QTest::newRow("correct value") << int(ModeCorrectValue) << false << walk
                                       << QList<bool>{true, false, true, true, false, true};
        QTest::newRow("error value") << int(ModeErrorValue) << true << walk
                                     << QList<bool>{false, true, false, false, true, false};
        QTest::newRow("off") << int(ModeOff) << true << walk << QList<bool>{false, false, false, false, false, false};
        QTest::newRow("no selection, lit") << kNoMode << true << walk
                                           << QList<bool>{true, true, true, true, true, true};
        QTest::newRow("no selection, dark") << kNoMode << false << walk
                                            << QList<bool>{false, false, false, false, false, false};
        QTest::newRow("unknown mode") << 7 << true << walk << QList<bool>{true, true, true, true, true, true};
    }
    void lampSequence()
    {
        QFETCH(int, mode);
        QFETCH(bool, initial);
        QFETCH(QList<float>, kPa);
        QFETCH(QList<bool>, lit);
        bool lamp = initial;
        QList<bool> seen;
        for (float v : kPa) {
            bool state = !lamp; // whatever the decision leaves alone must not leak into the lamp
            if (decideOutputState(v * 1000, 100000, 200000, mode, state))
                lamp = state;
            seen << lamp;
        }
        QCOMPARE(seen, lit);
    }

    void lampAtTheEdges_data()
    {
        QTest::addColumn<int>("mode");
        QTest::addColumn<float>("value");
        QTest::addColumn<float>("lower");
        QTest::addColumn<float>("higher");
        QTest::addColumn<bool>("decided");
        QTest::addColumn<bool>("lit");
        const float nan = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("correct at lower") << 3 << 100.0f << 100.0f << 200.0f << true << true;
        QTest::newRow("correct at higher") << 3 << 200.0f << 100.0f << 200.0f << true << true;
        QTest::newRow("error at lower") << 4 << 100.0f << 100.0f << 200.0f << true << false;
        QTest::newRow("error at higher") << 4 << 200.0f << 100.0f << 200.0f << true << false;
        QTest::newRow("compression at lower") << 1 << 100.0f << 100.0f << 200.0f << false << false;
        QTest::newRow("compression at higher") << 1 << 200.0f << 100.0f << 200.0f << false << false;
        QTest::newRow("compression, limits crossed") << 1 << 150.0f << 200.0f << 100.0f << true << true;
        QTest::newRow("extraction, limits crossed") << 2 << 150.0f << 200.0f << 100.0f << true << false;
        QTest::newRow("compression, NaN") << 1 << nan << 100.0f << 200.0f << false << false;
        QTest::newRow("extraction, NaN") << 2 << nan << 100.0f << 200.0f << false << false;
        QTest::newRow("correct value, NaN") << 3 << nan << 100.0f << 200.0f << true << false;
        QTest::newRow("error value, NaN") << 4 << nan << 100.0f << 200.0f << true << false;
        QTest::newRow("error value, NaN limit") << 4 << 150.0f << nan << 200.0f << true << false;
    }
    void lampAtTheEdges()
    {
        QFETCH(int, mode);
        QFETCH(float, value);
        QFETCH(float, lower);
        QFETCH(float, higher);
        QFETCH(bool, decided);
        QFETCH(bool, lit);
        for (bool before : {false, true}) {
            bool state = before;
            QCOMPARE(decideOutputState(value, lower, higher, mode, state), decided);
            QCOMPARE(state, decided ? lit : before);
        }
    }

    void pollReadsTheValue()
    {
        qzsim_set_value(1234.5f);
        const Poll poll = pollLiveValue(*link);
        QCOMPARE(poll.outcome, Poll::Value);
        QCOMPARE(poll.value, 1234.5f);
        QCOMPARE(requestLog(), (QStringList{"command 1", "query 4"}));
        const uint8_t *query = qzsim_request(1);
        QCOMPARE(QByteArray(reinterpret_cast<const char *>(query + 7), 4), QByteArray(4, '\0'));
    }

    void pollFailures_data()
    {
        QTest::addColumn<QList<int>>("lostReplies");
        QTest::addColumn<int>("outcome");
        QTest::addColumn<QStringList>("requests");
        QTest::newRow("query lost, retry answered") << QList<int>{2} << int(Poll::Missed)
                                                    << QStringList{"command 1", "query 4", "command 1"};
        QTest::newRow("command 1 lost, retry answered") << QList<int>{1} << int(Poll::Missed)
                                                        << QStringList{"command 1", "command 1"};
        QTest::newRow("query and retry lost") << QList<int>{2, 3} << int(Poll::SwitchOff)
                                              << QStringList{"command 1", "query 4", "command 1"};
    }
    void pollFailures()
    {
        QFETCH(QList<int>, lostReplies);
        QFETCH(int, outcome);
        QFETCH(QStringList, requests);
        LostReplies::attach(*link, std::set<int>(lostReplies.begin(), lostReplies.end()));
        const Poll poll = pollLiveValue(*link);
        QCOMPARE(int(poll.outcome), outcome);
        QCOMPARE(requestLog(), requests);
    }

    void pollWithTransmitterGone()
    {
        qzsim_set_device_count(0);
        QCOMPARE(pollLiveValue(*link).outcome, Poll::SwitchOff);
    }

    void pollTakesAShortReplyAsZeros()
    {
        // a reply announcing fewer bytes leaves the rest of the cleared buffer at zero
        ShortValueReplies::original = link->_MPUSBRead;
        link->_MPUSBRead = &ShortValueReplies::read;
        qzsim_set_value(-1.0f); // bytes 00 00 80 bf: only the two zero bytes come across
        const Poll poll = pollLiveValue(*link);
        QCOMPARE(poll.outcome, Poll::Value);
        QCOMPARE(poll.value, 0.0f);
    }

    void zeroCorrection_data()
    {
        QTest::addColumn<float>("first");
        QTest::addColumn<float>("second");
        QTest::addColumn<float>("offset");
        QTest::addColumn<bool>("millimetres");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<float>("newOffset");
        QTest::newRow("12 and 14") << 12.0f << 14.0f << 5.0f << false << "0.013 kPa" << -7.0f;
        QTest::newRow("14 and 12") << 14.0f << 12.0f << 5.0f << false << "0.013 kPa" << -7.0f;
        QTest::newRow("negative readings") << -3.0f << -1.0f << 0.0f << false << "-0.002 kPa" << 3.0f;
        QTest::newRow("mm at 1000") << 12.0f << 14.0f << 0.0f << true << "1 mm" << -12.0f;
    }
    void zeroCorrection()
    {
        QFETCH(float, first);
        QFETCH(float, second);
        QFETCH(float, offset);
        QFETCH(bool, millimetres);
        QFETCH(QString, shown);
        QFETCH(float, newOffset);
        std::memcpy(qzsim_memory() + 940, &offset, 4);
        qzsim_push_reading(first);
        qzsim_push_reading(second);
        DisplayState s;
        selectPressureUnit(s, 1);
        selectLengthUnit(s, 0, "1000");
        if (millimetres)
            applyLengthMode(s);
        else
            applyPressureMode(s);

        const ZeroMeasurement m = measureZero(*link);
        QCOMPARE(m.storedOffset, offset);
        QCOMPARE(m.first, first);
        QCOMPARE(m.second, second);
        QCOMPARE(zeroErrorText(m, s), shown);
        QCOMPARE(correctedOffset(m), newOffset);
        QCOMPARE(pauses, QList<unsigned>{500});
        QCOMPARE(requestLog(), (QStringList{"command 2", "read 940/4", "query 4", "command 13", "query 4"}));

        confirmZeroCorrection(*link, m);
        QCOMPARE(memoryFloat(940), newOffset);
        QCOMPARE(requestLog().mid(5), (QStringList{"write 940/4", "command 1"}));
    }

    void zeroCorrectionDeclined()
    {
        qzsim_push_reading(12);
        qzsim_push_reading(14);
        const float offset = 5;
        std::memcpy(qzsim_memory() + 940, &offset, 4);
        measureZero(*link);
        declineZeroCorrection(*link);
        QCOMPARE(requestLog().mid(5), QStringList{"command 1"});
        QCOMPARE(memoryFloat(940), 5.0f);
    }

    void zeroCorrectionUnplugged()
    {
        qzsim_set_device_count(0);
        QVERIFY_THROWS_EXCEPTION(TLinkError, measureZero(*link));
        QCOMPARE(qzsim_request_count(), 0u);
    }

    void zeroCorrectionFailingBeforeTheWriteKeepsTheOffset()
    {
        const float offset = 5;
        std::memcpy(qzsim_memory() + 940, &offset, 4);
        qzsim_fail_from(5); // the second reading gets no reply
        QVERIFY_THROWS_EXCEPTION(TLinkError, measureZero(*link));
        QCOMPARE(memoryFloat(940), 5.0f);
        QVERIFY(!requestLog().contains("command 1"));
    }

    void serialNumber_data()
    {
        QTest::addColumn<int>("low");
        QTest::addColumn<int>("high");
        QTest::addColumn<int>("serial");
        QTest::newRow("12345") << 0x39 << 0x30 << 12345;
        QTest::newRow("65535, not -1") << 0xFF << 0xFF << 65535;
        QTest::newRow("zero") << 0 << 0 << 0;
    }
    void serialNumber()
    {
        QFETCH(int, low);
        QFETCH(int, high);
        QFETCH(int, serial);
        qzsim_memory()[7] = uint8_t(low);
        qzsim_memory()[8] = uint8_t(high);
        QCOMPARE(int(readSerialNumber(*link)), serial);
        QCOMPARE(requestLog(), QStringList{"read 7/2"}); // no command 2, no command 1
    }

    void serialNumberUnplugged()
    {
        qzsim_set_device_count(0);
        QVERIFY_THROWS_EXCEPTION(TLinkError, readSerialNumber(*link));
    }
};

QTEST_GUILESS_MAIN(MeasurementTest)
#include "test_measurement.moc"

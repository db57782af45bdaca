// The widget-free parts behind the trend and the compare: the history ring and
// its reduction, the recording file, the connection state and the compare rows.
#include "CompareDialog.h"
#include "ConnectionState.h"
#include "Lang.h"
#include "NumberText.h"
#include "Recorder.h"
#include "TrendHistory.h"
#include "Units.h"

#include "FileSizeLimit.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimeZone>

#include <cmath>
#include <limits>

Q_DECLARE_METATYPE(ConnectionState)
Q_DECLARE_METATYPE(DeviceAccess)

namespace {

QStringList fileLines(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(f.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

RecordedValue sampleValue(float pascal, const QString &shown, std::array<bool, 3> lamps)
{
    RecordedValue v;
    v.time = QDateTime(QDate(2026, 12, 10), QTime(15, 4, 5), QTimeZone(3600));
    v.pascal = pascal;
    v.shownNumber = shown;
    v.unit = QStringLiteral("kPa");
    v.lamps = lamps;
    return v;
}

std::size_t pointCount(const TrendReduction &r)
{
    std::size_t n = 0;
    for (const auto &segment : r.segments)
        n += segment.size();
    return n;
}

} // namespace

class TrendCoreTest : public QObject {
    Q_OBJECT

private slots:
    void init() { currentLanguage = 0; }

    // ---- History ring ----

    void ringKeepsTheNewestWithinItsBound_data()
    {
        QTest::addColumn<int>("capacity");
        QTest::addColumn<int>("appended");
        QTest::newRow("not full") << 10 << 4;
        QTest::newRow("exactly full") << 10 << 10;
        QTest::newRow("wrapped once") << 10 << 13;
        QTest::newRow("wrapped many times") << 7 << 100;
        QTest::newRow("24 h plus an hour") << int(TrendHistory::kDefaultCapacity)
                                            << int(TrendHistory::kDefaultCapacity) + 3600;
    }
    void ringKeepsTheNewestWithinItsBound()
    {
        QFETCH(int, capacity);
        QFETCH(int, appended);
        TrendHistory history{std::size_t(capacity)};
        const std::size_t bytes = history.memoryBytes();
        for (int i = 0; i < appended; ++i)
            history.append(int64_t(i) * 1000, float(i));
        const int kept = std::min(capacity, appended);
        QCOMPARE(int(history.size()), kept);
        QCOMPARE(history.memoryBytes(), bytes);
        for (int i = 0; i < kept; ++i) {
            const int expected = appended - kept + i;
            QCOMPARE(history.at(std::size_t(i)).ms, int64_t(expected) * 1000);
            QCOMPARE(history.at(std::size_t(i)).pascal, float(expected));
        }
    }

    void twentyFourHoursFitTheMemoryBound()
    {
        TrendHistory history;
        QCOMPARE(history.capacity(), std::size_t(86400));
        QVERIFY(history.memoryBytes() <= 10u * 1024 * 1024);
    }

    void timeGoingBackKeepsTheOrder()
    {
        TrendHistory history;
        history.append(5000, 1);
        history.append(3000, 2); // the clock was set back
        history.append(6000, 3);
        QCOMPARE(history.at(1).ms, int64_t(5000));
        QCOMPARE(history.lowerBound(5001), std::size_t(2));
    }

    void gapsInARowAreOne()
    {
        TrendHistory history;
        history.appendGap(500); // nothing to break yet
        QCOMPARE(history.size(), std::size_t(0));
        history.append(1000, 1);
        history.appendGap(2000);
        history.appendGap(3000);
        history.append(4000, 2);
        QCOMPARE(history.size(), std::size_t(3));
        QVERIFY(std::isnan(history.at(1).pascal));
    }

    // ---- Reduction ----

    void reductionBreaksTheLineAtGaps_data()
    {
        QTest::addColumn<QList<qint64>>("times");
        QTest::addColumn<QList<float>>("values"); // NaN: a gap
        QTest::addColumn<QList<int>>("segmentSizes");
        const float gap = std::numeric_limits<float>::quiet_NaN();
        QTest::newRow("one run") << QList<qint64>{0, 1000, 2000, 3000} << QList<float>{1, 2, 3, 4}
                                 << QList<int>{4};
        QTest::newRow("switched off between") << QList<qint64>{0, 1000, 1500, 2000, 3000}
                                              << QList<float>{1, 2, gap, 3, 4} << QList<int>{2, 2};
        QTest::newRow("ticks missed without a gap mark") << QList<qint64>{0, 1000, 9000, 10000}
                                                         << QList<float>{1, 2, 3, 4} << QList<int>{2, 2};
        QTest::newRow("a late tick is still joined") << QList<qint64>{0, 1000, 3400} << QList<float>{1, 2, 3}
                                                      << QList<int>{3};
        QTest::newRow("gap first and last") << QList<qint64>{0, 1000, 2000, 3000}
                                            << QList<float>{gap, 1, 2, gap} << QList<int>{2};
        QTest::newRow("only gaps") << QList<qint64>{0, 1000} << QList<float>{gap, gap} << QList<int>{};
    }
    void reductionBreaksTheLineAtGaps()
    {
        QFETCH(QList<qint64>, times);
        QFETCH(QList<float>, values);
        QFETCH(QList<int>, segmentSizes);
        TrendHistory history;
        for (int i = 0; i < times.size(); ++i) {
            if (std::isnan(values[i]))
                history.appendGap(times[i]);
            else
                history.append(times[i], values[i]);
        }
        // wide enough for one sample per column
        const TrendReduction r = history.reduce(0, 20000, 20000);
        QList<int> sizes;
        for (const auto &segment : r.segments)
            sizes << int(segment.size());
        QCOMPARE(sizes, segmentSizes);
        for (const auto &segment : r.segments)
            for (const TrendPoint &p : segment)
                QVERIFY(!std::isnan(p.pascal));
    }

    void reductionKeepsEachColumnsExtremesInTimeOrder()
    {
        TrendHistory history;
        // 24 h of a slow wave with one short spike up and one down
        for (int64_t s = 0; s < 86400; ++s) {
            float v = float(std::sin(double(s) / 5000.0) * 1000.0);
            if (s == 40000)
                v = 50000;
            if (s == 70001)
                v = -50000;
            history.append(s * 1000, v);
        }
        const int columns = 800;
        const TrendReduction r = history.reduce(0, 86400 * 1000 - 1, columns);
        QCOMPARE(r.segments.size(), std::size_t(1));
        QVERIFY(pointCount(r) <= std::size_t(2 * columns));
        QVERIFY(pointCount(r) >= std::size_t(columns));
        QCOMPARE(r.maximum, 50000.0);
        QCOMPARE(r.minimum, -50000.0);
        bool spikeUp = false;
        bool spikeDown = false;
        double last = -1;
        for (const TrendPoint &p : r.segments[0]) {
            QVERIFY(p.ms >= last);
            last = p.ms;
            spikeUp = spikeUp || (p.pascal == 50000 && p.ms == 40000000);
            spikeDown = spikeDown || (p.pascal == -50000 && p.ms == 70001000);
        }
        QVERIFY(spikeUp);
        QVERIFY(spikeDown);
    }

    void statisticsCoverTheSpanOnly_data()
    {
        QTest::addColumn<qint64>("from");
        QTest::addColumn<qint64>("to");
        QTest::addColumn<int>("count");
        QTest::addColumn<double>("minimum");
        QTest::addColumn<double>("maximum");
        QTest::addColumn<double>("mean");
        // values 0, 10, 20, ... 90 at 0 s, 1 s, ... 9 s, with a gap at 4.5 s
        QTest::newRow("everything") << qint64(0) << qint64(9000) << 10 << 0.0 << 90.0 << 45.0;
        QTest::newRow("last three") << qint64(7000) << qint64(9000) << 3 << 70.0 << 90.0 << 80.0;
        QTest::newRow("around the gap") << qint64(4000) << qint64(5000) << 2 << 40.0 << 50.0 << 45.0;
        QTest::newRow("before everything") << qint64(-5000) << qint64(-1) << 0 << 0.0 << 0.0 << 0.0;
    }
    void statisticsCoverTheSpanOnly()
    {
        QFETCH(qint64, from);
        QFETCH(qint64, to);
        QFETCH(int, count);
        QFETCH(double, minimum);
        QFETCH(double, maximum);
        QFETCH(double, mean);
        TrendHistory history;
        for (int i = 0; i < 10; ++i) {
            history.append(i * 1000, float(i * 10));
            if (i == 4)
                history.appendGap(4500);
        }
        const TrendReduction r = history.reduce(from, to, 50);
        QCOMPARE(int(r.count), count);
        QCOMPARE(r.minimum, minimum);
        QCOMPARE(r.maximum, maximum);
        QCOMPARE(r.mean, mean);
    }

    void nearestValueSkipsGapsAndFarValues()
    {
        TrendHistory history;
        history.append(1000, 1);
        history.appendGap(2000);
        history.append(5000, 5);
        QCOMPARE(history.nearestValue(1900, 2500)->pascal, 1.0f);
        QCOMPARE(history.nearestValue(4000, 2500)->pascal, 5.0f);
        QVERIFY(!history.nearestValue(9000, 2500));
    }

    // ---- Recording file ----

    void isoTimeCarriesItsOffset_data()
    {
        QTest::addColumn<int>("offsetSeconds");
        QTest::addColumn<QString>("text");
        QTest::newRow("CET") << 3600 << "2026-12-10T15:04:05+01:00";
        QTest::newRow("UTC") << 0 << "2026-12-10T15:04:05+00:00";
        QTest::newRow("half hours west") << -(3 * 3600 + 1800) << "2026-12-10T15:04:05-03:30";
        QTest::newRow("Nepal") << 5 * 3600 + 45 * 60 << "2026-12-10T15:04:05+05:45";
    }
    void isoTimeCarriesItsOffset()
    {
        QFETCH(int, offsetSeconds);
        QFETCH(QString, text);
        const QDateTime t(QDate(2026, 12, 10), QTime(15, 4, 5), QTimeZone(offsetSeconds));
        QCOMPARE(TRecorder::isoTimeWithOffset(t), text);
    }

    void csvLineHoldsEveryField_data()
    {
        QTest::addColumn<float>("pascal");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("line");
        QTest::newRow("point") << 12345.5f << "12.346"
                               << "2026-12-10T15:04:05+01:00,12345.5,12.346,kPa,1,0,1";
        QTest::newRow("decimal comma is quoted") << -250.0f << "-0,250"
                                                 << "2026-12-10T15:04:05+01:00,-250,\"-0,250\",kPa,1,0,1";
    }
    void csvLineHoldsEveryField()
    {
        QFETCH(float, pascal);
        QFETCH(QString, shown);
        QFETCH(QString, line);
        QCOMPARE(TRecorder::csvLine(sampleValue(pascal, shown, {true, false, true})), line);
    }

    void recordingReachesTheFileLineByLineAndAppends()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("trend.csv"));
        TRecorder recorder;
        QVERIFY(recorder.start(path));
        QCOMPARE(fileLines(path), QStringList{TRecorder::kHeader});
        for (int i = 1; i <= 3; ++i) {
            QVERIFY(recorder.write(sampleValue(float(i * 1000), QString::number(i), {i == 1, i == 2, i == 3})));
            // read by another reader while the recording still runs
            const QStringList lines = fileLines(path);
            QCOMPARE(lines.size(), 1 + i);
            QCOMPARE(lines.last(), TRecorder::csvLine(sampleValue(float(i * 1000), QString::number(i),
                                                                  {i == 1, i == 2, i == 3})));
        }
        QCOMPARE(recorder.linesWritten(), qint64(3));
        recorder.stop();
        QVERIFY(!recorder.write(sampleValue(1, QStringLiteral("1"), {})));

        // a second recording into the same file continues it, without a second header
        TRecorder again;
        QVERIFY(again.start(path));
        QVERIFY(again.write(sampleValue(4000, QStringLiteral("4"), {})));
        again.stop();
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), 5);
        QCOMPARE(lines.count(QString::fromLatin1(TRecorder::kHeader)), 1);
        QVERIFY(lines.last().contains(QStringLiteral(",4000,4,kPa,0,0,0")));
        QCOMPARE(again.linesWritten(), qint64(1));
    }

    void aFullDiskStopsTheRecording()
    {
#ifdef Q_OS_LINUX
        TRecorder recorder;
        // /dev/full takes the open and refuses every byte: a full disk
        QVERIFY(!recorder.start(QStringLiteral("/dev/full")));
        QVERIFY(!recorder.active());
        QVERIFY(!recorder.errorText().isEmpty());
#else
        QSKIP("needs /dev/full");
#endif
    }

    void aWriteFailureMidwayStopsAndKeepsWhatWasWritten()
    {
#ifdef Q_OS_UNIX
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("trend.csv"));
        TRecorder recorder;
        QVERIFY(recorder.start(path));
        QVERIFY(recorder.write(sampleValue(1000, QStringLiteral("1.000"), {})));
        QVERIFY(recorder.write(sampleValue(2000, QStringLiteral("2.000"), {})));
        {
            // the file may grow no more: as a disk that has just filled up
            FileSizeLimit limit(QFileInfo(path).size());
            QVERIFY(!recorder.write(sampleValue(3000, QStringLiteral("3.000"), {})));
        }
        QVERIFY(!recorder.active());
        QVERIFY(!recorder.errorText().isEmpty());
        QCOMPARE(recorder.linesWritten(), qint64(2));
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), 3);
        QVERIFY(lines[2].contains(QStringLiteral(",2000,2.000,")));
#else
        QSKIP("needs a file size limit");
#endif
    }

    void aFileThatCannotBeOpenedStartsNothing()
    {
        QTemporaryDir dir;
        TRecorder recorder;
        QVERIFY(!recorder.start(dir.filePath(QStringLiteral("no such folder/trend.csv"))));
        QVERIFY(!recorder.active());
    }

    // ---- Connection state ----

    void connectionStateFollowsTheResults_data()
    {
        QTest::addColumn<uint>("devices");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<DeviceAccess>("access");
        QTest::addColumn<ConnectionState>("state");
        QTest::addColumn<QString>("text");
        QTest::newRow("answered") << 1u << true << DeviceAccess::Unknown << ConnectionState::Connected
                                  << "Transmitter connected";
        QTest::newRow("none plugged in") << 0u << false << DeviceAccess::NoDevice << ConnectionState::NotConnected
                                         << "Transmitter not connected";
        QTest::newRow("no permission") << 1u << false << DeviceAccess::Denied << ConnectionState::NotAccessible
                                       << "Transmitter not accessible";
        QTest::newRow("no permission, not counted") << 0u << false << DeviceAccess::Denied
                                                    << ConnectionState::NotAccessible << "Transmitter not accessible";
        QTest::newRow("silent") << 1u << false << DeviceAccess::Ready << ConnectionState::NotAnswering
                                << "Transmitter not answering";
        QTest::newRow("silent, library cannot tell") << 1u << false << DeviceAccess::Unknown
                                                     << ConnectionState::NotAnswering << "Transmitter not answering";
    }
    void connectionStateFollowsTheResults()
    {
        QFETCH(uint, devices);
        QFETCH(bool, answered);
        QFETCH(DeviceAccess, access);
        QFETCH(ConnectionState, state);
        QFETCH(QString, text);
        QCOMPARE(stateAfterStartup(devices, answered, access), state);
        QCOMPARE(connectionStateText(state), text);
    }

    void laterExchangesUpdateTheState_data()
    {
        QTest::addColumn<ConnectionState>("before");
        QTest::addColumn<bool>("answered");
        QTest::addColumn<ConnectionState>("after");
        QTest::newRow("lost") << ConnectionState::Connected << false << ConnectionState::NotAnswering;
        QTest::newRow("plugged in later") << ConnectionState::NotConnected << true << ConnectionState::Connected;
        QTest::newRow("still none") << ConnectionState::NotConnected << false << ConnectionState::NotConnected;
        QTest::newRow("still denied") << ConnectionState::NotAccessible << false << ConnectionState::NotAccessible;
        QTest::newRow("back") << ConnectionState::NotAnswering << true << ConnectionState::Connected;
        QTest::newRow("nothing known yet") << ConnectionState::Unknown << false << ConnectionState::NotAnswering;
    }
    void laterExchangesUpdateTheState()
    {
        QFETCH(ConnectionState, before);
        QFETCH(bool, answered);
        QFETCH(ConnectionState, after);
        QCOMPARE(stateAfterExchange(before, answered), after);
    }

    // ---- Compare rows ----

    void compareRowsMarkWhatDiffers_data()
    {
        QTest::addColumn<int>("changedValue"); // -1 none
        QTest::addColumn<int>("changedMode");  // -1 none
        QTest::addColumn<QString>("fileGravity");
        QTest::addColumn<QStringList>("differing");
        QTest::newRow("equal") << -1 << -1 << "1000" << QStringList{};
        QTest::newRow("gravity written with decimals rounds alike") << -1 << -1 << "1000.2" << QStringList{};
        QTest::newRow("gravity") << -1 << -1 << "998" << QStringList{"Specific gravity [kg/m^3]"};
        QTest::newRow("output 2 higher") << 3 << -1 << "1000" << QStringList{"Output 2 higher value"};
        QTest::newRow("output 3 lower and output 1 mode")
            << 4 << 0 << "1000" << QStringList{"Output 1 configuration", "Output 3 lower value"};
    }
    void compareRowsMarkWhatDiffers()
    {
        QFETCH(int, changedValue);
        QFETCH(int, changedMode);
        QFETCH(QString, fileGravity);
        QFETCH(QStringList, differing);
        setDecimalSeparatorForTesting(u'.');
        ConfigurationRecord transmitter;
        for (int i = 0; i < 6; ++i)
            transmitter.limitValue(i) = float(10000 * (i + 1));
        transmitter.specificGravity = 1000;
        const std::array<int, 3> modes{1, 2, 3};
        config::ConfigurationFile file;
        file.gravityText = fileGravity;
        for (int i = 0; i < 6; ++i)
            file.values[std::size_t(i)] = transmitter.limitValue(i);
        file.modes = modes;
        if (changedValue >= 0)
            file.values[std::size_t(changedValue)] += 0.25f; // below the display's rounding in kPa
        if (changedMode >= 0)
            file.modes[std::size_t(changedMode)] = 4;

        DisplayState shown;
        display::selectPressureUnit(shown, 1);
        display::applyPressureMode(shown);
        const std::vector<CompareRow> rows = compareRows(file, transmitter, modes, shown);
        QCOMPARE(rows.size(), std::size_t(11));
        QCOMPARE(rows[0].transmitterText, QStringLiteral("100.000 kPa"));
        QCOMPARE(rows[3].transmitterText, QStringLiteral("20.000 kPa"));
        QCOMPARE(rows[4].transmitterText, QStringLiteral("Compression"));
        QStringList marked;
        for (const CompareRow &row : rows)
            if (row.differs)
                marked << row.setting;
        QCOMPARE(marked, differing);
        setDecimalSeparatorForTesting(QChar());
    }
};

QTEST_GUILESS_MAIN(TrendCoreTest)
#include "tst_operator_core.moc"

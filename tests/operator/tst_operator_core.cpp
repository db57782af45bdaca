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
#include <QSignalSpy>
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

QByteArray readAll(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
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
        QTest::addColumn<int>("milliseconds");
        QTest::newRow("CET") << 3600 << "2026-12-10T15:04:05.345+01:00" << 345;
        QTest::newRow("UTC, whole second") << 0 << "2026-12-10T15:04:05.000+00:00" << 0;
        QTest::newRow("half hours west") << -(3 * 3600 + 1800) << "2026-12-10T15:04:05.007-03:30" << 7;
        QTest::newRow("Nepal") << 5 * 3600 + 45 * 60 << "2026-12-10T15:04:05.999+05:45" << 999;
    }
    void isoTimeCarriesItsOffset()
    {
        QFETCH(int, offsetSeconds);
        QFETCH(QString, text);
        QFETCH(int, milliseconds);
        const QDateTime t(QDate(2026, 12, 10), QTime(15, 4, 5, milliseconds), QTimeZone(offsetSeconds));
        QCOMPARE(TRecorder::isoTimeWithOffset(t), text);
    }

    void csvLineHoldsEveryField_data()
    {
        QTest::addColumn<float>("pascal");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("line");
        QTest::newRow("point") << 12345.5f << "12.346"
                               << "2026-12-10T15:04:05.000+01:00,12345.5,12.346,kPa,1,0,1";
        QTest::newRow("decimal comma is quoted") << -250.0f << "-0,250"
                                                 << "2026-12-10T15:04:05.000+01:00,-250,\"-0,250\",kPa,1,0,1";
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
            RecordedValue v = sampleValue(float(i * 1000), QString::number(i), {i == 1, i == 2, i == 3});
            v.time = v.time.addSecs(i);
            QVERIFY(recorder.write(v));
            // read by another reader while the recording still runs
            const QStringList lines = fileLines(path);
            QCOMPARE(lines.size(), 1 + i);
            QCOMPARE(lines.last(), TRecorder::csvLine(v));
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

    void eachLineHasItsOwnLaterTime_data()
    {
        QTest::addColumn<QList<int>>("offsetsMs"); // from 15:04:05.000, one value each
        QTest::addColumn<QStringList>("times");
        QTest::newRow("a second apart") << QList<int>{0, 1000, 2000}
                                        << QStringList{"15:04:05.000", "15:04:06.000", "15:04:07.000"};
        QTest::newRow("within one second") << QList<int>{0, 400, 999}
                                           << QStringList{"15:04:05.000", "15:04:05.400", "15:04:05.999"};
        QTest::newRow("the same millisecond") << QList<int>{250, 250, 250}
                                              << QStringList{"15:04:05.250", "15:04:05.251", "15:04:05.252"};
        QTest::newRow("clock set back") << QList<int>{5000, 1000, 6000}
                                        << QStringList{"15:04:10.000", "15:04:10.001", "15:04:11.000"};
    }
    void eachLineHasItsOwnLaterTime()
    {
        QFETCH(QList<int>, offsetsMs);
        QFETCH(QStringList, times);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("trend.csv"));
        TRecorder recorder;
        QVERIFY(recorder.start(path));
        const RecordedValue base = sampleValue(1000, QStringLiteral("1.000"), {});
        for (int offset : offsetsMs) {
            RecordedValue v = base;
            v.time = base.time.addMSecs(offset);
            QVERIFY(recorder.write(v));
        }
        QStringList written;
        for (const QString &line : fileLines(path).mid(1))
            written << line.section(u',', 0, 0).mid(11, 12);
        QCOMPARE(written, times);
    }

    // A disk that fills up inside a line: the file keeps its whole lines only,
    // and a later recording into it goes on with whole lines.
    void aShortWriteLeavesWholeLinesOnly_data()
    {
        QTest::addColumn<int>("room"); // bytes the file may still grow by
        QTest::newRow("one byte") << 1;
        QTest::newRow("inside the time") << 12;
        QTest::newRow("inside the value") << 35;
        QTest::newRow("all but the line feed") << -1;
        QTest::newRow("no room at all") << 0;
    }
    void aShortWriteLeavesWholeLinesOnly()
    {
#ifdef Q_OS_UNIX
        QFETCH(int, room);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("trend.csv"));
        const RecordedValue third = sampleValue(3000, QStringLiteral("3.000"), {true, false, false});
        const int lineBytes = int(TRecorder::csvLine(third).toUtf8().size()) + 2;
        if (room < 0)
            room = lineBytes - 1;
        QVERIFY(room < lineBytes);
        TRecorder recorder;
        QSignalSpy changes(&recorder, &TRecorder::changed);
        QVERIFY(recorder.start(path));
        QVERIFY(recorder.write(sampleValue(1000, QStringLiteral("1.000"), {})));
        QVERIFY(recorder.write(sampleValue(2000, QStringLiteral("2.000"), {})));
        const QByteArray before = readAll(path);
        {
            FileSizeLimit limit(before.size() + room);
            QVERIFY(!recorder.write(third));
        }
        QVERIFY(!recorder.active());
        QVERIFY(recorder.failed());
        QVERIFY(!recorder.errorText().isEmpty());
        QVERIFY(changes.size() >= 4); // started, two lines, stopped
        QCOMPARE(readAll(path), before);

        // Room again: the next recording appends to the same file.
        TRecorder again;
        QVERIFY(again.start(path));
        QVERIFY(!again.failed());
        QVERIFY(again.write(sampleValue(4000, QStringLiteral("4.000"), {})));
        again.stop();
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), 4);
        for (const QString &line : lines)
            QCOMPARE(line.count(u','), 6);
        QVERIFY(lines.last().contains(QStringLiteral(",4000,4.000,")));
#else
        QSKIP("needs a file size limit");
#endif
    }

    void appendingCutsABrokenLastLine_data()
    {
        QTest::addColumn<QByteArray>("tail"); // after the header and one whole line
        QTest::addColumn<int>("keptLines");   // of those two
        QTest::newRow("whole") << QByteArray() << 2;
        QTest::newRow("half a line") << QByteArray("2026-12-10T15:04:06.000+01:00,20") << 2;
        QTest::newRow("line without its line feed")
            << QByteArray("2026-12-10T15:04:06.000+01:00,2000,2.000,kPa,0,0,0\r") << 2;
        QTest::newRow("only part of the header") << QByteArray("@header") << 0;
    }
    void appendingCutsABrokenLastLine()
    {
        QFETCH(QByteArray, tail);
        QFETCH(int, keptLines);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("trend.csv"));
        const QByteArray whole = QByteArray(TRecorder::kHeader) + "\r\n"
                                 + TRecorder::csvLine(sampleValue(1000, QStringLiteral("1.000"), {})).toUtf8()
                                 + "\r\n";
        const QByteArray start = tail == "@header" ? QByteArray(TRecorder::kHeader).left(20) : whole + tail;
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            QCOMPARE(f.write(start), start.size());
        }
        TRecorder recorder;
        QVERIFY(recorder.start(path));
        QVERIFY(recorder.write(sampleValue(5000, QStringLiteral("5.000"), {})));
        recorder.stop();
        const QStringList lines = fileLines(path);
        QCOMPARE(lines.size(), keptLines == 0 ? 2 : keptLines + 1);
        QCOMPARE(lines.first(), QString::fromLatin1(TRecorder::kHeader));
        for (const QString &line : lines)
            QCOMPARE(line.count(u','), 6);
        QVERIFY(readAll(path).endsWith(",5000,5.000,kPa,0,0,0\r\n"));
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
        for (const CompareRow &row : rows) {
            if (row.differs)
                marked << row.setting;
            // a row is marked exactly where the operator sees two different
            // texts (but the range, which a file does not hold)
            if (&row != &rows[0])
                QCOMPARE(row.differs, row.fileText != row.transmitterText);
        }
        QCOMPARE(marked, differing);
        setDecimalSeparatorForTesting(QChar());
    }

    // Differences below the display's rounding are shown with the digits
    // that tell them apart, or in Pa; equal values stay as the window shows them.
    void compareShowsDifferencesTheDisplayRoundsAway_data()
    {
        QTest::addColumn<int>("unit"); // unitOfPressure
        QTest::addColumn<float>("fromFile");
        QTest::addColumn<float>("fromTransmitter");
        QTest::addColumn<QString>("fileText");
        QTest::addColumn<QString>("transmitterText");
        QTest::newRow("equal") << 1 << 20000.0f << 20000.0f << "20.000 kPa" << "20.000 kPa";
        QTest::newRow("a quarter pascal in kPa") << 1 << 20000.25f << 20000.0f << "20.0003 kPa" << "20.0000 kPa";
        QTest::newRow("visible anyway") << 1 << 21000.0f << 20000.0f << "21.000 kPa" << "20.000 kPa";
        QTest::newRow("a tenth of a pascal in Pa") << 0 << 150.1f << 150.0f << "150.1 Pa" << "150.0 Pa";
        QTest::newRow("the next float in bar")
            << 4 << std::nextafter(100000.0f, 200000.0f) << 100000.0f << "100000.008 Pa" << "100000 Pa";
        QTest::newRow("both not a number") << 1 << std::numeric_limits<float>::quiet_NaN()
                                           << std::numeric_limits<float>::quiet_NaN() << "" << "";
    }
    void compareShowsDifferencesTheDisplayRoundsAway()
    {
        QFETCH(int, unit);
        QFETCH(float, fromFile);
        QFETCH(float, fromTransmitter);
        QFETCH(QString, fileText);
        QFETCH(QString, transmitterText);
        setDecimalSeparatorForTesting(u'.');
        ConfigurationRecord transmitter;
        transmitter.specificGravity = 1000;
        transmitter.limitValue(0) = fromTransmitter;
        config::ConfigurationFile file;
        file.gravityText = QStringLiteral("1000");
        file.values[0] = fromFile;
        DisplayState shown;
        display::selectPressureUnit(shown, unit);
        display::applyPressureMode(shown);
        const std::vector<CompareRow> rows = compareRows(file, transmitter, {0, 0, 0}, shown);
        const CompareRow &row = rows[2];
        QCOMPARE(row.setting, QStringLiteral("Output 1 lower value"));
        if (!fileText.isEmpty()) {
            QCOMPARE(row.fileText, fileText);
            QCOMPARE(row.transmitterText, transmitterText);
        }
        QCOMPARE(row.differs, row.fileText != row.transmitterText);
        QCOMPARE(row.differs, fileText != transmitterText);
        setDecimalSeparatorForTesting(QChar());
    }
};

QTEST_GUILESS_MAIN(TrendCoreTest)
#include "tst_operator_core.moc"

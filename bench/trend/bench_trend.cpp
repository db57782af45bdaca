// The trend with a full day of history: reducing it to the chart's columns
// and the output lanes' runs, the trend window's redraw (series and axes) and
// a full paint of the chart, a step of the cursor, the export of the whole day
// to a CSV file, and the memory the history takes.
#include "Dialogs.h"
#include "Main.h"
#include "OperatorTools.h"
#include "OutputLaneRuns.h"
#include "TrendHistory.h"
#include "TrendWindow.h"

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QImage>
#include <QPainter>
#include <QTimer>
#include <QtCharts/QChartView>

#include <benchmark/benchmark.h>

#include <cmath>

namespace {

void usePrivateFolders()
{
    static QTemporaryDir runtime;
    static QTemporaryDir config;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
}

// Resident memory of the process in KiB, from /proc (0 where there is none).
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return 0;
}

const int64_t kStart = 1'800'000'000'000;

// A day of a noisy sine at one value a second, with a gap every two hours;
// outputs 1 and 2 on below and above a value, output 3 every other quarter hour.
void fillDay(TrendHistory &history)
{
    for (int64_t s = 0; s < int64_t(TrendHistory::kDefaultCapacity); ++s) {
        const float value = float(50000 + 30000 * std::sin(double(s) / 3000.0) + double(s * 7919 % 500));
        const auto lamps = uint8_t((value < 30000 ? 1 : 0) | (value > 70000 ? 2 : 0) | ((s / 900) % 2 ? 4 : 0));
        if (s % 7200 == 3600)
            history.appendGap(kStart + s * 1000);
        else
            history.append(kStart + s * 1000, value, lamps);
    }
}

TMainF *mainWindow = nullptr;

// Paints the chart as a screen does: into an image kept from frame to frame,
// like a window's backing store. A grab() makes a new picture each time, and
// the first few of those pay for fresh memory, which is not drawing.
void paintChart(TTrendWindow &trend, QImage &screen)
{
    if (screen.size() != trend.chartView->size())
        screen = QImage(trend.chartView->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&screen);
    trend.chartView->render(&painter);
}

void BM_reduceDay(benchmark::State &state)
{
    TrendHistory history;
    fillDay(history);
    const int columns = int(state.range(0));
    for (auto _ : state) {
        TrendReduction r = history.reduce(kStart, kStart + 86'400'000, columns);
        benchmark::DoNotOptimize(r);
    }
}
BENCHMARK(BM_reduceDay)->Arg(800)->Arg(1920)->Unit(benchmark::kMillisecond);

void BM_laneRunsDay(benchmark::State &state)
{
    TrendHistory history;
    fillDay(history);
    const int columns = int(state.range(0));
    for (auto _ : state) {
        LaneRuns runs = outputLaneRuns(history, kStart, kStart + 86'400'000, columns);
        benchmark::DoNotOptimize(runs);
    }
}
BENCHMARK(BM_laneRunsDay)->Arg(800)->Arg(1920)->Unit(benchmark::kMillisecond);

void BM_redrawDay(benchmark::State &state)
{
    TOperatorTools &tools = *mainWindow->operatorTools;
    tools.history.clear();
    fillDay(tools.history);
    tools.clock = [] { return QDateTime::fromMSecsSinceEpoch(kStart + 86'400'000); };
    tools.showTrend();
    TTrendWindow &trend = *static_cast<TTrendWindow *>(tools.trendWindow);
    trend.resize(int(state.range(0)), 600);
    trend.spanBox->setCurrentIndex(3); // everything
    QApplication::processEvents();
    const bool paint = state.range(1) != 0;
    QImage screen;
    if (paint)
        paintChart(trend, screen);
    for (auto _ : state) {
        trend.redraw();
        if (paint)
            paintChart(trend, screen);
    }
}
BENCHMARK(BM_redrawDay)->Args({800, 0})->Args({800, 1})->Args({1920, 0})->Args({1920, 1})
    ->ArgNames({"width", "paint"})->Unit(benchmark::kMillisecond);

// The whole day as the recording writes it, into a file beside a temporary
// one that then replaces it, as the trend window's "Export..." does.
void BM_exportDay(benchmark::State &state)
{
    TOperatorTools &tools = *mainWindow->operatorTools;
    tools.history.clear();
    fillDay(tools.history);
    tools.clock = [] { return QDateTime::fromMSecsSinceEpoch(kStart + 86'400'000); };
    tools.showTrend();
    TTrendWindow &trend = *static_cast<TTrendWindow *>(tools.trendWindow);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("day.csv"));
    for (auto _ : state) {
        if (!trend.exportHistory(path, true))
            state.SkipWithError("the export failed");
    }
    state.counters["bytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_exportDay)->Unit(benchmark::kMillisecond);

// A step of the cursor by key over a day shown whole: the readout, the line
// and what a screen reader is told, without a redraw.
void BM_cursorStepDay(benchmark::State &state)
{
    TOperatorTools &tools = *mainWindow->operatorTools;
    tools.history.clear();
    fillDay(tools.history);
    tools.clock = [] { return QDateTime::fromMSecsSinceEpoch(kStart + 86'400'000); };
    tools.showTrend();
    TTrendWindow &trend = *static_cast<TTrendWindow *>(tools.trendWindow);
    trend.resize(1920, 600);
    trend.spanBox->setCurrentIndex(3); // everything
    QApplication::processEvents();
    for (auto _ : state) {
        trend.moveCursor(-1);
        if (trend.cursorPlace() && trend.cursorPlace()->ms < kStart + 1000)
            trend.showPointer(std::nullopt);
    }
}
BENCHMARK(BM_cursorStepDay)->Unit(benchmark::kMicrosecond);

// An hour of the day in view, an hour further on at each frame, as Page Up
// and Page Down move it: the time axis' labels change at every frame.
void BM_panDay(benchmark::State &state)
{
    TOperatorTools &tools = *mainWindow->operatorTools;
    tools.history.clear();
    fillDay(tools.history);
    static int64_t end = kStart;
    tools.clock = [] { return QDateTime::fromMSecsSinceEpoch(end); };
    tools.showTrend();
    TTrendWindow &trend = *static_cast<TTrendWindow *>(tools.trendWindow);
    trend.resize(int(state.range(0)), 600);
    trend.spanBox->setCurrentIndex(2); // 1 hour
    QApplication::processEvents();
    const bool paint = state.range(1) != 0;
    QImage screen;
    if (paint)
        paintChart(trend, screen);
    int hour = 0;
    for (auto _ : state) {
        hour = (hour + 1) % 23;
        end = kStart + int64_t(hour + 1) * 3'600'000 + 12'345;
        trend.redraw();
        if (paint)
            paintChart(trend, screen);
    }
}
BENCHMARK(BM_panDay)->Args({1920, 0})->Args({1920, 1})->ArgNames({"width", "paint"})->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    usePrivateFolders();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        DialogHooks hooks;
        hooks.message = [](QWidget *, const MessageRequest &) { return MessageAnswer::Ok; };
        setDialogHooks(hooks);
        TMainF window;
        window.Timer1->stop();
        window.Timer3->stop();
        window.isPressure = true;
        mainWindow = &window;

        // What a day of history adds to a window whose trend is already open.
        window.operatorTools->showTrend();
        QApplication::processEvents();
        const long before = residentKiB();
        fillDay(window.operatorTools->history);
        window.operatorTools->trendWindow->redraw();
        QApplication::processEvents();
        const long after = residentKiB();
        std::printf("history ring: %zu values, %zu bytes; resident memory for a full day: +%ld KiB\n",
                    window.operatorTools->history.capacity(), window.operatorTools->history.memoryBytes(),
                    after - before);

        benchmark::RunSpecifiedBenchmarks();
        mainWindow = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}

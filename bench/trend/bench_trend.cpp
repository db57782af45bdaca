// The trend with a full day of history: reducing it to the chart's columns,
// the trend window's redraw (series and axes) and a full paint of the chart,
// and the memory the history takes.
#include "Dialogs.h"
#include "Main.h"
#include "OperatorTools.h"
#include "TrendHistory.h"
#include "TrendWindow.h"

#include <QApplication>
#include <QFile>
#include <QTemporaryDir>
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

// A day of a noisy sine at one value a second, with a gap every two hours.
void fillDay(TrendHistory &history)
{
    for (int64_t s = 0; s < int64_t(TrendHistory::kDefaultCapacity); ++s) {
        if (s % 7200 == 3600)
            history.appendGap(kStart + s * 1000);
        else
            history.append(kStart + s * 1000, float(50000 + 30000 * std::sin(double(s) / 3000.0) + (s * 7919 % 500)));
    }
}

TMainF *mainWindow = nullptr;

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
    for (auto _ : state) {
        trend.redraw();
        if (paint) {
            QPixmap image = trend.chartView->grab();
            benchmark::DoNotOptimize(image);
        }
    }
}
BENCHMARK(BM_redrawDay)->Args({800, 0})->Args({800, 1})->Args({1920, 0})->Args({1920, 1})
    ->ArgNames({"width", "paint"})->Unit(benchmark::kMillisecond);

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
    int hour = 0;
    for (auto _ : state) {
        hour = (hour + 1) % 23;
        end = kStart + int64_t(hour + 1) * 3'600'000 + 12'345;
        trend.redraw();
        if (paint) {
            QPixmap image = trend.chartView->grab();
            benchmark::DoNotOptimize(image);
        }
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

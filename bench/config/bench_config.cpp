// "Read configuration" on a window built offscreen, against the zero-latency
// simulator: the whole handler, from the fresh pipes to the filled edits.
#include "Dialogs.h"
#include "Fix64usb.h"
#include "Main.h"
#include "qzsim.h"

#include <QApplication>
#include <QTemporaryDir>
#include <QTimer>

#include <benchmark/benchmark.h>

namespace {

// Private folders for the single-instance lock and the settings; static, so
// they outlive the lock the window takes for the rest of the process.
void usePrivateFolders()
{
    static QTemporaryDir runtime;
    static QTemporaryDir config;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
}

struct Window {
    std::unique_ptr<TMainF> window;

    Window()
    {
        DialogHooks hooks;
        hooks.message = [](QWidget *, const MessageRequest &) { return MessageAnswer::Ok; };
        setDialogHooks(hooks);
        setPauseFunction([](unsigned) {});
        qzsim_reset();
        window = std::make_unique<TMainF>();
        window->Timer1->stop();
        window->Timer3->stop();
        window->isPressure = true;
        window->CCmPoStartu();
    }
};

Window *window = nullptr; // made in main, inside the application's lifetime

void BM_readConfiguration(benchmark::State &state)
{
    Window &w = *window;
    int failures = 0;
    for (auto _ : state) {
        w.window->CmVycist();
        failures += w.window->operationPending;
    }
    if (failures || w.window->Rozsah->text() != QStringLiteral("100.000 kPa"))
        state.SkipWithError("the read did not complete");
}
BENCHMARK(BM_readConfiguration)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    usePrivateFolders();
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    {
        Window w;
        window = &w;
        benchmark::RunSpecifiedBenchmarks();
        window = nullptr;
    }
    benchmark::Shutdown();
    return 0;
}

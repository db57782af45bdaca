// Frames of the trend with a full day of history at 1920 px, as an operator
// makes them: wheel zoom from the whole day down to ten seconds and back,
// Page Up/Down across the day, then End. Each frame is the window's redraw
// and a full paint of the chart; prints the median and the slowest frame of
// each kind. Not a test: figures for the record.
#include "Dialogs.h"
#include "Main.h"
#include "OperatorTools.h"
#include "TrendHistory.h"
#include "TrendWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QTimer>
#include <QWheelEvent>
#include <QtCharts/QChartView>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

const int64_t kStart = 1'800'000'000'000;

void fillDay(TrendHistory &history)
{
    for (int64_t s = 0; s < int64_t(TrendHistory::kDefaultCapacity); ++s) {
        if (s % 7200 == 3600)
            history.appendGap(kStart + s * 1000);
        else
            history.append(kStart + s * 1000, float(50000 + 30000 * std::sin(double(s) / 3000.0) + (s * 7919 % 500)),
                           uint8_t((s / 600) % 8));
    }
}

struct Figures {
    double median = 0;
    double slowest = 0;
    int frames = 0;
};

// The chart painted as a screen does: into an image kept from frame to frame,
// like a window's backing store (a grab() makes a new picture each time, and
// the first few of those pay for fresh memory, which is not drawing).
QImage screen;

void paint(TTrendWindow &trend)
{
    if (screen.size() != trend.chartView->size())
        screen = QImage(trend.chartView->size(), QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&screen);
    trend.chartView->render(&painter);
}

Figures frames(TTrendWindow &trend, int count, const std::function<void(int)> &step)
{
    std::vector<double> ms;
    for (int i = 0; i < count; ++i) {
        QElapsedTimer timer;
        timer.start();
        step(i);
        paint(trend);
        ms.push_back(double(timer.nsecsElapsed()) / 1e6);
        if (qEnvironmentVariableIsSet("QZ_BENCH_EACH_FRAME"))
            std::printf("  frame %d: %.2f ms\n", i, ms.back());
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms.back(), int(ms.size())};
}

void wheel(QWidget *viewport, int delta)
{
    const QPointF at(viewport->width() / 2.0, viewport->height() / 2.0);
    QWheelEvent event(at, viewport->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                      Qt::NoScrollPhase, false);
    QApplication::sendEvent(viewport, &event);
}

void key(QWidget *chart, int code)
{
    QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier);
    QApplication::sendEvent(chart, &press);
}

void print(const char *what, const Figures &f)
{
    std::printf("%-34s %4d frames  median %6.2f ms  slowest %6.2f ms\n", what, f.frames, f.median, f.slowest);
}

} // namespace

int main(int argc, char **argv)
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Outlive the single-copy lock, which is released at exit.
    static QTemporaryDir runtime;
    static QTemporaryDir config;
    qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    QApplication app(argc, argv);
    DialogHooks hooks;
    hooks.message = [](QWidget *, const MessageRequest &) { return MessageAnswer::Ok; };
    setDialogHooks(hooks);

    TMainF window;
    window.Timer1->stop();
    window.Timer3->stop();
    TOperatorTools &tools = *window.operatorTools;
    fillDay(tools.history);
    tools.clock = [] { return QDateTime::fromMSecsSinceEpoch(kStart + 86'400'000); };
    tools.showTrend();
    auto &trend = *static_cast<TTrendWindow *>(tools.trendWindow);
    trend.resize(1920, 1000);
    trend.spanBox->setCurrentIndex(3); // everything: the whole day
    QApplication::processEvents();
    std::printf("history: %zu values; chart %d px wide\n", tools.history.size(), trend.chartView->width());

    paint(trend); // the first paint, as on opening
    QWidget *viewport = trend.chartView->viewport();

    // A day down to ten seconds is 13 halvings; in and out again, three times.
    print("wheel zoom in and out (24 h-10 s)", frames(trend, 78, [&](int i) { wheel(viewport, (i / 13) % 2 == 0 ? 120 : -120); }));
    wheel(viewport, 120);
    wheel(viewport, 120);
    wheel(viewport, 120); // 3 h shown
    print("Page Up across the day (3 h)", frames(trend, 8, [&](int) { key(trend.chartView, Qt::Key_PageUp); }));
    print("Page Down back (3 h)", frames(trend, 8, [&](int) { key(trend.chartView, Qt::Key_PageDown); }));
    print("End: live again", frames(trend, 1, [&](int) { key(trend.chartView, Qt::Key_End); }));
    print("redraw of the whole day", frames(trend, 30, [&](int) { trend.redraw(); }));
    return 0;
}

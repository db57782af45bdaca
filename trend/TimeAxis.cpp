#include "TimeAxis.h"

#include <QFontMetricsF>

namespace {

// Pixels right of the plot a label may use (the chart's margin).
constexpr double kRightRoom = 4;

} // namespace

TTimeAxis::TTimeAxis(QObject *parent) : QCategoryAxis(parent)
{
    setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
}

void TTimeAxis::show(int64_t begin, int64_t end, double width)
{
    setRange(double(begin), double(end));
    const QFontMetricsF metrics(labelsFont());
    std::vector<TimeTick> ticks = fittingTimeTicks(
        begin, end, zone, dates, width, [&metrics](const QString &label) { return metrics.horizontalAdvance(label); });
    // The chart leaves little room right of the plot: a label that would run
    // out of the window there is left off.
    if (!ticks.empty() && end > begin) {
        const double x = double(ticks.back().ms - begin) / double(end - begin) * width;
        if (x + metrics.horizontalAdvance(ticks.back().label) / 2 > width + kRightRoom)
            ticks.pop_back();
    }
    const bool same = ticks.size() == shown.size()
                      && std::equal(ticks.begin(), ticks.end(), shown.begin(), [](const TimeTick &a, const TimeTick &b) {
                             return a.ms == b.ms && a.label == b.label;
                         });
    // Every change of the categories lays the axis out again: only when the ticks move.
    if (same)
        return;
    for (const QString &label : categoriesLabels())
        remove(label);
    // The first category is empty: it only sets where the first label stands.
    if (!ticks.empty())
        setStartValue(double(ticks.front().ms));
    for (const TimeTick &tick : ticks)
        append(tick.label, double(tick.ms));
    shown = std::move(ticks);
}

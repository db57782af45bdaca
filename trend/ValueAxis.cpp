#include "ValueAxis.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

TValueAxis::TValueAxis(QObject *parent) : QCategoryAxis(parent)
{
    setLabelsPosition(QCategoryAxis::AxisLabelsPositionOnValue);
}

void TValueAxis::show(double low, double high, bool widen, int decimals, double height)
{
    // A label and three lines of room between two, as few as the chart's own axis shows.
    const double room = QFontMetricsF(labelsFont()).height() * 4;
    const int maxTicks = std::clamp(room > 0 ? int(height / room) : 5, 2, 10);
    const Request wanted{low, high, widen, decimals, maxTicks};
    // Every change of the categories lays the chart out again: only when they move.
    if (wanted == shown)
        return;
    shown = wanted;
    const ValueTicks ticks = valueTicks(low, high, widen, decimals, maxTicks);
    // The range first: a range set with no categories lays the axis out without labels.
    setRange(ticks.low, ticks.high);
    for (const QString &label : categoriesLabels())
        remove(label);
    if (!ticks.ticks.empty())
        setStartValue(ticks.ticks.front().value);
    for (const ValueTick &tick : ticks.ticks)
        append(tick.label, tick.value);
}

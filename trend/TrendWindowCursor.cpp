// The trend window's cursor, output lanes and what a screen reader hears of
// the chart: kept apart from the chart's drawing, which they follow.
#include "OutputLanes.h"
#include "TrendWindow.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QDateTime>
#include <QGraphicsLineItem>
#include <QLabel>
#include <QPen>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include "TimeAxis.h"
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>

#include <cmath>

namespace {

// Each set of a name or a description is told to a screen reader by Qt: a
// text is set only when it changes, so a cursor step is heard once.
void say(QWidget *widget, QAccessible::Event what, const QString &text,
         const std::function<void(QWidget *, const QString &)> &observer)
{
    if (what == QAccessible::NameChanged) {
        if (widget->accessibleName() == text)
            return;
        widget->setAccessibleName(text);
    } else {
        if (widget->accessibleDescription() == text)
            return;
        widget->setAccessibleDescription(text);
    }
    if (observer)
        observer(widget, text);
}

// The cursor's readout under the chart is read as a sentence; its changes are
// heard through the chart, which has the focus, not a second time from it.
class CursorReadout : public QAccessibleWidget {
public:
    explicit CursorReadout(QLabel *label) : QAccessibleWidget(label, QAccessible::StaticText) {}
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Name) {
            const QString shown = static_cast<QLabel *>(widget())->text();
            return shown.isEmpty() ? widget()->accessibleName() : shown.split(QStringLiteral("  ")).join(QStringLiteral(", "));
        }
        return QAccessibleWidget::text(t);
    }
};

QAccessibleInterface *trendInterfaces(const QString &, QObject *object)
{
    if (auto *label = qobject_cast<QLabel *>(object); label && label->objectName() == QLatin1String("trendPointer"))
        return new CursorReadout(label);
    return nullptr;
}

} // namespace

void TTrendWindow::installReadoutInterface()
{
    QAccessible::removeFactory(trendInterfaces);
    QAccessible::installFactory(trendInterfaces);
}

void TTrendWindow::translateCursorAndLanes()
{
    // The lamps' texts of the main window, so both say the same.
    const QString on = host.translate(QStringLiteral("Output %i: on"));
    const QString off = host.translate(QStringLiteral("Output %i: off"));
    std::array<QString, 3> laneCaptions;
    for (std::size_t i = 0; i < 3; ++i) {
        cursorTexts.lampOn[i] = host.pluralForm(on, int(i) + 1);
        cursorTexts.lampOff[i] = host.pluralForm(off, int(i) + 1);
        laneCaptions[i] = host.translate(QStringLiteral("Output")) + QStringLiteral(" %1").arg(i + 1);
    }
    cursorTexts.caption = host.translateWithColon(QStringLiteral("Cursor"));
    cursorTexts.noValue = host.translate(QStringLiteral("no value"));
    legendCaption = host.translateWithColon(QStringLiteral("Legend"));
    lanes->setCaptions(laneCaptions);
    lanes->setAccessibleName(host.translate(QStringLiteral("Output states")));
    // A name of its own keeps the label's text changes unannounced (the chart tells them).
    pointerLabel->setAccessibleName(host.translate(QStringLiteral("Cursor")));
}

QString TTrendWindow::pointerText(int64_t ms) const
{
    const std::optional<CursorPlace> place = nearestSample(history, ms, TrendHistory::kJoinMs);
    if (!place)
        return {};
    const TrendSample &sample = history.at(cursorIndex(history, *place));
    const QString time = cursorTimeText(sample.ms, axisX->begin(), axisX->end(), axisX->dates);
    return cursorReadout(sample, time, shownWithUnit(sample.pascal), cursorTexts).join(QStringLiteral("  "));
}

void TTrendWindow::showPointer(std::optional<int64_t> ms)
{
    cursor = ms ? nearestSample(history, *ms, TrendHistory::kJoinMs) : std::nullopt;
    showCursor();
}

void TTrendWindow::moveCursor(int steps)
{
    const int64_t begin = axisX->begin();
    const int64_t end = axisX->end();
    const std::optional<CursorPlace> placed = stepCursor(history, cursor, steps, begin, end);
    if (!placed)
        return;
    cursor = placed;
    // Past an edge of the view: the view follows by a tenth beyond the cursor.
    const int64_t tenth = (end - begin + 1) / 10;
    if (cursor->ms < begin)
        panTime(cursor->ms - tenth - begin);
    else if (cursor->ms > end)
        panTime(cursor->ms + tenth - end);
    showCursor();
}

void TTrendWindow::cursorToOldest()
{
    const std::size_t oldest = history.lowerBound(axisX->begin());
    if (oldest >= history.size() || history.at(oldest).ms > axisX->end())
        return;
    cursor = cursorPlaceOf(history, oldest);
    showCursor();
}

void TTrendWindow::showCursor()
{
    QStringList readout;
    if (cursor) {
        const std::size_t index = cursorIndex(history, *cursor);
        if (index < history.size()) {
            // A sample the ring dropped: the cursor goes on to the oldest left.
            cursor = cursorPlaceOf(history, index);
            const TrendSample &sample = history.at(index);
            const QString time =
                cursorTimeText(sample.ms, axisX->begin(), axisX->end(), axisX->dates);
            readout = cursorReadout(sample, time, shownWithUnit(sample.pascal), cursorTexts);
        } else {
            cursor.reset();
        }
    }
    pointerLabel->setText(readout.join(QStringLiteral("  ")));
    // Said as a sentence: the parts apart.
    cursorReadoutText = readout.join(QStringLiteral(", "));
    placeCursorLine();
    describeChart();
}

void TTrendWindow::followPlotArea()
{
    const QRectF plot = chart->plotArea();
    const int64_t begin = axisX->begin();
    const int64_t end = axisX->end();
    // The plot's left edge and width in the lanes' coordinates.
    const QPointF left = chartView->viewportTransform().map(chart->mapToScene(plot.topLeft()));
    const QPointF right = chartView->viewportTransform().map(chart->mapToScene(plot.topRight()));
    const QPoint offset = chartView->viewport()->mapTo(this, QPoint()) - lanes->mapTo(this, QPoint());
    lanes->showSpan(history, begin, end, left.x() + offset.x(), right.x() - left.x());
    describeLanes();
    placeCursorLine();
}

void TTrendWindow::placeCursorLine()
{
    const QRectF plot = chart->plotArea();
    if (!cursor || cursor->ms < axisX->begin() || cursor->ms > axisX->end()) {
        cursorLine->hide();
        return;
    }
    const double x = chart->mapToPosition(QPointF(double(cursor->ms), 0), limitSeries[0]).x();
    cursorLine->setLine(x, plot.top(), x, plot.bottom());
    cursorLine->show();
}

void TTrendWindow::describeChart()
{
    QStringList entries;
    for (QLegendMarker *marker : chart->legend()->markers())
        if (marker->isVisible())
            entries << marker->label();
    QString text = legendCaption + entries.join(QStringLiteral("; "));
    if (!cursorReadoutText.isEmpty())
        text = cursorReadoutText + QStringLiteral(". ") + text;
    say(chartView, QAccessible::DescriptionChanged, text, announced);
}

void TTrendWindow::describeLanes()
{
    // The states at the newest sample shown.
    const std::size_t after = history.lowerBound(axisX->end() + 1);
    const TrendSample *newest = after > 0 ? &history.at(after - 1) : nullptr;
    if (newest && newest->ms < axisX->begin())
        newest = nullptr;
    QStringList states;
    if (!newest || std::isnan(newest->pascal)) {
        states << cursorTexts.noValue;
    } else {
        for (std::size_t i = 0; i < 3; ++i)
            if (lanes->laneShown(int(i)))
                states << ((newest->lamps >> i) & 1 ? cursorTexts.lampOn[i] : cursorTexts.lampOff[i]);
    }
    say(lanes, QAccessible::DescriptionChanged, states.join(QStringLiteral(", ")), announced);
}

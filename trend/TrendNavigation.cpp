// Moving about the time axis: zoom, pan, follow the newest value again, and
// the keys, wheel and mouse that do it on the chart.
#include "TrendWindow.h"
#include "OutputLanes.h"
#include "TimeAxis.h"
#include "YRange.h"
#include <QAbstractItemView>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QGraphicsLineItem>
#include <QHBoxLayout>
#include <QLabel>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>
#include <QPainter>
#include <QPushButton>
#include <QShortcut>
#include <QVBoxLayout>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>
#include <QtCharts/QLegend>
#include <QtCharts/QLegendMarker>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

void TTrendWindow::zoomTime(double factor, std::optional<int64_t> anchor)
{
    const int64_t end = axisX->end();
    const int64_t shown = end - axisX->begin() + 1;
    // From ten seconds to a day and a bit, the history's reach.
    zoomMs = std::clamp(int64_t(double(shown) * factor), int64_t(10'000), int64_t(25 * 3'600'000));
    showSpanShown();
    // The anchor's time stays where it is on the axis; without one, the right edge.
    if (anchor && *anchor >= axisX->begin() && *anchor < end) {
        const double after = double(end - *anchor) / double(shown);
        const int64_t newEnd = *anchor + int64_t(after * double(zoomMs));
        if (newEnd >= host.now() && !paused())
            lookEnd.reset();
        else
            lookEnd = newEnd;
    } else if (!following()) {
        lookEnd = end;
    }
    redraw();
}

void TTrendWindow::panTime(int64_t ms)
{
    fixEverythingsWidth();
    showSpanShown();
    const int64_t end = axisX->end() + ms;
    const int64_t newest = host.now();
    // Past the newest value: follow it again (unless paused).
    if (end >= newest && !paused())
        lookEnd.reset();
    else
        lookEnd = std::min(end, newest);
    redraw();
}

void TTrendWindow::goLive()
{
    lookEnd.reset();
    zoomMs = 0;
    showSpanShown();
    pauseButton->setChecked(false);
    redraw();
}

bool TTrendWindow::eventFilter(QObject *watched, QEvent *event)
{
    // The file's name cut to the label's new width.
    if (watched == recordingLabel && event->type() == QEvent::Resize)
        showRecordingState();
    // Escape in the Span's open list closes the list, and is taken: not the trend too.
    if (watched == spanBox->view() && event->type() == QEvent::ShortcutOverride
        && static_cast<QKeyEvent *>(event)->matches(QKeySequence::Cancel) && spanBox->view()->isVisible()) {
        event->accept();
        spanBox->hidePopup();
        return true;
    }
    if (watched == chartView && event->type() == QEvent::KeyPress) {
        const int64_t shown = axisX->end() - axisX->begin() + 1;
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        // Around the cursor, if there is one.
        case Qt::Key_Plus:
            zoomTime(0.5, cursor ? std::optional<int64_t>(cursor->ms) : std::nullopt);
            return true;
        case Qt::Key_Minus:
            zoomTime(2, cursor ? std::optional<int64_t>(cursor->ms) : std::nullopt);
            return true;
        // The cursor steps by a sample; with Ctrl the view moves by a tenth.
        case Qt::Key_Left:
            if (key->modifiers() & Qt::ControlModifier)
                panTime(-shown / 10);
            else
                moveCursor(-1);
            return true;
        case Qt::Key_Right:
            if (key->modifiers() & Qt::ControlModifier)
                panTime(shown / 10);
            else
                moveCursor(1);
            return true;
        case Qt::Key_Home:
            cursorToOldest();
            return true;
        case Qt::Key_PageUp:
            panTime(-shown);
            return true;
        case Qt::Key_PageDown:
            panTime(shown);
            return true;
        case Qt::Key_End:
            goLive();
            return true;
        default:
            break;
        }
    }
    if (watched == chartView->viewport() && event->type() == QEvent::Wheel) {
        const auto *wheel = static_cast<QWheelEvent *>(event);
        const int steps = wheel->angleDelta().y();
        // The time under the pointer stays under it.
        const QPointF chartPos = chart->mapFromScene(chartView->mapToScene(wheel->position().toPoint()));
        std::optional<int64_t> anchor;
        if (chart->plotArea().contains(chartPos))
            anchor = int64_t(chart->mapToValue(chartPos, limitSeries[0]).x());
        if (steps != 0)
            zoomTime(steps > 0 ? 0.5 : 2, anchor);
        return true;
    }
    const QEvent::Type type = event->type();
    if (watched == chartView->viewport()
        && (type == QEvent::MouseButtonPress || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease)
        && dragEvent(static_cast<QMouseEvent *>(event)))
        return true;
    if (watched == chartView->viewport() && event->type() == QEvent::MouseMove) {
        const QPointF scenePos = chartView->mapToScene(static_cast<QMouseEvent *>(event)->position().toPoint());
        const QPointF chartPos = chart->mapFromScene(scenePos);
        if (chart->plotArea().contains(chartPos))
            showPointer(int64_t(chart->mapToValue(chartPos, limitSeries[0]).x()));
        else
            showPointer(std::nullopt);
    }
    return QWidget::eventFilter(watched, event);
}

// Dragging the plot pans the time axis: the window's part of it, beside the
// drag's state (DragPan.h).
#include "TrendWindow.h"

#include "TimeAxis.h"

#include <QApplication>
#include <QMouseEvent>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

bool TTrendWindow::dragEvent(QMouseEvent *event)
{
    const QPointF chartPos = chart->mapFromScene(chartView->mapToScene(event->position().toPoint()));
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (event->button() == Qt::LeftButton && chart->plotArea().contains(chartPos)) {
            drag.press(chartPos.x(), axisX->end());
            chartView->setFocus(Qt::MouseFocusReason);
            return true;
        }
        break;
    case QEvent::MouseMove:
        // The release went elsewhere (the window lost the mouse): the drag is over.
        if (!(event->buttons() & Qt::LeftButton))
            drag.release();
        if (drag.active() && chart->plotArea().width() > 0) {
            const double msPerPixel = double(axisX->end() - axisX->begin()) / chart->plotArea().width();
            if (const auto end = drag.move(chartPos.x(), msPerPixel, QApplication::startDragDistance()))
                panTime(*end - axisX->end());
        }
        break; // the pointer's readout goes on
    case QEvent::MouseButtonRelease:
        if (event->button() == Qt::LeftButton && drag.active()) {
            drag.release();
            return true;
        }
        break;
    default:
        break;
    }
    return false;
}

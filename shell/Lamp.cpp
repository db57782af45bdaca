#include "Lamp.h"

#include <QPainter>

void TLamp::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), Qt::black);
    const QRect inside = rect().adjusted(3, 3, -3, -3);
    const qint64 span = qint64(maximum()) - minimum();
    if (inside.isEmpty() || span <= 0 || value() <= minimum())
        return;
    // A bar filled from the left as far as its value, as a progress bar's chunk is.
    const int filled = int(inside.width() * (qint64(value()) - minimum()) / span);
    painter.fillRect(QRect(inside.topLeft(), QSize(filled, inside.height())), QColor(0, 255, 0));
}

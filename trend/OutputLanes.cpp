#include "OutputLanes.h"

#include <QPainter>
#include <QPaintEvent>

#include <cmath>

OutputLanes::OutputLanes(const std::array<QColor, 3> &laneColours, QWidget *parent)
    : QWidget(parent), colours(laneColours)
{
    setObjectName(QStringLiteral("trendOutputLanes"));
    setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Fixed);
    for (std::size_t i = 0; i < captions.size(); ++i)
        captions[i] = QString::number(i + 1);
}

void OutputLanes::setCaptions(const std::array<QString, 3> &longCaptions)
{
    captions = longCaptions;
    update();
}

void OutputLanes::setLaneShown(int output, bool on)
{
    if (shown[std::size_t(output)] == on)
        return;
    shown[std::size_t(output)] = on;
    updateGeometry();
    update();
}

void OutputLanes::showSpan(const TrendHistory &history, int64_t begin, int64_t end, double plotLeft,
                           double plotWidth)
{
    spanBegin = begin;
    spanEnd = std::max(end, begin + 1);
    left = plotLeft;
    width = std::max(plotWidth, 1.0);
    columnCount = std::max(int(std::lround(width)), 1);
    laneRuns = outputLaneRuns(history, spanBegin, spanEnd, columnCount);
    update();
}

double OutputLanes::xOf(int64_t ms) const
{
    return left + double(ms - spanBegin) * width / double(spanEnd - spanBegin);
}

QRect OutputLanes::laneRect(int output) const
{
    if (!shown[std::size_t(output)])
        return {};
    int row = 0;
    for (int i = 0; i < output; ++i)
        row += shown[std::size_t(i)] ? 1 : 0;
    return QRect(int(std::floor(left)), kLaneSpacing + row * (kLaneHeight + kLaneSpacing), int(std::ceil(width)),
                 kLaneHeight);
}

QSize OutputLanes::sizeHint() const
{
    int rows = 0;
    for (bool on : shown)
        rows += on ? 1 : 0;
    return QSize(100, kLaneSpacing + rows * (kLaneHeight + kLaneSpacing));
}

void OutputLanes::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    QFont font = painter.font();
    font.setPixelSize(kLaneHeight + 1);
    painter.setFont(font);
    const QFontMetrics metrics(font);
    const double columnWidth = width / columnCount;
    for (int o = 0; o < 3; ++o) {
        const QRect lane = laneRect(o);
        if (lane.isEmpty())
            continue;
        const QColor &colour = colours[std::size_t(o)];
        // The caption in the margin left of the plot; the number alone where the words do not fit.
        const QString &caption = captions[std::size_t(o)];
        const QString shownCaption =
            metrics.horizontalAdvance(caption) + 6 <= lane.left() ? caption : QString::number(o + 1);
        painter.setPen(palette().color(QPalette::WindowText));
        painter.drawText(QRect(0, lane.top() - 2, std::max(lane.left() - 4, 0), lane.height() + 4),
                         Qt::AlignRight | Qt::AlignVCenter, shownCaption);
        // On: the lane filled; off: a line at its foot; both within a column: a paler fill.
        QColor pale = colour;
        pale.setAlphaF(0.4f);
        for (const LaneRun &run : laneRuns[std::size_t(o)]) {
            const double x0 = left + run.first * columnWidth;
            const double x1 = left + run.last * columnWidth;
            const QRectF area(x0, lane.top(), x1 - x0, lane.height());
            switch (run.state) {
            case LaneState::On:
                painter.fillRect(area, colour);
                break;
            case LaneState::Both:
                painter.fillRect(area, pale);
                break;
            case LaneState::Off:
                painter.fillRect(QRectF(x0, lane.bottom() - 1, x1 - x0, 2), colour);
                break;
            case LaneState::None:
                break;
            }
        }
    }
}

// Three thin lanes under the chart with each output's state over the time
// shown, on the chart's time axis: the same x for the same time as the plot.
// Painted from runs of pixel columns (OutputLaneRuns.h), so a redraw costs
// the span's samples once and the paint only the runs.
#pragma once

#include "OutputLaneRuns.h"
#include "TrendExport.h"

#include <QColor>
#include <QWidget>

#include <array>

class QZ_TREND_EXPORT OutputLanes : public QWidget {
    Q_OBJECT
public:
    static constexpr int kLaneHeight = 9;
    static constexpr int kLaneSpacing = 3;

    OutputLanes(const std::array<QColor, 3> &colours, QWidget *parent = nullptr);

    // The lanes' captions: long ones where the margin left of the plot takes them.
    void setCaptions(const std::array<QString, 3> &longCaptions);
    void setLaneShown(int output, bool shown);
    bool laneShown(int output) const { return shown[std::size_t(output)]; }
    // The span from begin to end mapped, as on the chart, to the plot's left
    // edge and width in this widget's coordinates.
    void showSpan(const TrendHistory &history, int64_t begin, int64_t end, double plotLeft, double plotWidth);

    // Where the time ms lies, in this widget's coordinates.
    double xOf(int64_t ms) const;
    // The lane of an output (0 to 2); empty while hidden.
    QRect laneRect(int output) const;
    const LaneRuns &runs() const { return laneRuns; }
    int columns() const { return columnCount; }

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    std::array<QColor, 3> colours;
    std::array<QString, 3> captions;
    std::array<bool, 3> shown{true, true, true};
    LaneRuns laneRuns;
    int64_t spanBegin = 0;
    int64_t spanEnd = 1;
    double left = 0;
    double width = 1;
    int columnCount = 0;
};

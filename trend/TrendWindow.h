// The trend of the live value: the history in the unit the main window shows,
// the outputs' switching values, the span's figures, and the recording.
#pragma once

#include "DragPan.h"
#include "TrendHistory.h"
#include "TrendView.h"

#include <QWidget>

#include <array>
#include <optional>
#include <functional>
#include <vector>

class QChart;
class QChartView;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineSeries;
class QMouseEvent;
class QPushButton;
class QValueAxis;
class TTimeAxis;
class TYRange;

#if defined(QZ_TREND_LIBRARY)
#define QZ_TREND_EXPORT Q_DECL_EXPORT
#else
#define QZ_TREND_EXPORT Q_DECL_IMPORT
#endif

class QZ_TREND_EXPORT TTrendWindow : public QWidget, public TrendView {
    Q_OBJECT
public:
    // Spans by the order of the span box; 0 is everything the history holds.
    static constexpr int64_t kSpansMs[4] = {60'000, 600'000, 3'600'000, 0};

    TTrendWindow(TrendHost &host, QWidget *parent = nullptr);

    QWidget *widget() override { return this; }
    void retranslate() override;
    void redraw() override;
    void recordingChanged() override;
    void historyChanged() override;

    bool startRecording(const QString &path);
    void stopRecording();
    bool saveImage(const QString &path);
    bool paused() const;

    // The pointer at a time: the nearest value's time and value, or empty.
    QString pointerText(int64_t ms) const;
    // The readout for the pointer at ms (none: cleared), kept in step with unit and language.
    void showPointer(std::optional<int64_t> ms);

    // ---- Controls ----
    QChart *chart = nullptr;
    QChartView *chartView = nullptr;
    TTimeAxis *axisX = nullptr; // ms since the epoch
    QValueAxis *axisY = nullptr;
    std::vector<QLineSeries *> valueSeries; // one per unbroken stretch of values
    std::array<QLineSeries *, 6> limitSeries{}; // lower 1, higher 1, lower 2, ...
    QComboBox *spanBox = nullptr;
    std::array<QCheckBox *, 3> outputChecks{};
    QPushButton *pauseButton = nullptr;
    QPushButton *liveButton = nullptr; // back to following the newest value
    QPushButton *recordButton = nullptr;
    QPushButton *stopButton = nullptr;
    QPushButton *saveImageButton = nullptr;
    QLabel *spanCaption = nullptr;
    QLabel *statsLabel = nullptr;
    TYRange *yRange = nullptr; // automatic or fixed by two fields
    QLabel *pointerLabel = nullptr;
    QLabel *emptyLabel = nullptr; // over the chart while it has no value to show
    QLabel *recordingLabel = nullptr;

    int redraws = 0;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void chooseRecordingFile();
    void chooseImageFile();
    QString shownWithUnit(float pascal) const;
    void showRecordingState();
    int plotColumns() const;
    void placeEmptyLabel();
    // Zoom by factor (below 1: in) and pan by ms (negative: back) the time axis.
    void zoomTime(double factor);
    void panTime(int64_t ms);
    void goLive();
    // Press, move and release of the left button over the plot pan the time axis; true: taken.
    bool dragEvent(QMouseEvent *event);
    bool following() const { return !lookEnd && !paused(); }
    // Each line in the legend once: the value's first stretch, and the shown outputs' lines.
    void showLegendEntries();

    // The statistics' captions: the figures change every poll, the words only with the language.
    QString minimumCaption;
    QString maximumCaption;
    QString meanCaption;
    QString pointerCaption;
    QString pressureCaption;
    QString heightCaption;
    QString valueName; // the value's entry in the legend
    std::optional<int64_t> pointerMs; // where the pointer stands over the plot
    // Not recording, recording, recorded, stopped on a failure, the line count's forms.
    std::array<QString, 5> recordingTexts;
    TrendHost &host;
    const TrendHistory &history;
    int64_t frozenEnd = 0;
    std::optional<int64_t> lookEnd; // the view's end while looking back
    int64_t zoomMs = 0;             // the span zoomed to; 0: the span box's
    TDragPan drag;
};

// The library's entry point (TrendView.h): a trend window over the host.
extern "C" QZ_TREND_EXPORT TrendView *qz5801CreateTrendView(TrendHost *host, QWidget *parent);

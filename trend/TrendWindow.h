// The trend of the live value: the history in the unit the main window shows,
// the outputs' switching values, the span's figures, and the recording.
#pragma once

#include "TrendCursor.h"
#include "TrendExport.h"
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
class QAction;
class QHBoxLayout;
class QImage;
class QGraphicsLineItem;
class QLabel;
class QLineSeries;
class QMouseEvent;
class QPushButton;
class OutputLanes;
class TTimeAxis;
class TValueAxis;
class TYRange;

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
    // Both say what failed (and keep the old file) or return true.
    bool saveImage(const QString &path);
    // The span shown or everything the history holds, as the recording writes it.
    bool exportHistory(const QString &path, bool everything);
    // The chart with the title and time range above it and the span's figures below.
    QImage picture() const;
    bool paused() const;

    // The readout for the sample nearest to a time (within the join distance), or empty.
    QString pointerText(int64_t ms) const;
    // The cursor on the sample nearest to ms (none: cleared), as the mouse moves it.
    void showPointer(std::optional<int64_t> ms);
    // The cursor `steps` samples on (negative: back), the view panned to keep it shown.
    void moveCursor(int steps);
    // The cursor on the oldest sample shown.
    void cursorToOldest();
    std::optional<CursorPlace> cursorPlace() const { return cursor; }

    // ---- Controls ----
    QChart *chart = nullptr;
    QChartView *chartView = nullptr;
    TTimeAxis *axisX = nullptr; // ms since the epoch
    TValueAxis *axisY = nullptr; // in the unit shown
    std::vector<QLineSeries *> valueSeries; // one per unbroken stretch of values
    std::array<QLineSeries *, 6> limitSeries{}; // lower 1, higher 1, lower 2, ...
    QComboBox *spanBox = nullptr;
    std::array<QCheckBox *, 3> outputChecks{};
    QPushButton *pauseButton = nullptr;
    QPushButton *liveButton = nullptr; // back to following the newest value
    QPushButton *recordButton = nullptr;
    QPushButton *stopButton = nullptr;
    QPushButton *saveImageButton = nullptr;
    QPushButton *exportButton = nullptr; // its menu: the span shown, everything
    QAction *exportShownAction = nullptr;
    QAction *exportAllAction = nullptr;
    QLabel *spanCaption = nullptr;
    QLabel *statsLabel = nullptr;
    TYRange *yRange = nullptr; // automatic or fixed by two fields
    QLabel *pointerLabel = nullptr;
    QLabel *emptyLabel = nullptr; // over the chart while it has no value to show
    QLabel *recordingLabel = nullptr;
    OutputLanes *lanes = nullptr;          // the outputs' states under the chart
    QGraphicsLineItem *cursorLine = nullptr; // on the chart, at the cursor's time

    int redraws = 0;
    // Called with each accessible name or description told to a screen reader
    // (Qt passes such events on only to a running one); for tests.
    std::function<void(QWidget *, const QString &)> announced;

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void showEvent(QShowEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void chooseRecordingFile();
    void chooseImageFile();
    void chooseExportFile(bool everything);
    void addExportButton(QHBoxLayout *row);
    void retranslateSaving();
    // Says why a save failed; the old file is still there.
    void tellSaveFailed(int saved, const QString &path);
    QString shownWithUnit(float pascal) const;
    void showRecordingState();
    int plotColumns() const;
    void placeEmptyLabel();
    // The hint over the chart: how to get a trend, or that the span has no value.
    void showEmptyHint(std::size_t valuesShown);
    // The span box's items in the language shown, and the span shown in it.
    void fillSpanBox();
    void showSpanShown();
    void spanPicked(int index);
    // Before "Everything" pans: from then on the width it shows.
    void fixEverythingsWidth();
    // Zoom by factor (below 1: in) and pan by ms (negative: back) the time axis.
    // anchor: a time that keeps its place on the axis (none: the right edge).
    void zoomTime(double factor, std::optional<int64_t> anchor = std::nullopt);
    void panTime(int64_t ms);
    void goLive();
    // Press, move and release of the left button over the plot pan the time axis; true: taken.
    bool dragEvent(QMouseEvent *event);
    bool following() const { return !lookEnd && !paused(); }
    // Each line in the legend once: the value's first stretch, and the shown outputs' lines.
    void showLegendEntries();
    // The cursor's readout, line and what a screen reader hears of it, in the unit and language shown now.
    void showCursor();
    // The lanes and the cursor's line where the plot is now.
    void followPlotArea();
    void placeCursorLine();
    // The chart for a screen reader: the cursor's readout and the legend's entries.
    void describeChart();
    void describeLanes();
    // The texts of the cursor, the lanes and the legend's description, at a change of language.
    void translateCursorAndLanes();
    // The readout's accessible interface, before the label is first asked for one.
    static void installReadoutInterface();

    // The statistics' captions: the figures change every poll, the words only with the language.
    QString minimumCaption;
    QString maximumCaption;
    QString meanCaption;
    QString pressureCaption;
    QString heightCaption;
    QString valueName; // the value's entry in the legend
    std::optional<CursorPlace> cursor; // the sample the cursor stands on
    CursorTexts cursorTexts;
    QString legendCaption;
    QString cursorReadoutText; // the cursor's readout, said as a sentence
    // Not recording, recording, recorded, stopped on a failure, the line count's forms.
    std::array<QString, 5> recordingTexts;
    TrendHost &host;
    const TrendHistory &history;
    int64_t frozenEnd = 0;
    std::optional<int64_t> lookEnd; // the view's end while looking back
    // The Y range asked of the axis (before round numbers).
    struct YRequest {
        bool fixed = false;
        double low = 0;
        double high = 1;
        int decimals = 0;
    };
    YRequest yRequest;
    void showYAxis();
    int64_t zoomMs = 0;             // the span zoomed to; 0: the span chosen
    int chosenSpan = 1;             // in the span box, by kSpansMs
    QString customSpanText;
    QString switchOnText;
    QString noValuesText;
    TDragPan drag;
};

// The library's entry point (TrendView.h): a trend window over the host.
extern "C" QZ_TREND_EXPORT TrendView *qz5801CreateTrendView(TrendHost *host, QWidget *parent);

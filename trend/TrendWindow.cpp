#include "TrendWindow.h"

#include "OutputLanes.h"
#include "TimeAxis.h"
#include "ValueAxis.h"
#include "YRange.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFileInfo>
#include <QFontMetricsF>
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

namespace {

const QColor kValueColour(0x1f, 0x4e, 0x9c);
// One colour per output, told apart also by those who confuse red and green.
const QColor kOutputColours[3] = {QColor(0xd5, 0x5e, 0x00), QColor(0x00, 0x9e, 0x73), QColor(0xcc, 0x79, 0xa7)};

QIcon swatch(const QColor &colour)
{
    QPixmap pixmap(12, 12);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

} // namespace

TrendView *qz5801CreateTrendView(TrendHost *host, QWidget *parent) { return new TTrendWindow(*host, parent); }

TTrendWindow::TTrendWindow(TrendHost &trendHost, QWidget *parent)
    : QWidget(parent, Qt::Window), host(trendHost), history(trendHost.history())
{
    setObjectName(QStringLiteral("trendWindow"));
    installReadoutInterface();

    chart = new QChart;
    // At the side, one entry a line: below the plot the names are cut short.
    chart->legend()->setAlignment(Qt::AlignRight);
    chart->setMargins(QMargins(4, 4, 4, 4));
    axisX = new TTimeAxis;
    axisY = new TValueAxis;
    chart->addAxis(axisX, Qt::AlignBottom);
    chart->addAxis(axisY, Qt::AlignLeft);
    for (std::size_t i = 0; i < limitSeries.size(); ++i) {
        auto *series = new QLineSeries;
        QPen pen(kOutputColours[i / 2]);
        pen.setWidthF(1.5);
        pen.setStyle(i % 2 == 0 ? Qt::DashLine : Qt::DashDotLine);
        series->setPen(pen);
        chart->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
        limitSeries[i] = series;
    }
    chartView = new QChartView(chart, this);
    chartView->setObjectName(QStringLiteral("trendChart"));
    chartView->setRenderHint(QPainter::Antialiasing, false);
    chartView->setMinimumSize(640, 320);
    chartView->setMouseTracking(true);
    chartView->viewport()->setMouseTracking(true);
    chartView->viewport()->installEventFilter(this);

    cursorLine = new QGraphicsLineItem(chart);
    cursorLine->setPen(QPen(QColor(0x40, 0x40, 0x40), 1));
    cursorLine->setZValue(20);
    cursorLine->hide();
    lanes = new OutputLanes({kOutputColours[0], kOutputColours[1], kOutputColours[2]}, this);
    connect(chart, &QChart::plotAreaChanged, this, [this] { followPlotArea(); });

    emptyLabel = new QLabel(chartView);
    emptyLabel->setObjectName(QStringLiteral("trendEmpty"));
    emptyLabel->setAlignment(Qt::AlignCenter);
    emptyLabel->hide();

    spanCaption = new QLabel(this);
    spanBox = new QComboBox(this);
    spanBox->setObjectName(QStringLiteral("trendSpan"));
    spanCaption->setBuddy(spanBox);
    auto *controls = new QHBoxLayout;
    controls->addWidget(spanCaption);
    controls->addWidget(spanBox);
    controls->addSpacing(12);
    for (std::size_t i = 0; i < outputChecks.size(); ++i) {
        outputChecks[i] = new QCheckBox(this);
        outputChecks[i]->setObjectName(QStringLiteral("trendOutput%1").arg(i + 1));
        outputChecks[i]->setChecked(true);
        outputChecks[i]->setIcon(swatch(kOutputColours[i]));
        controls->addWidget(outputChecks[i]);
        connect(outputChecks[i], &QCheckBox::toggled, this, [this, i](bool on) {
            lanes->setLaneShown(int(i), on);
            redraw();
        });
    }
    controls->addStretch(1);
    pauseButton = new QPushButton(this);
    pauseButton->setObjectName(QStringLiteral("trendPause"));
    pauseButton->setCheckable(true);
    controls->addWidget(pauseButton);
    liveButton = new QPushButton(this);
    liveButton->setObjectName(QStringLiteral("trendLive"));
    liveButton->setEnabled(false);
    liveButton->setToolTip(QKeySequence(Qt::Key_End).toString(QKeySequence::NativeText));
    controls->addWidget(liveButton);
    connect(liveButton, &QPushButton::clicked, this, [this] { goLive(); });
    chartView->setFocusPolicy(Qt::StrongFocus);
    chartView->installEventFilter(this);

    statsLabel = new QLabel(this);
    statsLabel->setObjectName(QStringLiteral("trendStatistics"));
    statsLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    pointerLabel = new QLabel(this);
    pointerLabel->setObjectName(QStringLiteral("trendPointer"));

    recordButton = new QPushButton(this);
    recordButton->setObjectName(QStringLiteral("trendRecord"));
    stopButton = new QPushButton(this);
    stopButton->setObjectName(QStringLiteral("trendStop"));
    saveImageButton = new QPushButton(this);
    saveImageButton->setObjectName(QStringLiteral("trendSaveImage"));
    recordingLabel = new QLabel(this);
    recordingLabel->setObjectName(QStringLiteral("trendRecording"));
    recordingLabel->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    // The room the row leaves, never more: the file's name is cut to it.
    recordingLabel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    recordingLabel->installEventFilter(this);
    auto *recording = new QHBoxLayout;
    recording->addWidget(recordButton);
    recording->addWidget(stopButton);
    recording->addWidget(recordingLabel, 1);
    recording->addWidget(saveImageButton);
    addExportButton(recording);

    auto *layout = new QVBoxLayout(this);
    layout->addLayout(controls);
    layout->addWidget(chartView, 1);
    layout->addWidget(lanes);
    auto *figures = new QHBoxLayout;
    figures->addWidget(statsLabel, 1);
    yRange = new TYRange(host, *axisY, this);
    connect(yRange, &TYRange::changed, this, [this] { redraw(); });
    figures->addWidget(yRange);
    layout->addLayout(figures);
    layout->addWidget(pointerLabel);
    layout->addLayout(recording);

    // Ctrl+R is the window's item, which the trend takes with the window's other keys.
    connect(spanBox, &QComboBox::currentIndexChanged, this, &TTrendWindow::spanPicked);
    // Escape closes the trend, as it closes a dialog; an open drop-down list or menu first.
    // The Span's open list closes itself when asked whether Escape is a
    // shortcut, and says no: the window's Escape would then close the trend
    // with the same key. The list's view takes the key first (eventFilter).
    spanBox->view()->installEventFilter(this);
    auto *closeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(closeKey, &QShortcut::activated, this, [this] {
        if (QWidget *popup = QApplication::activePopupWidget()) {
            if (spanBox->isAncestorOf(popup))
                spanBox->hidePopup();
            else
                popup->close();
            return;
        }
        close();
    });
    // Enter presses the button that has the focus, as Space does.
    for (QPushButton *button : findChildren<QPushButton *>())
        button->setAutoDefault(true);
    // The chart shows that it has the focus; the frame is there without it too, so nothing moves.
    chartView->setStyleSheet(QStringLiteral("QChartView { border: 2px solid transparent; }"
                                            "QChartView:focus { border: 2px solid palette(highlight); }"));
    // The chart first: Home, End and the arrows act on its cursor from the start.
    setTabOrder(chartView, spanBox);
    connect(pauseButton, &QPushButton::toggled, this, [this](bool on) {
        frozenEnd = host.now();
        // The button says what pressing it does now.
        pauseButton->setText(host.translate(on ? QStringLiteral("Resume") : QStringLiteral("Pause")));
        if (!on)
            redraw();
    });
    connect(recordButton, &QPushButton::clicked, this, [this] { chooseRecordingFile(); });
    connect(stopButton, &QPushButton::clicked, this, [this] { stopRecording(); });
    connect(saveImageButton, &QPushButton::clicked, this, [this] { chooseImageFile(); });

    retranslate();
    showRecordingState();
    resize(800, 520);
}

void TTrendWindow::retranslate()
{
    setWindowTitle(host.translate(QStringLiteral("Trend")) + QStringLiteral(" - ")
                   + host.translate(QStringLiteral("QZ5801 User Software")));
    spanCaption->setText(host.translateWithColon(QStringLiteral("Span")).trimmed());
    fillSpanBox();
    for (std::size_t i = 0; i < outputChecks.size(); ++i)
        outputChecks[i]->setText(host.translate(QStringLiteral("Output")) + QStringLiteral(" %1").arg(i + 1));
    pauseButton->setText(host.translate(paused() ? QStringLiteral("Resume") : QStringLiteral("Pause")));
    liveButton->setText(host.translate(QStringLiteral("Live")));
    liveButton->setAccessibleName(host.translate(QStringLiteral("Live")));
    recordButton->setText(host.translateWithEllipsis(QStringLiteral("Record")));
    recordButton->setToolTip(QKeySequence(Qt::CTRL | Qt::Key_R).toString(QKeySequence::NativeText));
    stopButton->setText(host.translate(QStringLiteral("Stop")));
    saveImageButton->setText(host.translateWithEllipsis(QStringLiteral("Save image")));
    retranslateSaving();
    chartView->setAccessibleName(host.translate(QStringLiteral("Trend")));
    switchOnText = host.translate(QStringLiteral("Switch on Actual value to see the trend"));
    noValuesText = host.translate(QStringLiteral("No values in this span"));
    emptyLabel->setText(switchOnText);
    recordingTexts = {host.translate(QStringLiteral("Not recording")),
                      host.translateWithColon(QStringLiteral("Recording")),
                      host.translateWithColon(QStringLiteral("Recorded")),
                      host.translateWithColon(QStringLiteral("Recording stopped, file cannot be written")),
                      host.translate(QStringLiteral("%i line|%i lines"))};
    minimumCaption = host.translateWithColon(QStringLiteral("Minimum"));
    maximumCaption = host.translateWithColon(QStringLiteral("Maximum"));
    meanCaption = host.translateWithColon(QStringLiteral("Mean"));
    pressureCaption = host.translate(QStringLiteral("Pressure"));
    heightCaption = host.translate(QStringLiteral("Height of the liquid column"));
    valueName = host.translate(QStringLiteral("Actual value"));
    for (QLineSeries *series : valueSeries)
        series->setName(valueName);
    // The lines' dashes named, for those who cannot tell them by colour.
    const QString dashes[2] = {host.translate(QStringLiteral("dashed")), host.translate(QStringLiteral("dash-dot"))};
    const QString sides[2] = {host.translate(QStringLiteral("Lower value")),
                              host.translate(QStringLiteral("Higher value"))};
    for (std::size_t i = 0; i < limitSeries.size(); ++i)
        limitSeries[i]->setName(host.translate(QStringLiteral("Output")) + QStringLiteral(" %1: ").arg(i / 2 + 1)
                                + sides[i % 2] + QStringLiteral(" (") + dashes[i % 2] + u')');
    axisX->dates = datesForLanguage(host.languageShort());
    translateCursorAndLanes();
    yRange->retranslate();
    showRecordingState();
    redraw();
}

QString TTrendWindow::shownWithUnit(float pascal) const
{
    // A value that rounds to zero is zero, whatever its sign.
    return withoutNegativeZero(host.shownNumber(pascal)) + u' ' + host.display().unitText;
}

void TTrendWindow::showYAxis()
{
    // By the view's height, known before the chart lays itself out: taken from
    // the plot's, a change of the labels would lay the chart out a second time.
    const double height = chartView->height() - 3 * QFontMetricsF(axisX->labelsFont()).height();
    axisY->show(yRequest.low, yRequest.high, !yRequest.fixed, yRequest.decimals, height);
}

bool TTrendWindow::paused() const { return pauseButton->isChecked(); }

int TTrendWindow::plotColumns() const
{
    const int plotWidth = int(chart->plotArea().width());
    return std::max(plotWidth > 0 ? plotWidth : chartView->width(), 100);
}

void TTrendWindow::redraw()
{
    ++redraws;
    const int64_t end = lookEnd ? *lookEnd : paused() ? frozenEnd : host.now();
    const int64_t span = zoomMs > 0 ? zoomMs : kSpansMs[std::clamp(chosenSpan, 0, 3)];
    liveButton->setEnabled(lookEnd.has_value() || zoomMs > 0);
    // The last minute is the minute up to now, without the value of a minute ago.
    int64_t begin = end - span + 1;
    if (span == 0)
        begin = history.size() > 0 ? std::min(history.at(0).ms, end - 60'000) : end - 60'000;

    const TrendReduction reduced = history.reduce(begin, end, plotColumns());
    const TrendDisplay shown = host.display();
    const double factor = shown.factor;
    // The first stays, empty or not, for the legend.
    while (valueSeries.size() < std::max<std::size_t>(reduced.segments.size(), 1)) {
        auto *series = new QLineSeries;
        series->setName(valueName);
        QPen pen(kValueColour);
        pen.setWidthF(1.5);
        series->setPen(pen);
        chart->addSeries(series);
        series->attachAxis(axisX);
        series->attachAxis(axisY);
        valueSeries.push_back(series);
    }
    bool any = reduced.count > 0;
    double low = any ? reduced.minimum * factor : 0;
    double high = any ? reduced.maximum * factor : 1;
    // Every axis change makes a series rebuild its outline, which is what a
    // redraw costs with a full history: empty the value lines while the axes
    // move and fill them once at the end.
    for (QLineSeries *series : valueSeries)
        series->clear();
    for (std::size_t i = 0; i < limitSeries.size(); ++i) {
        const bool shown = outputChecks[i / 2]->isChecked();
        limitSeries[i]->setVisible(shown);
        const double value = double(host.limitValue(int(i))) * factor;
        limitSeries[i]->replace({QPointF(double(begin), value), QPointF(double(end), value)});
        if (shown && !any) {
            low = high = value;
            any = true;
        } else if (shown) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    const double margin = high > low ? (high - low) * 0.05 : std::max(std::abs(high) * 0.05, 1.0);
    axisX->show(begin, end, plotColumns());
    yRange->followUnit();
    const auto fixed = yRange->fixedPascal();
    yRequest = fixed ? YRequest{true, fixed->first * factor, fixed->second * factor, shown.decimals}
                     : YRequest{false, low - margin, high + margin, shown.decimals};
    showYAxis();
    const QString title = (shown.isPressure ? pressureCaption : heightCaption) + QStringLiteral(" [") + shown.unitText + u']';
    if (axisY->titleText() != title)
        axisY->setTitleText(title);
    showLegendEntries();
    for (std::size_t i = 0; i < reduced.segments.size(); ++i) {
        QList<QPointF> points;
        points.reserve(qsizetype(reduced.segments[i].size()));
        for (const TrendPoint &p : reduced.segments[i])
            points.append(QPointF(p.ms, p.pascal * factor));
        valueSeries[i]->replace(points);
    }

    showCursor();
    followPlotArea();
    showEmptyHint(reduced.count);
    if (reduced.count == 0) {
        statsLabel->setText(minimumCaption + QStringLiteral("-   ") + maximumCaption + QStringLiteral("-   ")
                            + meanCaption + u'-');
    } else {
        statsLabel->setText(minimumCaption + shownWithUnit(float(reduced.minimum)) + QStringLiteral("   ")
                            + maximumCaption + shownWithUnit(float(reduced.maximum)) + QStringLiteral("   ")
                            + meanCaption + shownWithUnit(float(reduced.mean)));
    }
}

void TTrendWindow::showLegendEntries()
{
    for (std::size_t i = 0; i < valueSeries.size(); ++i)
        for (QLegendMarker *marker : chart->legend()->markers(valueSeries[i]))
            marker->setVisible(i == 0);
    for (std::size_t i = 0; i < limitSeries.size(); ++i)
        for (QLegendMarker *marker : chart->legend()->markers(limitSeries[i]))
            marker->setVisible(outputChecks[i / 2]->isChecked());
    describeChart();
}

void TTrendWindow::placeEmptyLabel()
{
    emptyLabel->adjustSize();
    emptyLabel->move((chartView->width() - emptyLabel->width()) / 2, (chartView->height() - emptyLabel->height()) / 2);
}

void TTrendWindow::historyChanged()
{
    if (following() && isVisible())
        redraw();
}

void TTrendWindow::recordingChanged() { showRecordingState(); }

void TTrendWindow::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // Opened again: on the chart, wherever the focus was when it closed.
    chartView->setFocus(Qt::OtherFocusReason);
    redraw();
}

void TTrendWindow::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (isVisible())
        redraw();
}


// The span box: the span chosen, or the span shown after zooming and paging
// ("Custom" when it is none of the box's), and the hint over an empty chart.
#include "TrendWindow.h"

#include "TimeAxis.h"

#include <QComboBox>
#include <QLabel>
#include <QtCharts/QChartView>

#include <cmath>

namespace {

// The box's place for a span of its own, there only while one is shown.
constexpr int kCustomSpan = 4;

} // namespace

void TTrendWindow::fillSpanBox()
{
    const QSignalBlocker blocker(spanBox);
    spanBox->clear();
    spanBox->addItems({host.translate(QStringLiteral("1 minute")), host.translate(QStringLiteral("10 minutes")),
                       host.translate(QStringLiteral("1 hour")), host.translate(QStringLiteral("Everything"))});
    customSpanText = host.translate(QStringLiteral("Custom"));
    spanBox->setAccessibleName(host.translate(QStringLiteral("Span")));
    showSpanShown();
}

void TTrendWindow::showSpanShown()
{
    int index = chosenSpan;
    if (zoomMs > 0) {
        index = kCustomSpan;
        for (int i = 0; i < 3; ++i)
            if (kSpansMs[i] == zoomMs)
                index = i;
    }
    // Set here, not picked: the span stays as it is shown.
    const QSignalBlocker blocker(spanBox);
    if (index == kCustomSpan && spanBox->count() <= kCustomSpan)
        spanBox->addItem(customSpanText);
    if (index != kCustomSpan && spanBox->count() > kCustomSpan)
        spanBox->removeItem(kCustomSpan);
    if (spanBox->currentIndex() != index)
        spanBox->setCurrentIndex(index);
}

void TTrendWindow::spanPicked(int index)
{
    // "Custom" only tells what is shown: picking it changes nothing.
    if (index < 0 || index >= kCustomSpan) {
        showSpanShown();
        return;
    }
    chosenSpan = index;
    zoomMs = 0;
    showSpanShown();
    redraw();
}

void TTrendWindow::fixEverythingsWidth()
{
    // "Everything" reaches back to the oldest value: moved, it keeps the width it had.
    if (zoomMs == 0 && kSpansMs[chosenSpan] == 0)
        zoomMs = axisX->end() - axisX->begin() + 1;
}

void TTrendWindow::showEmptyHint(std::size_t valuesShown)
{
    // A gap is never the first sample nor follows a gap: a second sample means a value.
    const bool anyValue = history.size() > 1 || (history.size() == 1 && !std::isnan(history.at(0).pascal));
    const bool pastTheHistory = valuesShown == 0 && anyValue;
    emptyLabel->setText(pastTheHistory ? noValuesText : switchOnText);
    // Nothing at all and nothing coming: how to get a trend; none in the span: say so.
    emptyLabel->setVisible(pastTheHistory || (valuesShown == 0 && !host.liveValueOn()));
    placeEmptyLabel();
}

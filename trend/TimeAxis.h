// The trend's time axis: labels on round local times (TimeTicks.h), as many
// as fit the plot's width, on a range in ms since the epoch.
#pragma once

#include "TrendExport.h"

#include "TimeTicks.h"

#include <QtCharts/QCategoryAxis>

#include <cmath>
#include <cstdint>

class QZ_TREND_EXPORT TTimeAxis : public QCategoryAxis {
public:
    explicit TTimeAxis(QObject *parent = nullptr);

    // The range from begin to end (ms since the epoch) on a plot `width` pixels wide.
    void show(int64_t begin, int64_t end, double width);
    qint64 begin() const { return qint64(std::llround(min())); }
    qint64 end() const { return qint64(std::llround(max())); }

    // The clock the labels follow; the system's unless a test sets another.
    QTimeZone zone = QTimeZone::systemTimeZone();
    // How dates are written, by the language shown; the labels change at the next show().
    DateFormats dates = datesForLanguage(QString());

private:
    std::vector<TimeTick> shown;
};

// The trend's Y axis: labels on round numbers (ValueTicks.h), as many as fit
// the plot's height, written as the window writes values.
#pragma once

#include "TrendExport.h"

#include "ValueTicks.h"

#include <QtCharts/QCategoryAxis>

class QZ_TREND_EXPORT TValueAxis : public QCategoryAxis {
public:
    explicit TValueAxis(QObject *parent = nullptr);

    // low to high on a plot `height` pixels high; widen: to whole steps (the automatic range).
    void show(double low, double high, bool widen, int decimals, double height);

private:
    struct Request {
        double low = 0;
        double high = 0;
        bool widen = false;
        int decimals = 0;
        int maxTicks = 0;
        bool operator==(const Request &) const = default;
    };
    Request shown{0, 0, false, -1, 0};
};

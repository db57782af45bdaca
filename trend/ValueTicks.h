// Where the Y axis puts its labels: on round numbers (1, 2 or 5 times a power
// of ten), written as the window writes values, never as "-0.000". Free of
// widgets, so it is tested on its own.
#pragma once

#include <QString>

#include <vector>

struct ValueTick {
    double value = 0;
    QString label;
};

struct ValueTicks {
    double low = 0;  // the axis' range: widened to whole steps, or as asked
    double high = 0;
    std::vector<ValueTick> ticks;
};

// At most maxTicks ticks on round numbers from low to high. widen: the range
// grows to whole steps, each at least a unit of the last decimal shown (the
// automatic range); otherwise it stays as asked (a fixed range) and a range
// finer than the decimals gets the decimals its steps need. Labels have a
// point as the decimal separator and no thousands separators.
ValueTicks valueTicks(double low, double high, bool widen, int decimals, int maxTicks);

// A number as text without the minus of a value that rounds to zero:
// "-0.000" becomes "0.000", "-0,0" becomes "0,0"; everything else stays.
QString withoutNegativeZero(const QString &number);

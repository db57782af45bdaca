#include "ValueTicks.h"

#include <QLocale>

#include <algorithm>
#include <cmath>

namespace {

// The smallest of 1, 2, 5 times a power of ten at or above step.
double roundStep(double step)
{
    const double power = std::pow(10.0, std::floor(std::log10(step)));
    for (const double m : {1.0, 2.0, 5.0, 10.0})
        if (m * power >= step * (1 - 1e-9))
            return m * power;
    return 10 * power;
}

// Decimals that tell steps of this size apart.
int decimalsOf(double step)
{
    return std::clamp(int(std::ceil(-std::log10(step) - 1e-9)), 0, 15);
}

} // namespace

ValueTicks valueTicks(double low, double high, bool widen, int decimals, int maxTicks)
{
    ValueTicks out{low, high, {}};
    if (!std::isfinite(low) || !std::isfinite(high) || !(low < high) || maxTicks < 2)
        return out;
    decimals = std::clamp(decimals, 0, 15);
    double step = roundStep((high - low) / double(maxTicks - 1));
    if (widen) {
        // Labels differ at the decimals shown.
        step = std::max(step, std::pow(10.0, -decimals));
        out.low = std::floor(low / step) * step;
        out.high = std::ceil(high / step) * step;
    } else {
        decimals = std::max(decimals, decimalsOf(step));
    }
    if (!std::isfinite(step) || step <= 0)
        return out;
    const double first = std::ceil(out.low / step - 1e-9);
    const double last = std::floor(out.high / step + 1e-9);
    for (double k = first; k <= last && out.ticks.size() < std::size_t(maxTicks) + 1; ++k) {
        // k times step, not a sum of steps: zero is exactly zero.
        const double value = k == 0 ? 0.0 : k * step;
        out.ticks.push_back({value, withoutNegativeZero(QLocale::c().toString(value, 'f', decimals))});
    }
    return out;
}

QString withoutNegativeZero(const QString &number)
{
    if (!number.startsWith(u'-'))
        return number;
    for (qsizetype i = 1; i < number.size(); ++i) {
        const QChar c = number.at(i);
        if (c != u'0' && c != u'.' && c != u',')
            return number;
    }
    return number.size() > 1 ? number.mid(1) : number;
}

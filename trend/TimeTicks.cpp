#include "TimeTicks.h"

#include <QDateTime>

#include <algorithm>

namespace {

constexpr int64_t kDayMs = 86'400'000;

int64_t floorDiv(int64_t a, int64_t b) { return a / b - (a % b != 0 && (a < 0) != (b < 0) ? 1 : 0); }

QDateTime at(int64_t ms, const QTimeZone &zone) { return QDateTime::fromMSecsSinceEpoch(ms, zone); }

// The zone's offset at an instant, in ms; a zone the system does not know counts as UTC.
int64_t offsetMs(int64_t ms, const QTimeZone &zone)
{
    return zone.isValid() ? int64_t(zone.offsetFromUtc(QDateTime::fromMSecsSinceEpoch(ms, QTimeZone::utc()))) * 1000
                          : 0;
}

QString offsetText(int64_t offset)
{
    const int64_t minutes = (offset < 0 ? -offset : offset) / 60'000;
    return QStringLiteral("UTC%1%2:%3")
        .arg(QChar(offset < 0 ? u'-' : u'+'))
        .arg(minutes / 60, 2, 10, QChar(u'0'))
        .arg(minutes % 60, 2, 10, QChar(u'0'));
}

struct Candidate {
    int64_t ms;
    int64_t offset;
};

// Instants whose clock time is a multiple of stepMs past midnight, at most
// limit + 1 of them (one more tells that the step is too small).
std::vector<Candidate> roundTimes(int64_t begin, int64_t end, int64_t stepMs, std::size_t limit, const QTimeZone &zone)
{
    std::vector<Candidate> found;
    int64_t t = begin;
    while (t <= end && found.size() <= limit) {
        const int64_t offset = offsetMs(t, zone);
        const int64_t local = t + offset;
        const int64_t candidate = (floorDiv(local - 1, stepMs) + 1) * stepMs - offset;
        if (offsetMs(candidate, zone) != offset) {
            // The clock jumps before it: go on from the jump with the new offset.
            const QTimeZone::OffsetData next = zone.nextTransition(QDateTime::fromMSecsSinceEpoch(t, QTimeZone::utc()));
            const int64_t jump = next.atUtc.isValid() ? next.atUtc.toMSecsSinceEpoch() : t;
            if (jump <= t || jump > end)
                break;
            t = jump;
            continue;
        }
        if (candidate > end)
            break;
        // When the clock goes back an hour, a 2 h step would meet the repeated hour half a step on.
        if (found.empty() || candidate - found.back().ms > stepMs / 2)
            found.push_back({candidate, offset});
        t = candidate + 1;
    }
    return found;
}

// Local midnights every `days` days, from the first at or after begin.
std::vector<Candidate> midnights(int64_t begin, int64_t end, int64_t days, const QTimeZone &zone)
{
    std::vector<Candidate> found;
    QDate date = at(begin, zone).date();
    for (int guard = 0; guard < 1000; ++guard) {
        const QDateTime midnight(date, QTime(0, 0), zone);
        const int64_t ms = midnight.toMSecsSinceEpoch();
        if (ms > end)
            break;
        if (ms >= begin)
            found.push_back({ms, offsetMs(ms, zone)});
        date = date.addDays(found.empty() ? 1 : days);
    }
    return found;
}

// The clock shows this instant's time at another instant too (the hour the clock goes back).
bool repeatedTime(int64_t ms, int64_t offset, const QTimeZone &zone)
{
    for (const int64_t around : {ms - 6 * 3'600'000, ms + 6 * 3'600'000}) {
        const int64_t other = offsetMs(around, zone);
        if (other != offset && offsetMs(ms + offset - other, zone) == other)
            return true;
    }
    return false;
}

std::vector<TimeTick> labelled(const std::vector<Candidate> &ticks, int64_t begin, int64_t end, int64_t stepMs,
                               const QTimeZone &zone, const DateFormats &dates)
{
    const QString timeFormat = stepMs < 60'000 ? QStringLiteral("HH:mm:ss") : QStringLiteral("HH:mm");
    const bool dateOnEach = end - begin > 6 * 3'600'000;
    QDate lastDate = at(begin, zone).date();
    const bool crossesMidnight = at(end, zone).date() != lastDate;
    // The offset goes on both sides of a change and on a time the clock shows twice.
    std::vector<bool> withOffset(ticks.size(), false);
    int64_t lastOffset = offsetMs(begin, zone);
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        if (ticks[i].offset != lastOffset) {
            withOffset[i] = true;
            if (i > 0)
                withOffset[i - 1] = true;
        }
        lastOffset = ticks[i].offset;
    }
    std::vector<TimeTick> out;
    out.reserve(ticks.size());
    for (std::size_t i = 0; i < ticks.size(); ++i) {
        const QDateTime local = at(ticks[i].ms, zone);
        QString label = local.toString(timeFormat);
        if (dateOnEach || (crossesMidnight && (i == 0 || local.date() != lastDate)))
            label = local.toString(dates.dayMonth) + u' ' + label;
        if (withOffset[i] || repeatedTime(ticks[i].ms, ticks[i].offset, zone))
            label += u' ' + offsetText(ticks[i].offset);
        lastDate = local.date();
        out.push_back({ticks[i].ms, label});
    }
    return out;
}

} // namespace

DateFormats datesForLanguage(const QString &languageShort)
{
    const QString language = languageShort.trimmed().toUpper();
    if (language.isEmpty() || language == QLatin1String("UK") || language == QLatin1String("EN")
        || language == QLatin1String("US"))
        return {QStringLiteral("MM/dd"), QStringLiteral("MM/dd/yyyy")};
    for (const char *dotted : {"CZ", "CS", "DE", "AT", "CH", "SK", "PL"})
        if (language == QLatin1String(dotted))
            return {QStringLiteral("dd.MM."), QStringLiteral("dd.MM.yyyy")};
    return {QStringLiteral("MM-dd"), QStringLiteral("yyyy-MM-dd")};
}

std::vector<TimeTick> timeTicks(int64_t beginMs, int64_t endMs, int maxTicks, const QTimeZone &zone,
                                const DateFormats &dates)
{
    if (endMs < beginMs || maxTicks < 1)
        return {};
    const auto limit = std::size_t(maxTicks);
    const int64_t span = endMs - beginMs;
    for (const int64_t step : kTimeTickSteps) {
        const int64_t stepMs = step * 1000;
        // Daylight saving adds at most one tick to what the span holds.
        if (span / stepMs > maxTicks)
            continue;
        const std::vector<Candidate> found = roundTimes(beginMs, endMs, stepMs, limit, zone);
        if (found.size() <= limit)
            return labelled(found, beginMs, endMs, stepMs, zone, dates);
    }
    // Longer than the steps reach: whole days.
    const int64_t days = std::max<int64_t>(span / kDayMs / maxTicks + 1, 1);
    std::vector<Candidate> found = midnights(beginMs, endMs, days, zone);
    if (found.size() > limit)
        found.resize(limit);
    return labelled(found, beginMs, endMs, kDayMs, zone, dates);
}

std::vector<TimeTick> fittingTimeTicks(int64_t beginMs, int64_t endMs, const QTimeZone &zone,
                                       const DateFormats &dates, double width,
                                       const std::function<double(const QString &)> &labelWidth, double gap,
                                       int maxTicks)
{
    const double span = double(std::max<int64_t>(endMs - beginMs, 1));
    for (int n = maxTicks; n >= 1;) {
        std::vector<TimeTick> ticks = timeTicks(beginMs, endMs, n, zone, dates);
        bool fits = true;
        double previousX = 0;
        double previousHalf = 0;
        for (std::size_t i = 0; i < ticks.size() && fits; ++i) {
            const double x = double(ticks[i].ms - beginMs) / span * width;
            const double half = labelWidth(ticks[i].label) / 2;
            fits = i == 0 || x - previousX >= previousHalf + half + gap;
            previousX = x;
            previousHalf = half;
        }
        if (fits)
            return ticks;
        n = std::min(n, int(ticks.size())) - 1;
    }
    return {};
}

QString repeatedTimeOffset(int64_t ms, const QTimeZone &zone)
{
    if (!zone.isValid())
        return {};
    const int64_t offset = offsetMs(ms, zone);
    // The same clock time an offset change earlier or later, with the other offset.
    for (const int64_t apart : {int64_t(3'600'000), int64_t(1'800'000), int64_t(7'200'000)}) {
        for (const int64_t other : {ms - apart, ms + apart}) {
            const int64_t otherOffset = offsetMs(other, zone);
            if (otherOffset != offset && other + otherOffset == ms + offset)
                return offsetText(offset);
        }
    }
    return {};
}

#include "TrendCursor.h"

#include "TimeTicks.h"

#include <QDateTime>

#include <algorithm>
#include <cmath>

std::size_t cursorIndex(const TrendHistory &history, const CursorPlace &place)
{
    const std::size_t first = history.lowerBound(place.ms);
    const std::size_t index = first + place.ordinal;
    // Fewer of that time than the place counted (dropped with the oldest): the first after.
    if (index >= history.size() || history.at(index).ms != place.ms)
        return history.lowerBound(place.ms + 1);
    return index;
}

CursorPlace cursorPlaceOf(const TrendHistory &history, std::size_t index)
{
    const int64_t ms = history.at(index).ms;
    return CursorPlace{ms, index - history.lowerBound(ms)};
}

std::optional<CursorPlace> nearestSample(const TrendHistory &history, int64_t ms, int64_t maxDistanceMs)
{
    const std::size_t after = history.lowerBound(ms);
    std::optional<std::size_t> best;
    int64_t bestDistance = maxDistanceMs;
    if (after < history.size() && history.at(after).ms - ms <= bestDistance) {
        best = after;
        bestDistance = history.at(after).ms - ms;
    }
    if (after > 0) {
        const int64_t distance = ms - history.at(after - 1).ms;
        if (distance <= bestDistance && (!best || distance < bestDistance))
            best = after - 1;
    }
    if (!best)
        return std::nullopt;
    return cursorPlaceOf(history, *best);
}

std::optional<CursorPlace> stepCursor(const TrendHistory &history, std::optional<CursorPlace> from, int steps,
                                      int64_t begin, int64_t end)
{
    if (history.size() == 0)
        return std::nullopt;
    if (!from) {
        const std::size_t after = history.lowerBound(end + 1);
        if (after == 0 || history.at(after - 1).ms < begin)
            return std::nullopt;
        return cursorPlaceOf(history, after - 1);
    }
    const auto last = static_cast<long long>(history.size()) - 1;
    long long index = static_cast<long long>(cursorIndex(history, *from));
    // A place whose sample is gone stands before the next one: a step back goes there.
    if (steps < 0 && (index > last || history.at(std::size_t(index)).ms != from->ms))
        ++steps;
    index = std::clamp(index + steps, 0LL, last);
    return cursorPlaceOf(history, std::size_t(index));
}

QString cursorTimeText(int64_t ms, int64_t begin, int64_t end, const DateFormats &dates, const QTimeZone &zone)
{
    const bool withDate = end - begin > 6 * 3'600'000
                          || QDateTime::fromMSecsSinceEpoch(begin, zone).date()
                                 != QDateTime::fromMSecsSinceEpoch(end, zone).date();
    QString text = QDateTime::fromMSecsSinceEpoch(ms, zone).toString(withDate ? dates.full + QStringLiteral(" HH:mm:ss.zzz")
                                                                               : QStringLiteral("HH:mm:ss.zzz"));
    // In the hour the clock shows twice, as the time axis does.
    const QString offset = repeatedTimeOffset(ms, zone);
    if (!offset.isEmpty())
        text += u' ' + offset;
    return text;
}

QString lampStatesText(uint8_t lamps, const CursorTexts &texts)
{
    QString text;
    for (std::size_t i = 0; i < 3; ++i) {
        if (i > 0)
            text += QStringLiteral(", ");
        text += (lamps >> i) & 1 ? texts.lampOn[i] : texts.lampOff[i];
    }
    return text;
}

QStringList cursorReadout(const TrendSample &sample, const QString &timeText, const QString &valueText,
                          const CursorTexts &texts)
{
    // After a gap the lamps tell nothing: no poll was answered.
    if (std::isnan(sample.pascal))
        return {texts.caption + timeText, texts.noValue};
    return {texts.caption + timeText, valueText, lampStatesText(sample.lamps, texts)};
}

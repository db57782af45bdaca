// Where the time axis puts its labels: on round local times, few enough that
// the labels stay apart. Free of widgets, so it is tested on its own.
#pragma once

#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <functional>
#include <vector>

struct TimeTick {
    int64_t ms = 0; // since the epoch
    QString label;
};

// How the language shown writes a date: day and month on the time axis, the
// whole date in the cursor's readout (QDateTime formats).
struct DateFormats {
    QString dayMonth;
    QString full;
    bool operator==(const DateFormats &) const = default;
};
// By the language's short name in the catalogue: English "12/10" and
// "12/10/2026", Czech, German and their neighbours "10.12." and "10.12.2026",
// any other language ISO 8601, "12-10" and "2026-12-10".
DateFormats datesForLanguage(const QString &languageShort);

// The steps ticks are set apart by, from a second to a day, in seconds.
inline constexpr int64_t kTimeTickSteps[] = {1,    2,    5,    10,    15,    30,    60,    120,   300,
                                             600,  900,  1800, 3600,  7200,  10800, 21600, 43200, 86400};

// At most maxTicks ticks from begin to end (both in ms since the epoch) on
// round times of the zone's clock, with the smallest step that allows it.
// Labels are "HH:mm:ss" below a minute's step, else "HH:mm". The date
// (dates.dayMonth and a blank) goes on every label of a span over 6 h; a shorter span that
// crosses midnight has it on its first label and the first of the new day.
// Where the zone's offset changes (daylight saving) the clock jumps or shows
// an hour twice, so the labels on both sides of the change and those of a
// time shown twice carry their offset ("02:00 UTC+02:00", "02:00 UTC+01:00"):
// the labels stay in order of time and none repeats.
std::vector<TimeTick> timeTicks(int64_t beginMs, int64_t endMs, int maxTicks, const QTimeZone &zone,
                                const DateFormats &dates);

// The ticks with the most labels (up to maxTicks) whose labels, measured by
// labelWidth and kept gap apart, do not overlap on a plot width pixels wide.
std::vector<TimeTick> fittingTimeTicks(int64_t beginMs, int64_t endMs, const QTimeZone &zone,
                                       const DateFormats &dates, double width,
                                       const std::function<double(const QString &)> &labelWidth,
                                       double gap = 8, int maxTicks = 10);

// The offset ("UTC+02:00") when the zone's clock shows the time of ms twice
// (the hour repeated when daylight saving ends), else empty: it tells the
// two apart.
QString repeatedTimeOffset(int64_t ms, const QTimeZone &zone);

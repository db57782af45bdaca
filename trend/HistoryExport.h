// The trend's history written as the recording writes it, and files saved
// whole or not at all. No widgets.
#pragma once

#include "TrendHistory.h"

#include <QByteArray>
#include <QString>
#include <QTimeZone>

#include <cstdint>
#include <functional>

class QIODevice;

namespace trendexport {

// The header and one line per value polled from `from` to `to` (ms, ends
// included): the lines a recording running over the whole history would have
// written, each time after the one before, gaps without a line. The value
// and unit as the window shows them now.
QByteArray historyCsv(const TrendHistory &history, int64_t from, int64_t to,
                      const std::function<QString(float)> &shownNumber, const QString &unit);

// "2026-12-10 15:04:05+01:00 – 2026-12-10 15:14:05+01:00": a span's ends in
// the zone's time, each with its offset from UTC as the lines carry it.
QString timeRangeText(int64_t from, int64_t to, const QTimeZone &zone);

enum class Saved { Yes, CannotOpen, CannotWrite };

// Writes through a temporary file in the target's folder that then replaces
// the target: a failed save leaves the old file as it was and nothing else.
Saved saveWhole(const QString &path, const std::function<bool(QIODevice &)> &write);

} // namespace trendexport

#include "HistoryExport.h"

#include "RecordFormat.h"

#include <QDateTime>
#include <QSaveFile>

#include <cmath>
#include <cstring>

namespace trendexport {

QString timeRangeText(int64_t from, int64_t to, const QTimeZone &zone)
{
    const auto end = [&zone](int64_t ms) {
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(ms, zone);
        return time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) + record::offsetText(time.offsetFromUtc());
    };
    return end(from) + QStringLiteral(" \u2013 ") + end(to);
}

QByteArray historyCsv(const TrendHistory &history, int64_t from, int64_t to,
                      const std::function<QString(float)> &shownNumber, const QString &unit)
{
    QByteArray out;
    const std::size_t first = history.lowerBound(from);
    const std::size_t end = history.lowerBound(to == INT64_MAX ? to : to + 1);
    out.reserve(qsizetype(std::strlen(record::kHeader) + 2 + (end - first) * 80));
    out += record::kHeader;
    out += record::kLineEnd;

    record::LineWriter writer;
    // The recording stamps a time that is not later than the last line's one
    // millisecond after it; the values before the span count for that too.
    int64_t last = INT64_MIN;
    float shownPascal = NAN;
    QString shown;
    for (std::size_t i = 0; i < end; ++i) {
        const TrendSample &sample = history.at(i);
        if (std::isnan(sample.pascal))
            continue;
        const int64_t ms = last != INT64_MIN && sample.ms <= last ? last + 1 : sample.ms;
        last = ms;
        if (i < first)
            continue;
        // A steady value is formatted once.
        if (!(sample.pascal == shownPascal) || std::signbit(sample.pascal) != std::signbit(shownPascal)) {
            shownPascal = sample.pascal;
            shown = shownNumber(sample.pascal);
        }
        writer.append(out, ms, sample.pascal, shown, unit, sample.lamps);
    }
    return out;
}

Saved saveWhole(const QString &path, const std::function<bool(QIODevice &)> &write)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Saved::CannotOpen;
    // Flushed here: the commit does not see a buffer that failed to reach
    // the disk. Not committed, the temporary file goes with the object.
    if (!write(file) || !file.flush() || file.error() != QFileDevice::NoError)
        return Saved::CannotWrite;
    return file.commit() ? Saved::Yes : Saved::CannotWrite;
}

} // namespace trendexport

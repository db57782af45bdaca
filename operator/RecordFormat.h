// The recording's file format, one CSV line per value, shared by the
// recording and the trend's export of its history. No widgets.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <array>
#include <cstdint>

struct RecordedValue {
    QDateTime time;          // local time
    float pascal = 0;
    QString shownNumber;     // as the window shows it
    QString unit;
    std::array<bool, 3> lamps{};
};

namespace record {

inline constexpr const char *kHeader = "time,pressure_pa,value,unit,output1,output2,output3";
// Every line ends so, the header too.
inline constexpr const char *kLineEnd = "\r\n";

// "+01:00": an offset from UTC as the lines carry it.
QString offsetText(int offsetSeconds);
// "2026-12-10T15:04:05.123+01:00": local time to the millisecond with its offset from UTC.
QString isoTimeWithOffset(const QDateTime &time);
// One CSV line, without the line end.
QString csvLine(const RecordedValue &value);

// The same lines appended to a buffer, for many values in a row: the local
// date, hour, minute and offset are looked up once a minute, not per line.
class LineWriter {
public:
    // The line for a value at ms (milliseconds since the epoch, shown in
    // local time) and its line end; lamps bit i is output i + 1.
    void append(QByteArray &out, int64_t ms, float pascal, const QString &shownNumber, const QString &unit,
                uint8_t lamps);

private:
    void lookUpMinute(int64_t minute);

    int64_t cachedMinute = INT64_MIN;
    bool minuteIsRegular = false; // one offset in whole minutes for the whole minute
    QByteArray minutePrefix;      // "2026-12-10T15:04:"
    QByteArray offsetText;        // "+01:00"
    QString lastUnit;
    QByteArray lastUnitField;
};

} // namespace record

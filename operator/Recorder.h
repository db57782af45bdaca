// Recording the live value into a CSV file: one line per value, each line on
// the disk before the next value comes, appended to what the file holds.
#pragma once

#include <QDateTime>
#include <QFile>
#include <QString>

#include <array>

struct RecordedValue {
    QDateTime time;          // local time
    float pascal = 0;
    QString shownNumber;     // as the window shows it
    QString unit;
    std::array<bool, 3> lamps{};
};

class TRecorder {
public:
    static constexpr const char *kHeader = "time,pressure_pa,value,unit,output1,output2,output3";

    // Opens the file for appending; a new or empty file gets the header line.
    // False (nothing started) when the file cannot be opened or the header not written.
    bool start(const QString &path);
    // False when the line did not reach the file; the recording is then stopped.
    bool write(const RecordedValue &value);
    void stop();

    bool active() const { return file.isOpen(); }
    QString path() const { return filePath; }
    qint64 linesWritten() const { return lines; }
    QString errorText() const { return error; }

    // "2026-12-10T15:04:05+01:00": local time with its offset from UTC.
    static QString isoTimeWithOffset(const QDateTime &time);
    // One CSV line, without the line end.
    static QString csvLine(const RecordedValue &value);

private:
    bool writeLine(const QString &line);

    QFile file;
    QString filePath;
    QString error;
    qint64 lines = 0;
};

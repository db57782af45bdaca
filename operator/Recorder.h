// Recording the live value into a CSV file: one line per value, each line on
// the disk before the next value comes, appended to what the file holds. The
// file only ever holds whole lines: a line the disk took only part of is cut
// off again, and an earlier run's broken last line is cut before appending.
#pragma once

#include "RecordFormat.h"

#include <QDateTime>
#include <QFile>
#include <QObject>
#include <QString>

class TRecorder : public QObject {
    Q_OBJECT
public:
    static constexpr const char *kHeader = record::kHeader;

    using QObject::QObject;

    // Opens the file for appending; a new or empty file gets the header line.
    // False (nothing started) when the file cannot be opened or the header not written.
    bool start(const QString &path);
    // False when the line did not reach the file whole; the recording has then
    // stopped (failed() tells) and the file ends with its last whole line.
    // Never waits for anyone: a failure is only reported through changed().
    bool write(const RecordedValue &value);
    void stop();

    bool active() const { return file.isOpen(); }
    // The last recording stopped because the file could not be written.
    bool failed() const { return writeFailed; }
    QString path() const { return filePath; }
    qint64 linesWritten() const { return lines; }
    QString errorText() const { return error; }

    // "2026-12-10T15:04:05.123+01:00": local time to the millisecond with its offset from UTC.
    static QString isoTimeWithOffset(const QDateTime &time) { return record::isoTimeWithOffset(time); }
    // One CSV line, without the line end.
    static QString csvLine(const RecordedValue &value) { return record::csvLine(value); }

signals:
    // Started, stopped, failed or one more line written.
    void changed();

private:
    bool writeLine(const QString &line);
    bool cutToWholeLines();
    void fail();

    QFile file;
    QString filePath;
    QString error;
    qint64 lines = 0;
    qint64 wholeLinesEnd = 0;  // file size after the last whole line
    QDateTime lastTime;        // of the last line: every line's time is later
    bool writeFailed = false;
};

// Records the window could not write to its journal (unreachable, or still
// pending when the window closed), kept in a file beside the settings until
// the next start writes them. One record per line (JSON), the whole file
// replaced at once on every change, so a crash leaves the old or the new
// file and never half of one.
#pragma once

#include "JournalEntry.h"

#include <QByteArray>
#include <QString>

#include <vector>

// At most this many records and bytes; a record that would pass either is
// not kept, and the ones already there stay.
inline constexpr int kMaxSpoolRecords = 1000;
inline constexpr qint64 kMaxSpoolBytes = 4 * 1024 * 1024;

// "qz5801-journal.spool" in the settings folder; empty when that is unknown.
QString defaultSpoolPath();

QByteArray spoolLine(const journal::Entry &entry);
// Nothing for a line that is not a whole record.
std::optional<journal::Entry> spoolEntry(const QByteArray &line);

// Every change goes through one lock per process: the journal's thread and
// the window's exit both write here.
class JournalSpool {
public:
    explicit JournalSpool(QString path) : file(std::move(path)) {}
    const QString &path() const { return file; }
    bool exists() const;

    // Adds the records after those already there; false, with the reason,
    // when they could not all be kept.
    bool add(const std::vector<journal::Entry> &entries, QString &problem);
    // The records kept, in order, as lines. A file that cannot be read as
    // records is renamed aside (never dropped) and `problem` says where.
    std::vector<QByteArray> read(QString &problem);
    // Takes these lines (written to the journal) out; the file goes with the last.
    bool remove(const std::vector<QByteArray> &lines, QString &problem);

private:
    std::vector<QByteArray> readLocked(QString &problem);
    bool writeLocked(const std::vector<QByteArray> &lines, QString &problem);
    QString file;
};

// The write journal: one record per attempt to change a transmitter's
// configuration. A record is begun (who, what, the before-state) and
// committed before the first write frame, and completed with the result; a
// record a killed process left begun reads as not finished. SQLite and
// PostgreSQL go through the same statements, with bound parameters only.
#pragma once

#include "JournalEntry.h"

#include <functional>
#include <vector>

namespace journal {

class Journal {
public:
    // Opens the journal and creates or checks its tables. The calling thread
    // is the only one that may use it.
    explicit Journal(const Address &address);
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    const Address &address() const { return where; }

    // Stores the entry as begun, committed; fills in the time and who, when
    // empty, and returns the record's id.
    qint64 begin(Entry &entry);
    // Sets the result, the after-state and the detail of a begun record, committed.
    void complete(qint64 id, Result result, const MemoryContent &after, const QString &detail);
    // A record made after the fact, in one step (the window's).
    qint64 add(Entry &entry);

    // Newest first.
    std::vector<Entry> history(const Filter &filter);
    std::optional<Entry> record(qint64 id);
    // The latest write or restore of this serial number that was written.
    std::optional<Entry> latestWritten(int serial);
    // The attachment of a record (a verification run's data), if it has one.
    std::optional<Attachment> attachment(qint64 id);

    // 2: qz5801_journal_attachment added.
    static constexpr int kSchemaVersion = 2;
    // An attachment's data larger than this is refused.
    static constexpr qsizetype kMaxAttachmentBytes = 4 * 1024 * 1024;

private:
    void execute(const QString &sql, const char *what);
    void inTransaction(const char *what, const std::function<void()> &work);
    qint64 insert(const Entry &entry);
    [[noreturn]] void failWith(const char *what, const QString &reason) const;

    Address where;
    QString connection;
};
} // namespace journal

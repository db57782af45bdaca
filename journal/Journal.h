// The write journal: one record per attempt to change a transmitter's
// configuration. A record is begun (who, what, the before-state) and
// committed before the first write frame, and completed with the result; a
// record a killed process left begun reads as not finished. SQLite and
// PostgreSQL go through the same statements, with bound parameters only.
// Records are ordered by the journal's own sequence (the id), never by the
// clock of the station that wrote them.
#pragma once

#include "JournalEntry.h"

#include <functional>
#include <memory>
#include <vector>

class QSqlQuery;

namespace journal {

// How a journal is opened.
struct OpenOptions {
    // Reading only: nothing is created or changed, a missing file is not
    // made, and a database that holds no journal is refused.
    bool readOnly = false;
    // The longest a statement, a lock or a retry after a lost connection may
    // take, in ms (a busy SQLite, a locked PostgreSQL table, a restarted server).
    int waitMs = 10000;
};

// QZ5801_JOURNAL_TIMEOUT (seconds, 1 to 600) when set and valid, else the default.
int waitMsFromEnvironment();

class Journal {
public:
    // Opens the journal and creates or checks its tables (the version is read
    // before anything is created). The calling thread is the only one that may use it.
    explicit Journal(const Address &address, const OpenOptions &options = {});
    ~Journal();
    Journal(const Journal &) = delete;
    Journal &operator=(const Journal &) = delete;

    const Address &address() const { return where; }

    // Stores the entry as begun, committed; fills in the time and who, when
    // empty, and returns the record's id.
    qint64 begin(Entry &entry);
    // Sets the result, the after-state and the detail of a begun record,
    // committed. A lost connection or a busy database is retried (with a new
    // connection) within the wait limit; a JournalError after it.
    void complete(qint64 id, Result result, const MemoryContent &after, const QString &detail);
    // A record made after the fact, in one step (the window's).
    qint64 add(Entry &entry);
    // Runs `work` (begin and complete calls) in one transaction, so several
    // records cost one commit and one synchronisation. All or nothing: a
    // failure rolls everything back and is thrown; `committing` then says
    // whether COMMIT was under way, after which records may or may not be there.
    void together(const std::function<void()> &work, bool &committing);

    // Newest first, by the journal's sequence.
    std::vector<Entry> history(const Filter &filter);
    std::optional<Entry> record(qint64 id);
    // The records of writes and restores of this serial number that hold the
    // configuration from before them, whatever their result, newest first by
    // the journal's sequence; at most `limit` (0: all).
    std::vector<Entry> writesOf(int serial, int limit = 0);
    // The latest write or restore of this serial number that was written.
    std::optional<Entry> latestWritten(int serial);
    // The attachment of a record (a verification run's data), if it has one.
    std::optional<Attachment> attachment(qint64 id);

    // 2: qz5801_journal_attachment added.
    static constexpr int kSchemaVersion = 2;
    // An attachment's data larger than this is refused.
    static constexpr qsizetype kMaxAttachmentBytes = 4 * 1024 * 1024;

private:
    void connect();
    void prepareSchema();
    // The statement prepared once on this connection (made on first use).
    QSqlQuery &statement(std::unique_ptr<QSqlQuery> &slot, const QString &sql);
    void dropStatements();
    void execute(const QString &sql, const char *what);
    void inTransaction(const char *what, const std::function<void()> &work, bool oneStatement = false);
    qint64 insert(const Entry &entry);
    void updateResult(qint64 id, Result result, const MemoryContent &after, const QString &detail);
    std::vector<Entry> select(const QString &where, const QVariantList &values, int limit);
    [[noreturn]] void failWith(const char *what, const QString &reason) const;

    Address where;
    OpenOptions options;
    QString connection;
    bool joined = false; // inside together()
    std::unique_ptr<QSqlQuery> insertRecord, updateRecord;
};
} // namespace journal

// What the write journal keeps of one attempt to change a transmitter's
// configuration, and where the journal is: Qt Core only, so the window holds
// its records without the database code, which it loads with the first one.
#pragma once

#include "JournalAddress.h"
#include "MemoryContent.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <optional>
#include <stdexcept>

namespace journal {

// Every failure of the journal: a text that says what could not be done and why.
class JournalError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// How an attempt ended. Begun: not finished (still running, or the process
// ended first). Interrupted: a signal came before the first write frame, so
// none was sent. Passed and NotPassed end a verification run (Failed: it
// could not be finished).
enum class Result { Begun, Written, VerifyFailed, Failed, Refused, Interrupted, Passed, NotPassed };

// "not finished", "written", "verify failed", "failed", "refused", "interrupted", "passed", "not passed"
QString resultName(Result r);

// What a record of another kind than a write carries beside it, kept whole
// in a table of its own: a verification run's data (plan, readings,
// results) and its certificate number.
struct Attachment {
    QString kind;        // "verification"
    QString certificate; // the certificate's number
    QByteArray data;     // the run's data, as hashed
    QString dataSha256;  // hex
};

struct Entry {
    qint64 id = 0;
    QDateTime begun;    // UTC, milliseconds
    QDateTime finished; // invalid while begun
    QString station;
    QString user;
    QString program;
    QString version;
    qint64 processId = 0;
    QString operation; // "write-config", "restore", "window write", "zero correction"
    std::optional<int> serial;
    QString location;   // USB location, when known
    QString fileName;   // when the configuration came from a file
    QString fileSha256; // hex
    MemoryContent before;
    MemoryContent requested;
    MemoryContent after;
    Result result = Result::Begun;
    QString detail; // which fields, which transaction, why
    std::optional<qint64> restoredFrom;
    std::optional<Attachment> attachment;
};

struct Filter {
    std::optional<int> serial;
    QDateTime since; // invalid: from the start
    int limit = 0;   // 0: all
};

// The entry's who and when, as this process sees them.
void stampEntry(Entry &entry, const QString &program, const QString &version);

} // namespace journal

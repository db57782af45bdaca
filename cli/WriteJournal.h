// The journal record of one write by the companion: opened before the
// transmitter is touched, begun (and committed) before the first write frame,
// completed with the result. Without a journal nothing is written, unless
// --no-journal was given.
#pragma once

#include "Cli.h"

#include <QByteArray>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace journal {
class Journal;
struct Entry;
}

namespace cli {

class WriteJournal {
public:
    // `file`: the configuration file written, empty when there is none;
    // `fileSha256` of the bytes read from it, in hex.
    WriteJournal(const Options &options, const Target &target, const char *operation, std::string file = {},
                 QByteArray fileSha256 = {});
    ~WriteJournal();
    WriteJournal(const WriteJournal &) = delete;
    WriteJournal &operator=(const WriteJournal &) = delete;

    // Opens the journal; false with the reason on the sink (or a signal came
    // while waiting for it: see stopped). True at once with --no-journal or --dry-run.
    bool open(Sink &sink);
    // Memory images indexed by address (gravity at 894, block at 67). Reads the
    // serial number when it is not known yet, trying again when a reply is
    // lost; a record must name its transmitter, so without it nothing is
    // written. False: nothing may be written (see stopped).
    bool begin(TFix64 &link, const std::vector<uint8_t> &before, const std::vector<uint8_t> &requested, Sink &sink,
               std::optional<qint64> restoredFrom = std::nullopt);
    // The write failed at this transaction ("write 67/27"); `after` what the
    // transmitter held when read back afterwards, or null.
    void failed(const std::string &transaction, const std::vector<uint8_t> *after, Sink &sink,
                const std::string &detail = {});
    // Written; `after` the read-back, or null when none was made.
    void written(const std::vector<uint8_t> *after, Sink &sink, const std::string &detail = {});
    // The read-back differs from what was written, in these fields.
    void verifyFailed(const std::vector<uint8_t> &after, Sink &sink, const std::string &detail = {});
    // Nothing was sent, for this reason. Best effort: a journal that cannot
    // take it costs a warning only.
    void refused(const std::string &why, Sink &sink);
    // This signal came before the first write frame, so none was sent.
    void interrupted(int signal, Sink &sink);

    qint64 id() const { return recordId; }
    // After open or begin said no: the exit code, with the signal's line when
    // a signal ended the wait for the journal.
    int stopped(Sink &sink) const;
    // The command's exit code, or ExitUnrecorded when the record could not be completed.
    int exitCode(int code) const;

private:
    bool complete(int result, const std::vector<uint8_t> *after, const std::string &detail, Sink &sink);
    // A record of an attempt that sent nothing, made in one step.
    void addUnsent(int result, const std::string &why, Sink &sink);
    // The fields every record of this write shares.
    void describe(journal::Entry &e) const;

    const Options &options;
    Target target;
    const char *operation;
    std::string file;
    QByteArray fileSha256;
    bool opened = false;
    int signal = 0;          // ended the wait for the journal before the first write frame
    bool unrecorded = false; // the record could not be completed
    qint64 recordId = 0;
    std::vector<uint8_t> requested;
};

// The journal --journal, QZ5801_JOURNAL or the default names; a journal
// error (its text after `prefix` when the address is unusable) otherwise.
std::unique_ptr<journal::Journal> openJournalOf(const Options &options, const std::string &prefix,
                                                bool readOnly = false);

// "command 2", "write 67/27": the request a link sent last.
std::string lastTransaction(const TFix64 &link);

} // namespace cli

// The process's one journal connection, on a thread of its own: every
// transmitter of --all records through it, one after the other. A caller
// waits for its call with a bound, and, before the first write frame, gives
// up at once on SIGINT, SIGTERM or SIGHUP, so a locked table or a stopped
// server never holds the program.
#pragma once

#include "Cli.h"

#include <functional>
#include <string>

namespace journal {
class Journal;
}

namespace cli {

enum class JournalCall { Done, Failed, Interrupted };

// Whether a call may share one transaction with the calls queued next to it
// (the records of --all's transmitters: one commit for those that come
// together). Once: it begins a record, which after a failed COMMIT may be
// there already, so it is not run again. Repeatable: completing a record, or
// only waiting for the journal, may run again alone. Alone: a transaction of its own.
enum class Batch { Alone, Once, Repeatable };

// Runs `work` on the journal of --journal, QZ5801_JOURNAL or the default
// (opened by the first call, writable; no `work`: only waits until it is
// open). Failed: the reason in `error`.
// Interrupted (only when `interruptible`): a signal came while waiting; the
// call may still be running, so `work` must own what it touches then.
// `limitMs`: give up waiting after this long (0: the journal's own limits, and a margin).
JournalCall onJournal(const Options &options, const std::function<void(journal::Journal &)> &work,
                      std::string &error, bool interruptible, int limitMs = 0, Batch batch = Batch::Alone);

// Starts opening the journal on its thread and returns at once, so the
// connection is made while the file is read and the transmitter answers; the
// first onJournal waits for it (and reports its failure).
void startJournal(const Options &options);

// Closes the journal; when a call never came back, the process ends here
// with `code` rather than waiting for it.
int finishJournal(int code);

} // namespace cli

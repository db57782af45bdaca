// SQLite's own settings that Qt's driver does not offer, reached through the
// driver's native handle. Private to journal/.
#pragma once

class QSqlDatabase;

namespace journal {

// The write-ahead log is not checkpointed and deleted when the last
// connection closes, so a process's exit costs no synchronisation and the
// next one writes into a log file that is there already. What the log holds
// is committed and synchronised all the same (synchronous=FULL); the journal
// checkpoints it on opening (checkpointOnOpening), while the transmitter is
// read. False where it cannot be set (another platform, a driver whose
// SQLite is not reachable): a close checkpoints as before then.
bool keepLogOnClose(const QSqlDatabase &db);

} // namespace journal

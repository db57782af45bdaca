// One copy of the tool per user session, kept by a lock file named after
// "QZ5801.0" in the session's runtime folder; on Windows by the named mutex
// "QZ5801.0".
#pragma once

#include <QString>

// Thrown by the main window's creation when another copy runs; the program
// entry then ends quietly with exit code 0.
struct AnotherCopyRunning {};

// The lock file's path, unused on Windows (the runtime folder, or the temporary folder when the
// platform has none).
QString singleInstanceLockPath();

// True when this process holds the lock, taken now or earlier; it stays held
// until the process ends. False when another live process holds it. When the
// lock cannot be made at all (no writable folder) the copy is let run.
bool holdSingleInstanceLock();

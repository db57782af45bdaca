// A session that ends (log-out, shut-down, `kill`, Ctrl+C in a terminal)
// closes the main window the way its close box does: the settings are saved
// and the single-copy lock is released, instead of both being lost.
#pragma once

class QWidget;

// Catches SIGTERM, SIGHUP and SIGINT from now on; called first thing, so a
// signal during start-up is not lost either. A second signal ends the
// process at once. No effect on Windows, where the session's end reaches
// the window as a close.
void catchEndSignals();

// A caught signal closes `window` when the event loop next runs, never inside
// an operation: an open message box is answered as by Escape first.
void closeOnEndSignals(QWidget &window);

// The program's last step once its window is gone and everything is saved.
#pragma once

// Ends the process with `code` after flushing stdout and stderr, without
// running any more of the C++ runtime's or the libraries' exit code.
[[noreturn]] void endProcessNow(int code);

// True where the window ends that way every time (see ProcessEnd.cpp).
bool endsWithoutLibraryExitCode();

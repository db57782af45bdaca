#include "ProcessEnd.h"

#include <cstdio>
#include <cstdlib>

#ifdef _WIN32
#include <windows.h>
#endif

void endProcessNow(int code)
{
    std::fflush(stdout);
    std::fflush(stderr);
#ifdef _WIN32
    // ExitProcess would still call every DLL's detach code, which is what
    // this ending avoids (see below).
    TerminateProcess(GetCurrentProcess(), static_cast<UINT>(code));
#endif
    std::_Exit(code);
}

bool endsWithoutLibraryExitCode()
{
#ifdef _WIN32
    // With MinGW's runtime DLLs, the end of a process that ran threads can
    // hang in libstdc++-6.dll's detach code (the window, after the file
    // dialogs' threads) or crash in Qt's clean-up of a std::thread's data
    // (the companion's journal thread), seen under Wine. Callers end this way
    // only once everything is saved, committed or spooled.
    return true;
#else
    return false;
#endif
}

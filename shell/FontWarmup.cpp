// The one place that knows fontconfig; where Qt draws text without it
// (Windows, macOS) there is nothing to prepare.
#include "FontWarmup.h"

#include <system_error>

#if defined(QZ_HAVE_FONTCONFIG)
#include <fontconfig/fontconfig.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif
#endif

FontWarmup::FontWarmup()
{
#if defined(QZ_HAVE_FONTCONFIG)
    // Fontconfig keeps one configuration per process: Qt's own FcInit later
    // finds it made. A failure here is Qt's to meet again, as it would anyway.
    try {
#if defined(__GLIBC__)
        // Else the thread gets a heap of its own that keeps what the parse
        // left behind for the whole run; the window's few threads allocate
        // little, so they all share the main heap.
        mallopt(M_ARENA_MAX, 1);
#endif
        worker = std::thread([] { FcInit(); });
    } catch (const std::system_error &) {
    }
#endif
}

void FontWarmup::finish()
{
    if (worker.joinable())
        worker.join();
}

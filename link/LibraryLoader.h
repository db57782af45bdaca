// The only platform-specific part of the link: loading the USB library by name.
#pragma once

#if !defined(_WIN32)
#include <string>
#include <vector>
#endif

namespace qzlink {

// Loads the platform's USB library: mpusbapi.dll on Windows (normal DLL
// search); libmpusbapi.so elsewhere, in the order of usbLibrarySearchOrder.
// nullptr if absent.
void *openUsbLibrary();
void *findSymbol(void *library, const char *name);
const char *usbLibraryFileName();

#if !defined(_WIN32)
// The places tried, in order: each folder of ldLibraryPath (empty entries
// skipped), then executableFolder, then the bare file name for the system's
// own search (the executable's RUNPATH, ld.so.cache, the system folders).
// An explicit LD_LIBRARY_PATH wins; otherwise the library shipped beside the
// executable does, so a foreign libmpusbapi.so on the system never shadows it.
std::vector<std::string> usbLibrarySearchOrder(const char *ldLibraryPath, const std::string &executableFolder);
#endif

} // namespace qzlink

// The only platform-specific part of the link: loading the USB library by name.
#pragma once

namespace qzlink {

// Loads the platform's USB library: mpusbapi.dll on Windows (normal DLL
// search), libmpusbapi.so elsewhere (the loader's search first, so
// LD_LIBRARY_PATH wins, then the running executable's folder). nullptr if absent.
void *openUsbLibrary();
void *findSymbol(void *library, const char *name);
const char *usbLibraryFileName();

} // namespace qzlink

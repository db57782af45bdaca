#include "LibraryLoader.h"

#include <string>

#if defined(_WIN32)
#include <windows.h>

namespace qzlink {

const char *usbLibraryFileName() { return "mpusbapi.dll"; }

void *openUsbLibrary() { return reinterpret_cast<void *>(LoadLibraryA(usbLibraryFileName())); }

void *findSymbol(void *library, const char *name)
{
    return reinterpret_cast<void *>(GetProcAddress(static_cast<HMODULE>(library), name));
}

} // namespace qzlink

#else
#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

namespace qzlink {

const char *usbLibraryFileName() { return "libmpusbapi.so"; }

static std::string executableFolder()
{
    char path[PATH_MAX];
    ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
    if (n <= 0)
        return {};
    std::string p(path, static_cast<std::size_t>(n));
    auto slash = p.rfind('/');
    return slash == std::string::npos ? std::string() : p.substr(0, slash + 1);
}

void *openUsbLibrary()
{
    // A bare name honours LD_LIBRARY_PATH and the system folders; the
    // executable's folder comes last, so a plain start finds the library
    // shipped beside it without it shadowing an explicit choice.
    if (void *h = dlopen(usbLibraryFileName(), RTLD_NOW | RTLD_LOCAL))
        return h;
    std::string folder = executableFolder();
    if (folder.empty())
        return nullptr;
    return dlopen((folder + usbLibraryFileName()).c_str(), RTLD_NOW | RTLD_LOCAL);
}

void *findSymbol(void *library, const char *name) { return dlsym(library, name); }

} // namespace qzlink
#endif

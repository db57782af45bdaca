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
#include <cstdlib>
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

std::vector<std::string> usbLibrarySearchOrder(const char *ldLibraryPath, const std::string &executableFolder)
{
    const std::string file = usbLibraryFileName();
    std::vector<std::string> places;
    auto addFolder = [&](std::string folder) {
        if (folder.empty())
            return;
        if (folder.back() != '/')
            folder += '/';
        places.push_back(folder + file);
    };
    if (ldLibraryPath) {
        // The loader would read an empty entry as the current folder; a
        // stray colon must not make the tool load whatever lies there.
        const std::string list = ldLibraryPath;
        std::string::size_type from = 0;
        while (from <= list.size()) {
            auto colon = list.find(':', from);
            if (colon == std::string::npos)
                colon = list.size();
            addFolder(list.substr(from, colon - from));
            from = colon + 1;
        }
    }
    addFolder(executableFolder);
    places.push_back(file);
    return places;
}

void *openUsbLibrary()
{
    // A bare dlopen would consult the executable's RUNPATH and the system
    // folders before the executable's own folder; the order is ours instead.
    for (const std::string &place : usbLibrarySearchOrder(std::getenv("LD_LIBRARY_PATH"), executableFolder())) {
        if (void *h = dlopen(place.c_str(), RTLD_NOW | RTLD_LOCAL))
            return h;
    }
    return nullptr;
}

void *findSymbol(void *library, const char *name) { return dlsym(library, name); }

} // namespace qzlink
#endif

// The memory file is saved under a temporary name and then put in place.
// std::rename replaces an existing file on POSIX but not on Windows, where
// only the first save would have lasted.
#include "SimulatorState.h"

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace qzsim {

bool replaceFile(const std::string &from, const std::string &to)
{
#ifdef _WIN32
    return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

} // namespace qzsim

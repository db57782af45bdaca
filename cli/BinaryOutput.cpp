// A configuration file goes to stdout byte for byte: Windows' text mode would
// turn each of its "\r\n" into "\r\r\n", and the saved file would be refused.
#include "Cli.h"

#include <cstdio>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#endif

namespace cli {

void binaryStdout()
{
#ifdef _WIN32
    std::fflush(stdout);
    _setmode(_fileno(stdout), _O_BINARY);
#endif
}

} // namespace cli

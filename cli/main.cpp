#include "Cli.h"

#include <cstring>

namespace {

const cli::Command commands[] = {
    {"info", "info                 serial number of the transmitter", cli::noArguments, cli::runInfo},
    {"value", "value                actual value in Pa", cli::noArguments, cli::runValue},
    {"dump", "dump ADDRESS LENGTH  transmitter memory as hex (ADDRESS, LENGTH decimal or 0x hex)", cli::dumpArguments, cli::runDump},
    {"read-config", "read-config [FILE]   the transmitter's configuration as a configuration file, on stdout or into FILE",
     cli::readConfigArguments, cli::runReadConfig},
    {"write-config", "write-config FILE    writes the configuration file FILE into the transmitter", cli::writeConfigArguments,
     cli::runWriteConfig},
    {"watch", "watch [--count N]    the actual value once a second as CSV (seconds,value_pa) until N lines or Ctrl-C",
     cli::watchArguments, cli::runWatch},
};

int usage()
{
    std::fprintf(stderr, "usage: qz5801-cli COMMAND [ARGUMENTS]\ncommands:\n");
    for (const auto &c : commands)
        std::fprintf(stderr, "  %s\n", c.usage);
    return cli::ExitUsage;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc < 2)
        return usage();
    for (const auto &c : commands) {
        if (std::strcmp(argv[1], c.name) != 0)
            continue;
        cli::Arguments args(argv + 2, argv + argc);
        if (!c.argumentsValid(args))
            return usage();
        if (!cli::connectLink())
            return cli::ExitFailure;
        int code = c.run(args);
        return code == cli::ExitUsage ? usage() : code;
    }
    return usage();
}

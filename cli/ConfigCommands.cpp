// read-config and write-config: the window's configuration read and write,
// with a configuration file in place of the window.
#include "Cli.h"

#include "ConfigurationExchange.h"
#include "ConfigurationFile.h"
#include "Fix64usb.h"

#include <cstdio>

namespace cli {

bool readConfigArguments(const Arguments &args) { return args.size() <= 1 && (args.empty() || !args[0].empty()); }

bool writeConfigArguments(const Arguments &args) { return args.size() == 1 && !args[0].empty(); }

int runReadConfig(const Arguments &args)
{
    ConfigurationRecord record;
    std::array<int, 3> modes{kNoMode, kNoMode, kNoMode};
    config::ReadHooks hooks;
    hooks.gravityOutOfRange = [](float) { std::fprintf(stderr, "Specific gravity out of range\n"); };
    hooks.modeRead = [&](int output, int mode) { modes[static_cast<std::size_t>(output)] = mode; };
    try {
        config::readConfiguration(*theLink, record, hooks);
    } catch (const std::exception &) {
        return fail("Error reading configuration");
    }
    const config::ConfigurationFile file =
        config::fileFromRecord(record, true, config::gravityText(record.specificGravity), modes);
    if (!args.empty()) {
        if (!config::saveConfigurationFile(QString::fromLocal8Bit(args[0].c_str()), file))
            return fail("Cannot open file");
        return ExitOk;
    }
    const QByteArray bytes = config::configurationFileBytes(file);
    std::fwrite(bytes.constData(), 1, static_cast<std::size_t>(bytes.size()), stdout);
    return std::fflush(stdout) == 0 ? ExitOk : ExitFailure;
}

int runWriteConfig(const Arguments &args)
{
    const std::optional<config::ConfigurationFile> file =
        config::loadConfigurationFile(QString::fromLocal8Bit(args[0].c_str()));
    if (!file)
        return fail("Cannot open file");
    ConfigurationRecord record;
    config::applyToRecord(*file, record);
    if (config::firstOutputOutOfOrder(record) >= 0)
        return fail("Error in values of pressure");
    try {
        config::writeConfiguration(*theLink, record, file->gravityText, file->modes);
    } catch (const std::exception &) {
        return fail("Error writing configuration");
    }
    std::printf("Configuration successfully written\n");
    return ExitOk;
}

} // namespace cli

// info, value and dump.
#include "Cli.h"

#include "DeviceInfo.h"
#include "MemoryMap.h"

#include <QJsonObject>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace cli {

namespace {

constexpr unsigned long kMemoryEnd = 65536;

bool parseDump(const Arguments &args, unsigned long &address, unsigned long &length)
{
    return args.size() == 2 && parseUnsigned(args[0], kMemoryEnd - 1, address) &&
           parseUnsigned(args[1], kMemoryEnd, length) && length > 0 && address + length <= kMemoryEnd;
}

} // namespace

std::string dumpOperandsProblem(const Arguments &operands)
{
    unsigned long address = 0, length = 0;
    if (!parseUnsigned(operands[0], 0xFFFFFFFFul, address))
        return "ADDRESS \"" + operands[0] + "\" is not a number (decimal, or hex after 0x)";
    if (!parseUnsigned(operands[1], 0xFFFFFFFFul, length))
        return "LENGTH \"" + operands[1] + "\" is not a number (decimal, or hex after 0x)";
    if (length == 0)
        return "LENGTH is 0";
    if (!parseDump(operands, address, length))
        return "the range ends past the 64 KiB memory (addresses 0 to 65535)";
    return {};
}

int runInfo(TFix64 &link, const Target &target, const Options &options, Sink &sink)
{
    uint16_t serial = 0;
    try {
        serial = display::readSerialNumber(link);
    } catch (const std::exception &) {
        return sink.fail(kTextNoReply);
    }
    if (options.json)
        sink.json(QJsonObject{{"instance", int(target.instance)},
                              {"serial", int(serial)},
                              {"location", QString::fromStdString(target.location)}});
    else
        sink.out(std::to_string(serial) + "\n");
    return ExitOk;
}

int runValue(TFix64 &link, const Target &, const Options &options, Sink &sink)
{
    float value = 0;
    try {
        resetPipes(link);
        link.sendCommand1();
        uint8_t buffer[4] = {};
        link.queryValue(4, buffer, sizeof buffer);
        std::memcpy(&value, buffer, 4);
    } catch (const std::exception &) {
        return sink.fail(kTextNoReply);
    }
    if (options.json) {
        sink.json(QJsonObject{{"value_pa", static_cast<double>(value)}});
    } else {
        char text[64];
        std::snprintf(text, sizeof text, "%1.3f\n", static_cast<double>(value));
        sink.out(text);
    }
    return ExitOk;
}

int runDump(TFix64 &link, const Target &, const Options &options, Sink &sink)
{
    unsigned long address = 0, length = 0;
    if (!parseDump(options.operands, address, length))
        return ExitUsage; // checked with the command line already
    std::vector<uint8_t> bytes(length);
    try {
        inBracket(link, [&] {
            for (unsigned long done = 0; done < length;) {
                uint32_t block = static_cast<uint32_t>(std::min<unsigned long>(kMaxBlock, length - done));
                link.readMemory(static_cast<uint32_t>(address + done), bytes.data() + done, block);
                done += block;
            }
        });
    } catch (const std::exception &) {
        return sink.fail(kTextNoReply);
    }
    std::string text;
    char cell[4];
    for (unsigned long i = 0; i < length; ++i) {
        std::snprintf(cell, sizeof cell, "%02x%c", bytes[i], (i % 16 == 15 || i + 1 == length) ? '\n' : ' ');
        text += cell;
    }
    sink.out(text);
    return ExitOk;
}

} // namespace cli

#include "Cli.h"

#include "DeviceInfo.h"
#include "Fix64usb.h"

#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace cli {

int fail(const char *text)
{
    std::fprintf(stderr, "%s\n", text);
    return ExitFailure;
}

bool connectLink()
{
    if (!theLink)
        theLink = new TFix64;
    try {
        theLink->loadLibrary();
    } catch (const TLinkError &e) {
        std::fprintf(stderr, "%s\n", e.what());
        return false;
    }
    theLink->openPipes(0);
    theLink->setSlaveAddress(kAnySlave);
    theLink->timeoutMs = 250;
    theLink->bytesRead = 0;
    return true;
}

bool parseUnsigned(const std::string &text, unsigned long max, unsigned long &out)
{
    if (text.empty() || text[0] == '-' || text[0] == '+')
        return false;
    errno = 0;
    char *end = nullptr;
    unsigned long v = std::strtoul(text.c_str(), &end, 0);
    if (errno || *end || v > max)
        return false;
    out = v;
    return true;
}

bool noArguments(const Arguments &args) { return args.empty(); }

static bool parseDump(const Arguments &args, unsigned long &address, unsigned long &length)
{
    return args.size() == 2 && parseUnsigned(args[0], 0xFFFFFFFFul, address) &&
           parseUnsigned(args[1], 0xFFFFFFFFul, length) && length > 0 && address + length <= 0x100000000ul;
}

bool dumpArguments(const Arguments &args)
{
    unsigned long address, length;
    return parseDump(args, address, length);
}

int runInfo(const Arguments &)
{
    try {
        std::printf("%u\n", static_cast<unsigned>(display::readSerialNumber(*theLink)));
        return ExitOk;
    } catch (const std::exception &) {
        return fail(kTextNoReply);
    }
}

int runValue(const Arguments &)
{
    try {
        resetPipes(*theLink);
        theLink->sendCommand1();
        uint8_t buffer[4] = {};
        theLink->queryValue(4, buffer, sizeof buffer);
        float value;
        std::memcpy(&value, buffer, 4);
        std::printf("%1.3f\n", static_cast<double>(value));
        return ExitOk;
    } catch (const std::exception &) {
        return fail(kTextNoReply);
    }
}

int runDump(const Arguments &args)
{
    unsigned long address = 0, length = 0;
    if (!parseDump(args, address, length))
        return ExitUsage;
    std::vector<uint8_t> bytes(length);
    try {
        inBracket(*theLink, [&] {
            for (unsigned long done = 0; done < length;) {
                uint32_t block = static_cast<uint32_t>(std::min<unsigned long>(kMaxBlock, length - done));
                theLink->readMemory(static_cast<uint32_t>(address + done), bytes.data() + done, block);
                done += block;
            }
        });
    } catch (const std::exception &) {
        return fail(kTextNoReply);
    }
    for (unsigned long i = 0; i < length; ++i)
        std::printf("%02x%c", bytes[i], (i % 16 == 15 || i + 1 == length) ? '\n' : ' ');
    return ExitOk;
}

} // namespace cli

// Reaching one of several transmitters, and listing them.
#include "Cli.h"

#include "DeviceInfo.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <mutex>

namespace cli {

namespace {

// The link's operations always open instance 0, as the window does. The CLI
// leads them to the chosen instance by putting its own open in front of the
// library's: per thread, so each of the --all threads reaches its own.
MPUSBOpenFn libraryOpen = nullptr;
thread_local uint32_t chosenInstance = 0;

void *MPUSB_CALL openChosen(uint32_t, const char *vidPid, const char *endpoint, uint32_t direction, uint32_t reserved)
{
    return libraryOpen(chosenInstance, vidPid, endpoint, direction, reserved);
}

} // namespace

void Sink::out(const std::string &text)
{
    if (buffered) {
        outText += text;
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
}

void Sink::err(const std::string &text)
{
    const std::string line = text.empty() || text.back() != '\n' ? text + '\n' : text;
    if (buffered)
        errText += line;
    else
        std::fputs(line.c_str(), stderr);
}

int Sink::fail(const std::string &text)
{
    err(text);
    return ExitFailure;
}

void Sink::json(const QJsonValue &value)
{
    if (buffered) {
        jsonValue = value;
        return;
    }
    const QJsonDocument document = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    out(document.toJson(QJsonDocument::Indented).toStdString());
}

bool parseUnsigned(const std::string &text, unsigned long max, unsigned long &out)
{
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    const std::string digits = hex ? text.substr(2) : text;
    if (digits.empty() || digits.find_first_not_of(hex ? "0123456789abcdefABCDEF" : "0123456789") != std::string::npos)
        return false;
    unsigned long long v = 0;
    for (char c : digits) {
        const unsigned d = c <= '9' ? unsigned(c - '0') : unsigned((c | 0x20) - 'a' + 10);
        v = v * (hex ? 16 : 10) + d;
        if (v > max)
            return false;
    }
    out = static_cast<unsigned long>(v);
    return true;
}

std::string floatText(float value)
{
    const double v = static_cast<double>(value);
    char text[64];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(text, sizeof text, "%.*g", digits, v);
        if (std::strtof(text, nullptr) != value)
            continue;
        // fixed notation where it stays short: 20000 rather than 2e+04
        if (std::strchr(text, 'e') && std::fabs(v) < 1e12) {
            const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(v))));
            const int decimals = digits - 1 - exponent;
            std::snprintf(text, sizeof text, "%.*f", decimals > 0 ? decimals : 0, v);
        }
        return text;
    }
    std::snprintf(text, sizeof text, "%.9g", v);
    return text;
}

bool loadLink(TFix64 &link, Sink &sink)
{
    try {
        link.loadLibrary();
    } catch (const TLinkError &e) {
        sink.err(e.what());
        return false;
    }
    if (!link.canTransfer()) {
        sink.err(kTextLibraryMissing);
        return false;
    }
    static std::once_flag once;
    std::call_once(once, [&] { libraryOpen = link._MPUSBOpen; });
    link._MPUSBOpen = openChosen;
    return true;
}

void connectTo(TFix64 &link, uint32_t instance)
{
    // pipes opened for another instance go first, under the old choice
    link.closePipes(0);
    chosenInstance = instance;
    link.openPipes(0);
    link.setSlaveAddress(kAnySlave);
    link.timeoutMs = 250;
    link.bytesRead = 0;
}

std::optional<uint16_t> readSerial(TFix64 &link, uint32_t instance)
{
    connectTo(link, instance);
    try {
        return display::readSerialNumber(link);
    } catch (const std::exception &) {
        return std::nullopt;
    }
}

const char *accessHint()
{
    return "Hint: install the udev rule 70-qz5801.rules (in /etc/udev/rules.d or /usr/lib/udev/rules.d), "
           "then unplug and re-plug the transmitter";
}

int runList(const Options &options)
{
    TFix64 link;
    Sink sink(false);
    if (!loadLink(link, sink))
        return ExitFailure;
    const uint32_t count = link.deviceCount();
    if (count == 0) {
        if (options.json)
            sink.json(QJsonArray());
        std::fprintf(stderr, "No transmitter is attached\n");
        return ExitNoDevice;
    }
    QJsonArray array;
    uint32_t denied = 0, silent = 0;
    for (uint32_t i = 0; i < count; ++i) {
        const DeviceAccess access = link.deviceAccess(i);
        std::optional<uint16_t> serial;
        if (access != DeviceAccess::Denied)
            serial = readSerial(link, i);
        const bool isDenied = access == DeviceAccess::Denied || (!serial && !link.readPipes[0]);
        denied += isDenied;
        silent += !isDenied && !serial;
        const char *state = isDenied ? "denied" : serial ? "ready" : "no-reply";
        const std::string location = link.deviceLocation(i);
        if (options.json) {
            array.append(QJsonObject{{"instance", int(i)},
                                     {"serial", serial ? QJsonValue(int(*serial)) : QJsonValue()},
                                     {"location", QString::fromStdString(location)},
                                     {"state", state}});
        } else {
            std::printf("%u %s %s%s\n", i, serial ? std::to_string(*serial).c_str() : "-",
                        location.empty() ? "-" : location.c_str(),
                        isDenied ? " (no access)" : serial ? "" : " (does not reply)");
        }
    }
    link.closePipes(0);
    if (options.json)
        sink.json(array);
    std::fflush(stdout);
    if (denied == count) {
        std::fprintf(stderr, "No attached transmitter can be opened by this user\n%s\n", accessHint());
        return ExitDenied;
    }
    if (denied)
        std::fprintf(stderr, "%s\n", accessHint());
    return silent ? ExitFailure : ExitOk;
}

} // namespace cli

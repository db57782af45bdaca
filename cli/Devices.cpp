// Reaching one of several transmitters, and listing them.
#include "Cli.h"

#include "DeviceInfo.h"
#include "NumberText.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <map>

namespace cli {

void Sink::out(const std::string &text)
{
    if (buffered) {
        outText += text;
    } else {
        std::fwrite(text.data(), 1, text.size(), stdout);
    }
}

void errorLines(const std::string &text)
{
    std::string lines;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines += "qz5801-cli: ";
        lines.append(text, start, end - start);
        lines += '\n';
        start = end + 1;
    }
    std::fwrite(lines.data(), 1, lines.size(), stderr);
}

std::string quoted(const std::string &text)
{
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c < 32 || c == 127) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

void Sink::err(const std::string &text)
{
    const std::string line = text.empty() || text.back() != '\n' ? text + '\n' : text;
    if (buffered)
        errText += line;
    else
        errorLines(line);
}

int Sink::fail(const std::string &text)
{
    err(text);
    return ExitFailure;
}

void Sink::note(const std::string &text)
{
    if (!quiet)
        err(text);
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

std::string floatText(float value) { return shortestFloatText(value); }

QJsonValue jsonFloat(float value)
{
    if (!std::isfinite(value))
        return QJsonValue();
    // the double nearest to the float's shortest text prints as that text
    return QJsonValue(std::strtod(floatText(value).c_str(), nullptr));
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
    return true;
}

void connectTo(TFix64 &link, uint32_t instance)
{
    // pipes opened for another instance go first, under the old choice
    link.closePipes(0);
    link.instanceBase = instance;
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
    static const char *const rules[] = {"/etc/udev/rules.d/70-qz5801.rules", "/usr/lib/udev/rules.d/70-qz5801.rules",
                                        "/lib/udev/rules.d/70-qz5801.rules"};
    for (const char *rule : rules)
        if (std::FILE *f = std::fopen(rule, "r")) {
            std::fclose(f);
            return "Hint: the udev rule 70-qz5801.rules is installed, but it gives the transmitter only to the "
                   "user logged in at the local seat; from ssh, cron or a service, add a rule that gives a group "
                   "access (see ACCESS in qz5801-cli(1)), or unplug and re-plug if the rule is new";
        }
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
        errorLines("No transmitter is attached");
        return ExitNoDevice;
    }
    struct Row {
        std::optional<uint16_t> serial;
        bool denied = false;
        std::string location;
    };
    std::vector<Row> rows(count);
    std::map<uint16_t, int> holders;
    uint32_t denied = 0, silent = 0;
    for (uint32_t i = 0; i < count; ++i) {
        Row &row = rows[i];
        const DeviceAccess access = link.deviceAccess(i);
        if (access != DeviceAccess::Denied)
            row.serial = readSerial(link, i);
        row.denied = access == DeviceAccess::Denied || (!row.serial && !link.readPipes[0]);
        row.location = link.deviceLocation(i);
        denied += row.denied;
        silent += !row.denied && !row.serial;
        if (row.serial)
            ++holders[*row.serial];
    }
    link.closePipes(0);
    QJsonArray array;
    bool shared = false;
    for (uint32_t i = 0; i < count; ++i) {
        const Row &row = rows[i];
        const bool duplicate = row.serial && holders[*row.serial] > 1;
        shared = shared || duplicate;
        const char *state = row.denied ? "denied" : row.serial ? "ready" : "no-reply";
        if (options.json) {
            array.append(QJsonObject{{"instance", int(i)},
                                     {"serial", row.serial ? QJsonValue(int(*row.serial)) : QJsonValue()},
                                     {"location", QString::fromStdString(row.location)},
                                     {"state", state},
                                     {"duplicate_serial", duplicate}});
        } else {
            std::printf("%u %s %s%s%s\n", i, row.serial ? std::to_string(*row.serial).c_str() : "-",
                        row.location.empty() ? "-" : row.location.c_str(),
                        row.denied ? " (no access)" : row.serial ? "" : " (does not reply)",
                        duplicate ? " (serial number shared: choose by --location)" : "");
        }
    }
    if (options.json)
        sink.json(array);
    std::fflush(stdout);
    if (shared && !options.quiet)
        errorLines("warning: several transmitters have the same serial number; --serial cannot tell them apart");
    if (denied == count) {
        errorLines(std::string("No attached transmitter can be opened by this user\n") + accessHint());
        return ExitDenied;
    }
    if (denied)
        errorLines(accessHint());
    return silent ? ExitFailure : ExitOk;
}

} // namespace cli

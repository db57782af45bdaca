// read-config, write-config and diff: the window's configuration read and
// write, with a configuration file in place of the window, a strict look at
// the file first and a read-back after writing.
#include "Cli.h"
#include "WriteJournal.h"

#include "ConfigurationExchange.h"
#include "ConfigurationFile.h"
#include "MemoryMap.h"
#include "NumberText.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {

constexpr float kRangeHeadroom = 1.01f; // as the window's entry check: up to 1.01 x the range
constexpr double kRangeFoot = -0.1;     // and down to -0.1 x the range
constexpr qint64 kFileLimit = 64 * 1024;

const char *const kModeNames[] = {"off", "compression", "extraction", "correct_value", "error_value"};
const char *const kModeTexts[] = {"Off", "Compression", "Extraction", "Correct value", "Error value"};

// The memory the configuration touches: the output block and the gravity.
using Image = std::vector<uint8_t>;
constexpr std::size_t kImageSpan = memmap::kSpecificGravity + memmap::kFloatSize;

struct Field {
    enum Kind { Gravity, Pressure, Mode };
    Kind kind;
    uint32_t address;
    int output;   // 1 to 3, 0 for the gravity
    bool higher;  // a pressure field's side
    int fileLine; // where the configuration file keeps it
    std::string name() const
    {
        if (kind == Gravity)
            return "specific gravity";
        return "output " + std::to_string(output) + (kind == Mode ? " mode" : higher ? " higher value" : " lower value");
    }
    uint32_t size() const { return kind == Mode ? 1 : 4; }
};

// In memory order.
std::vector<Field> fields()
{
    std::vector<Field> all{{Field::Gravity, memmap::kSpecificGravity, 0, false, 3}};
    for (int o = 0; o < memmap::kOutputCount; ++o) {
        const uint32_t base = memmap::outputAddress(o);
        all.push_back({Field::Pressure, base + memmap::kLowerValueOffset, o + 1, false, 5 + 3 * o});
        all.push_back({Field::Pressure, base + memmap::kHigherValueOffset, o + 1, true, 4 + 3 * o});
        all.push_back({Field::Mode, base + memmap::kModeOffset, o + 1, false, 6 + 3 * o});
    }
    return all;
}

float floatIn(const Image &image, uint32_t address)
{
    float v;
    std::memcpy(&v, image.data() + address, 4);
    return v;
}

bool sameBytes(const Image &a, const Image &b, const Field &f)
{
    return std::memcmp(a.data() + f.address, b.data() + f.address, f.size()) == 0;
}

std::string modeText(uint8_t byte)
{
    return std::to_string(byte == kNoModeByte ? -1 : int(byte)) + " (" +
           (byte < 5 ? kModeTexts[byte] : "no selection") + ")";
}

// The field as the transmitter keeps it, in Pa where it is a pressure.
std::string fieldText(const Image &image, const Field &f)
{
    switch (f.kind) {
    case Field::Gravity:
        return floatText(floatIn(image, f.address));
    case Field::Pressure:
        return floatText(floatIn(image, f.address)) + " Pa";
    case Field::Mode:
        break;
    }
    return modeText(image[f.address]);
}

QJsonValue fieldJson(const Image &image, const Field &f)
{
    if (f.kind == Field::Mode) {
        const uint8_t byte = image[f.address];
        return byte < 5 ? QJsonValue(kModeNames[byte]) : QJsonValue();
    }
    const float v = floatIn(image, f.address);
    return std::isfinite(v) ? QJsonValue(static_cast<double>(v)) : QJsonValue();
}

// A file's lines as the loader sees them: cut at LF, trailing characters below 33 stripped.
std::vector<QString> fileLines(const QByteArray &bytes)
{
    std::vector<QString> lines{QString()}; // lines[1] is line 1
    for (QByteArray line : bytes.split('\n')) {
        while (!line.isEmpty() && static_cast<unsigned char>(line.back()) < 33)
            line.chop(1);
        lines.push_back(QString::fromLatin1(line));
    }
    while (lines.size() <= std::size_t(config::kConfigurationFileLines))
        lines.push_back(QString());
    return lines;
}

// The window's number rules (either separator), but only a text that reads, and finitely.
std::optional<float> strictNumber(QString text)
{
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (attempt == 1)
            text.replace('.', ',');
        if (attempt == 2)
            text.replace(',', '.');
        if (const std::optional<float> v = strictToFloat(text); v && std::isfinite(*v))
            return v;
    }
    return std::nullopt;
}

struct LoadedFile {
    config::ConfigurationFile file;
    std::vector<QString> lines;
    ConfigurationRecord record; // the six values and the block as the file would write them
    Image image = Image(kImageSpan, 0);
    bool gravityWritable = true; // the strict conversion of the write can read the gravity text
};

std::optional<LoadedFile> loadFile(const std::string &path, Sink &sink)
{
    const QString name = QString::fromLocal8Bit(path.c_str());
    std::optional<config::ConfigurationFile> file = config::loadConfigurationFile(name);
    QFile raw(name);
    QByteArray bytes;
    if (file && raw.open(QIODevice::ReadOnly))
        bytes = raw.read(kFileLimit);
    if (!file || bytes.isEmpty()) {
        sink.err("Cannot open file: " + path);
        return std::nullopt;
    }
    LoadedFile loaded;
    loaded.file = *file;
    loaded.lines = fileLines(bytes);
    config::applyToRecord(loaded.file, loaded.record);
    config::assembleOutputBlock(loaded.record, loaded.file.modes);
    std::memcpy(loaded.image.data() + memmap::kOutputBlock, loaded.record.memoryImage.data() + memmap::kOutputBlock,
                memmap::kOutputBlockSize);
    const std::optional<float> gravity = strictToFloat(loaded.file.gravityText);
    loaded.gravityWritable = gravity.has_value();
    const float g = gravity.value_or(0);
    std::memcpy(loaded.image.data() + memmap::kSpecificGravity, &g, 4);
    return loaded;
}

struct Finding {
    int line;
    std::string text;
    bool forceable;
};

// What the file holds that the window would warn about or refuse; nothing sent yet.
std::vector<Finding> fileFindings(const LoadedFile &f)
{
    std::vector<Finding> found;
    for (const Field &field : fields()) {
        const QString &text = f.lines[std::size_t(field.fileLine)];
        const std::string quoted = "\"" + text.toStdString() + "\"";
        if (field.kind == Field::Mode) {
            const int mode = f.file.modes[std::size_t(field.output - 1)];
            const std::optional<int> written = strictToInt(text);
            if (written && *written == kNoMode)
                found.push_back({field.fileLine, field.name() + " -1 leaves the output without a mode", true});
            else if (!written || *written < 0 || *written > 4 || mode == kNoMode)
                found.push_back({field.fileLine, field.name() + " " + quoted + " is not a mode from 0 to 4", true});
            continue;
        }
        const std::optional<float> v = strictNumber(text);
        if (!v) {
            found.push_back({field.fileLine, field.name() + " " + quoted + " is not a number", true});
        } else if (field.kind == Field::Gravity && !config::gravityInRange(*v)) {
            found.push_back({field.fileLine, field.name() + " " + quoted + " is outside 10 to 100000", true});
        }
    }
    if (!f.gravityWritable)
        found.push_back({3, "specific gravity \"" + f.file.gravityText.toStdString() + "\" cannot be written", false});
    for (int o = 0; o < memmap::kOutputCount; ++o)
        if (f.record.lowerValue(o) > f.record.higherValue(o))
            found.push_back({5 + 3 * o,
                             "output " + std::to_string(o + 1) + " lower value " + floatText(f.record.lowerValue(o)) +
                                 " Pa is above its higher value " + floatText(f.record.higherValue(o)) +
                                 " Pa (Error in values of pressure)",
                             false});
    return found;
}

// The switching values against the transmitter's nominal range, as the window's entry check.
std::vector<Finding> rangeFindings(const LoadedFile &f, float range)
{
    std::vector<Finding> found;
    const float lowest = static_cast<float>(kRangeFoot * static_cast<double>(range));
    for (const Field &field : fields()) {
        if (field.kind != Field::Pressure)
            continue;
        const float v = floatIn(f.image, field.address);
        if (v > kRangeHeadroom * range || v < lowest)
            found.push_back({field.fileLine,
                             field.name() + " " + floatText(v) + " Pa is out of range for this transmitter (" +
                                 floatText(lowest) + " to " + floatText(kRangeHeadroom * range) + " Pa)",
                             true});
    }
    return found;
}

// The transmitter's gravity and output block, in one read bracket; the range too when asked.
void readTransmitter(TFix64 &link, Image &image, float *range)
{
    image.assign(kImageSpan, 0);
    inBracket(link, [&] {
        if (range) {
            uint8_t block[memmap::kRangeAndGravityBlockSize];
            link.readMemory(memmap::kNominalRange, block, sizeof block);
            std::memcpy(range, block, 4);
            std::memcpy(image.data() + memmap::kSpecificGravity, block + 4, 4);
        } else {
            link.readMemory(memmap::kSpecificGravity, image.data() + memmap::kSpecificGravity, memmap::kFloatSize);
        }
        link.readMemory(memmap::kOutputBlock, image.data() + memmap::kOutputBlock, memmap::kOutputBlockSize);
    });
}

// Field by field, the file against the transmitter; the number of fields that differ.
int showDiff(const LoadedFile &f, const Image &device, const Options &options, Sink &sink)
{
    int different = 0;
    QJsonArray list;
    std::string text;
    for (const Field &field : fields()) {
        const bool equal = sameBytes(f.image, device, field);
        different += !equal;
        const QString &line = f.lines[std::size_t(field.fileLine)];
        if (options.json) {
            list.append(QJsonObject{{"name", QString::fromStdString(field.name())},
                                    {"equal", equal},
                                    {"file", fieldJson(f.image, field)},
                                    {"file_text", line},
                                    {"transmitter", fieldJson(device, field)}});
        } else if (equal) {
            text += "  " + field.name() + ": " + fieldText(device, field) + " (file: " + line.toStdString() + ")\n";
        } else {
            text += "* " + field.name() + ": file " + fieldText(f.image, field) + " (" + line.toStdString() +
                    "), transmitter " + fieldText(device, field) + "\n";
        }
    }
    if (options.json) {
        sink.json(QJsonObject{{"equal", different == 0}, {"different", different}, {"fields", list}});
    } else {
        text += different ? std::to_string(different) + " of 10 fields differ\n" : "equal\n";
        sink.out(text);
    }
    return different;
}

} // namespace

int runReadConfig(TFix64 &link, const Target &target, const Options &options, Sink &sink)
{
    ConfigurationRecord record;
    std::array<int, 3> modes{kNoMode, kNoMode, kNoMode};
    config::ReadHooks hooks;
    hooks.gravityOutOfRange = [&](float) { sink.err("Specific gravity out of range"); };
    hooks.modeRead = [&](int output, int mode) { modes[static_cast<std::size_t>(output)] = mode; };
    try {
        config::readConfiguration(link, record, hooks);
    } catch (const std::exception &) {
        return sink.fail("Error reading configuration");
    }
    const config::ConfigurationFile file =
        config::fileFromRecord(record, true, config::gravityText(record.specificGravity), modes);
    if (!options.operands.empty()) {
        std::string path = options.operands[0];
        if (options.all)
            path = QDir(QString::fromLocal8Bit(path.c_str()))
                       .filePath(QString::number(target.serial.value_or(0)) + ".cfg")
                       .toLocal8Bit()
                       .toStdString();
        if (!config::saveConfigurationFile(QString::fromLocal8Bit(path.c_str()), file))
            return sink.fail("Cannot open file: " + path);
        if (options.all)
            sink.out("saved " + path + "\n");
    }
    if (options.json) {
        QJsonArray outputs;
        for (int o = 0; o < memmap::kOutputCount; ++o) {
            const int mode = modes[std::size_t(o)];
            outputs.append(QJsonObject{{"output", o + 1},
                                       {"lower_pa", static_cast<double>(record.lowerValue(o))},
                                       {"higher_pa", static_cast<double>(record.higherValue(o))},
                                       {"mode", mode >= 0 && mode < 5 ? QJsonValue(kModeNames[mode]) : QJsonValue()}});
        }
        sink.json(QJsonObject{{"range_pa", static_cast<double>(record.nominalRange)},
                              {"gravity", static_cast<double>(record.specificGravity)},
                              {"outputs", outputs}});
        return ExitOk;
    }
    if (options.operands.empty()) {
        const QByteArray bytes = config::configurationFileBytes(file);
        sink.out(bytes.toStdString());
    }
    return ExitOk;
}

int runDiff(TFix64 &link, const Target &, const Options &options, Sink &sink)
{
    const std::optional<LoadedFile> f = loadFile(options.operands[0], sink);
    if (!f)
        return ExitFailure;
    Image device;
    try {
        readTransmitter(link, device, nullptr);
    } catch (const std::exception &) {
        return sink.fail("Error reading configuration");
    }
    return showDiff(*f, device, options, sink) ? ExitFailure : ExitOk;
}

int runWriteConfig(TFix64 &link, const Target &target, const Options &options, Sink &sink)
{
    const std::string &path = options.operands[0];
    std::optional<LoadedFile> f = loadFile(path, sink);
    if (!f)
        return ExitFailure;
    WriteJournal journal(options, target, "write-config", path);
    std::vector<Finding> findings = fileFindings(*f);
    const auto refuse = [&](const std::vector<Finding> &list) {
        bool refused = false;
        for (const Finding &finding : list) {
            const bool blocks = !finding.forceable || !options.force;
            refused = refused || blocks;
            sink.err(std::string(blocks ? "" : "warning: ") + path + ":" + std::to_string(finding.line) + ": " +
                     finding.text);
        }
        return refused;
    };
    // the file alone first: a wrong file is refused before the transmitter is touched
    std::vector<Finding> blocking;
    for (const Finding &finding : findings)
        if (!finding.forceable || !options.force)
            blocking.push_back(finding);
    if (!blocking.empty()) {
        refuse(findings);
        journal.refused(path + ":" + std::to_string(blocking[0].line) + ": " + blocking[0].text, sink);
        return sink.fail("Nothing was written");
    }
    if (!journal.open(sink))
        return ExitFailure;

    Image before;
    float range = 0;
    try {
        readTransmitter(link, before, &range);
    } catch (const std::exception &) {
        return sink.fail("Error writing configuration");
    }
    const std::vector<Finding> outOfRange = rangeFindings(*f, range);
    findings.insert(findings.end(), outOfRange.begin(), outOfRange.end());
    if (refuse(findings)) {
        journal.refused(path + ": " + findings.back().text, sink);
        return sink.fail("Nothing was written");
    }

    if (options.dryRun) {
        showDiff(*f, before, options, sink);
        sink.out("nothing written (--dry-run)\n");
        return ExitOk;
    }
    if (!journal.begin(link, before, f->image, sink))
        return ExitFailure;
    try {
        config::writeConfiguration(link, f->record, f->file.gravityText, f->file.modes);
    } catch (const std::exception &) {
        journal.failed(link, sink);
        return sink.fail("Error writing configuration");
    }
    if (options.verify) {
        Image after;
        try {
            readTransmitter(link, after, nullptr);
        } catch (const std::exception &) {
            journal.written(nullptr, sink, "not read back");
            return sink.fail("Written, but the configuration could not be read back: Error reading configuration");
        }
        int wrong = 0;
        for (const Field &field : fields()) {
            if (sameBytes(f->image, after, field))
                continue;
            ++wrong;
            sink.err(field.name() + ": wrote " + fieldText(f->image, field) + ", reads " + fieldText(after, field));
        }
        if (wrong) {
            journal.verifyFailed(after, sink);
            return sink.fail("Verification failed: the transmitter holds another configuration than was written");
        }
        journal.written(&after, sink);
    } else {
        journal.written(nullptr, sink, "not read back (--no-verify)");
    }
    sink.out("Configuration successfully written\n");
    return ExitOk;
}

} // namespace cli

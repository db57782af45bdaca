// read-config and diff: the window's configuration read with a configuration
// file in place of the window, and the file against the transmitter.
#include "ConfigShared.h"

#include "ConfigurationExchange.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include <cstring>

namespace cli {

namespace {

const char *const kModeNames[] = {"off", "compression", "extraction", "correct_value", "error_value"};

} // namespace

void readTransmitter(TFix64 &link, Image &image, float *range)
{
    image.assign(kImageSpan, 0);
    inBracket(link, [&] {
        if (range) {
            uint8_t block[memmap::kRangeAndGravityBlockSize];
            link.readMemory(memmap::kNominalRange, block, sizeof block);
            std::memcpy(range, block, 4);
            std::memcpy(image.data() + memmap::kNominalRange, block, sizeof block);
        } else {
            link.readMemory(memmap::kSpecificGravity, image.data() + memmap::kSpecificGravity, memmap::kFloatSize);
        }
        link.readMemory(memmap::kOutputBlock, image.data() + memmap::kOutputBlock, memmap::kOutputBlockSize);
    });
}

int showDiff(const LoadedFile &f, const Image &device, const Options &options, Sink &sink)
{
    int different = 0;
    QJsonArray list;
    std::string text;
    for (const Field &field : fields()) {
        const bool equal = sameBytes(f.image, device, field);
        different += !equal;
        const QByteArray &line = f.lines[std::size_t(field.fileLine)];
        if (options.json) {
            list.append(QJsonObject{{"name", QString::fromStdString(field.name())},
                                    {"equal", equal},
                                    {"file", fieldJson(f.image, field)},
                                    {"file_text", QString::fromLatin1(line)},
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

int runReadConfig(TFix64 &link, const Target &target, const Options &options, Sink &sink)
{
    ConfigurationRecord record;
    std::array<int, 3> modes{kNoMode, kNoMode, kNoMode};
    config::ReadHooks hooks;
    hooks.gravityOutOfRange = [&](float) { sink.note("Specific gravity out of range"); };
    hooks.modeRead = [&](int output, int mode) { modes[static_cast<std::size_t>(output)] = mode; };
    try {
        config::readConfiguration(link, record, hooks);
    } catch (const std::exception &) {
        return sink.fail("Error reading configuration");
    }
    if (options.json) {
        QJsonArray outputs;
        for (int o = 0; o < memmap::kOutputCount; ++o) {
            const int mode = modes[std::size_t(o)];
            outputs.append(QJsonObject{{"output", o + 1},
                                       {"lower_pa", jsonFloat(record.lowerValue(o))},
                                       {"higher_pa", jsonFloat(record.higherValue(o))},
                                       {"mode", mode >= 0 && mode < 5 ? QJsonValue(kModeNames[mode]) : QJsonValue()}});
        }
        sink.json(QJsonObject{{"range_pa", jsonFloat(record.nominalRange)},
                              {"gravity", jsonFloat(record.specificGravity)},
                              {"outputs", outputs}});
        return ExitOk;
    }

    // The file restores what the transmitter holds, byte for byte: the gravity
    // as it is stored, not as the window rounds it for showing.
    Image image(kImageSpan, 0);
    std::memcpy(image.data(), record.memoryImage.data(), kImageSpan);
    for (int i = 0; i < 6; ++i) {
        const uint32_t address = memmap::outputAddress(i / 2) +
                                 (i % 2 ? memmap::kHigherValueOffset : memmap::kLowerValueOffset);
        std::memcpy(image.data() + address, &record.limitValue(i), memmap::kFloatSize);
    }
    std::vector<std::string> lost;
    const QByteArray bytes = exactFileBytes(image, lost);
    int code = ExitOk;
    if (!options.operands.empty()) {
        std::string path = options.operands[0];
        if (options.all)
            path = target.fileName; // chosen by the run, unique within it
        if (!config::saveConfigurationBytes(QString::fromLocal8Bit(path.c_str()), bytes))
            return sink.fail("Cannot open file: " + path);
        if (options.all && !options.quiet)
            sink.out("saved " + path + "\n");
    } else {
        binaryStdout();
        sink.out(bytes.toStdString());
    }
    for (const std::string &text : lost) {
        sink.err(text);
        code = ExitFailure;
    }
    return code;
}

int runDiff(TFix64 &link, const Target &, const Options &options, Sink &sink)
{
    const std::optional<LoadedFile> f = loadFile(options.operands[0], sink);
    if (!f)
        return ExitTrouble;
    Image device;
    try {
        readTransmitter(link, device, nullptr);
    } catch (const std::exception &) {
        sink.err("Error reading configuration");
        return ExitTrouble;
    }
    return showDiff(*f, device, options, sink) ? ExitFailure : ExitOk;
}

} // namespace cli

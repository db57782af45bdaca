// Configuration files on the command line: read once and checked line by
// line, and written so that they restore a transmitter exactly.
#include "ConfigShared.h"

#include "ConfigurationExchange.h"
#include "NumberText.h"
#include "ValueEntry.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace cli {

namespace {

const char *const kModeNames[] = {"off", "compression", "extraction", "correct_value", "error_value"};
const char *const kModeTexts[] = {"Off", "Compression", "Extraction", "Correct value", "Error value"};

std::string modeText(uint8_t byte)
{
    return std::to_string(byte == kNoModeByte ? -1 : int(byte)) + " (" +
           (byte < 5 ? kModeTexts[byte] : "no selection") + ")";
}

bool sameFloat(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Fixed notation with at least six decimals, as many more as the float needs
// to read back as itself; empty for what no decimal text can give.
QByteArray exactFixed(float value)
{
    if (!std::isfinite(value))
        return {};
    char text[128];
    for (int decimals = 6; decimals <= 60; ++decimals) {
        std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
        const std::optional<float> back = readNumber(QString::fromLatin1(text));
        if (back && sameFloat(*back, value))
            return text;
    }
    return {};
}

// Shortest text that reads back as the same float, sign of zero included.
QByteArray exactShortest(float value)
{
    if (!std::isfinite(value))
        return {};
    if (value == 0)
        return std::signbit(value) ? "-0" : "0";
    return QByteArray::fromStdString(floatText(value));
}

QByteArray noNumberText(float value) { return std::isnan(value) ? "nan" : value > 0 ? "inf" : "-inf"; }

} // namespace

std::string Field::name() const
{
    if (kind == Gravity)
        return "specific gravity";
    return "output " + std::to_string(output) + (kind == Mode ? " mode" : higher ? " higher value" : " lower value");
}

const std::vector<Field> &fields()
{
    static const std::vector<Field> all = [] {
        std::vector<Field> list{{Field::Gravity, memmap::kSpecificGravity, 0, false, 3}};
        for (int o = 0; o < memmap::kOutputCount; ++o) {
            const uint32_t base = memmap::outputAddress(o);
            list.push_back({Field::Pressure, base + memmap::kLowerValueOffset, o + 1, false, 5 + 3 * o});
            list.push_back({Field::Pressure, base + memmap::kHigherValueOffset, o + 1, true, 4 + 3 * o});
            list.push_back({Field::Mode, base + memmap::kModeOffset, o + 1, false, 6 + 3 * o});
        }
        return list;
    }();
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
    return jsonFloat(floatIn(image, f.address));
}

std::optional<LoadedFile> loadFile(const std::string &path, Sink &sink)
{
    const auto refuse = [&](const std::string &text) {
        sink.err(text);
        return std::nullopt;
    };
    // the one read of the file, by the name's bytes as given (which need
    // not be text in the locale's encoding): everything below works on these bytes
    QByteArray bytes;
    switch (readWholeFile(path, config::kMaxConfigurationFileSize + 1, bytes)) {
    case FileRead::Read:
        break;
    case FileRead::Missing:
        return refuse(path + ": no such file");
    case FileRead::NotRegular:
        return refuse(path + ": not a regular file");
    case FileRead::Failed:
        return refuse("Cannot open file: " + path);
    }
    if (bytes.size() > config::kMaxConfigurationFileSize)
        return refuse(path + ": larger than 64 KiB, not a configuration file");
    if (bytes.isEmpty())
        return refuse(path + ": the file is empty; a configuration file has 12 lines");

    QList<QByteArray> raw = bytes.split('\n');
    const QByteArray header = config::kConfigurationFileHeader;
    if (raw[0] != header && raw[0] != header + '\r')
        return refuse(path + ":1: expected the line \"" + header.toStdString() +
                                                   "\", found " + quoted(raw[0].toStdString()));
    if (raw.back().isEmpty())
        raw.removeLast();
    if (raw.size() < config::kConfigurationFileLines)
        return refuse(path + ":" + std::to_string(raw.size() + 1) + ": the file ends after line " +
                          std::to_string(raw.size()) + "; a configuration file has 12 lines");

    LoadedFile loaded;
    loaded.path = path;
    loaded.sha256 = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    loaded.lines.push_back(QByteArray());
    for (QByteArray line : raw) {
        while (!line.isEmpty() && static_cast<unsigned char>(line.back()) < 33)
            line.chop(1);
        loaded.lines.push_back(line);
    }
    for (const Field &field : fields()) {
        const QByteArray &line = loaded.lines[std::size_t(field.fileLine)];
        if (field.kind == Field::Mode && !strictToInt(QString::fromLatin1(line)))
            return refuse(path + ":" + std::to_string(field.fileLine) + ": " + field.name() + " " +
                              quoted(line.toStdString()) + " is not a whole number (0 to 4, or -1 for none)");
    }
    const std::optional<config::ConfigurationFile> file = config::parseConfigurationFile(bytes);
    if (!file)
        return refuse(path + ": not a configuration file");
    loaded.file = *file;
    config::applyToRecord(loaded.file, loaded.record);
    config::assembleOutputBlock(loaded.record, loaded.file.modes);
    std::memcpy(loaded.image.data() + memmap::kOutputBlock, loaded.record.memoryImage.data() + memmap::kOutputBlock,
                memmap::kOutputBlockSize);
    // what the write will send: the strict conversion of the gravity text the loader made
    const float gravity = strictToFloat(loaded.file.gravityText).value_or(0);
    std::memcpy(loaded.image.data() + memmap::kSpecificGravity, &gravity, 4);

    std::vector<Finding> &found = loaded.findings;
    for (const Field &field : fields()) {
        const QByteArray &line = loaded.lines[std::size_t(field.fileLine)];
        const std::string text = quoted(line.toStdString());
        if (field.kind == Field::Mode) {
            const int written = *strictToInt(QString::fromLatin1(line));
            if (written == kNoMode)
                found.push_back({field.fileLine, field.name() + " -1 leaves the output without a mode", true});
            else if (written < ModeOff || written > ModeErrorValue)
                found.push_back({field.fileLine, field.name() + " " + text + " is not a mode from 0 to 4", true});
            continue;
        }
        const std::optional<float> v = readNumber(QString::fromLatin1(line));
        if (!v)
            found.push_back({field.fileLine, field.name() + " " + text + " is not a number", false});
        else if (field.kind == Field::Gravity && !config::gravityInRange(*v))
            found.push_back({field.fileLine, field.name() + " " + text + " is outside 10 to 100000", true});
    }
    for (int o = 0; o < memmap::kOutputCount; ++o)
        if (loaded.record.lowerValue(o) > loaded.record.higherValue(o))
            found.push_back({5 + 3 * o,
                             "output " + std::to_string(o + 1) + " lower value " +
                                 floatText(loaded.record.lowerValue(o)) + " Pa is above its higher value " +
                                 floatText(loaded.record.higherValue(o)) + " Pa (Error in values of pressure)",
                             false});
    return loaded;
}

std::vector<Finding> rangeFindings(const LoadedFile &f, float range)
{
    if (!(std::isfinite(range) && range > 0))
        return {{0,
                 "the transmitter's nominal range reads as " + floatText(range) +
                     " Pa (erased or damaged memory?), so the switching values cannot be checked against it",
                 true}};
    ConfigurationRecord bounds;
    config::setNominalRange(bounds, range);
    const double highest = 1.01 * static_cast<double>(range);
    char highestText[64];
    std::snprintf(highestText, sizeof highestText, "%.9g", highest);
    std::vector<Finding> found;
    for (const Field &field : fields()) {
        if (field.kind != Field::Pressure)
            continue;
        const float v = floatIn(f.image, field.address);
        if (display::limitOutOfRange(static_cast<double>(v), bounds))
            found.push_back({field.fileLine,
                             field.name() + " " + floatText(v) + " Pa is out of range for this transmitter (" +
                                 floatText(bounds.limitLowerBound) + " to " + highestText + " Pa)",
                             true});
    }
    return found;
}

QByteArray exactFileBytes(const Image &image, std::vector<std::string> &lost)
{
    QList<QByteArray> lines(config::kConfigurationFileLines + 1);
    lines[1] = config::kConfigurationFileHeader;
    lines[2] = "p";
    for (const Field &field : fields()) {
        QByteArray &line = lines[field.fileLine];
        if (field.kind == Field::Mode) {
            const uint8_t byte = image[field.address];
            line = byte <= ModeErrorValue ? QByteArray::number(byte) : QByteArray("-1");
            if (byte > ModeErrorValue && byte != kNoModeByte)
                lost.push_back(field.name() + ": the mode byte " + std::to_string(byte) +
                               " cannot be kept in a configuration file (saved as -1, which writes 255)");
            continue;
        }
        const float v = floatIn(image, field.address);
        line = field.kind == Field::Gravity ? exactShortest(v) : exactFixed(v);
        if (line.isEmpty()) {
            line = noNumberText(v);
            lost.push_back(field.name() + ": the transmitter holds no number (" + line.toStdString() +
                           "); a configuration file cannot restore it");
        }
    }
    QByteArray bytes;
    for (int i = 1; i <= config::kConfigurationFileLines; ++i)
        bytes += lines[i] + "\r\n";
    return bytes;
}

std::string selection(const Target &target)
{
    if (!target.location.empty())
        return "--location " + target.location;
    return "--device " + std::to_string(target.instance);
}

std::string saveBackup(const Image &before, const Target &target)
{
    std::vector<std::string> lost;
    const QByteArray bytes = exactFileBytes(before, lost);
    // serial number and location (two transmitters may share the serial
    // number), time and process: no other transmitter or run takes the name
    QString stem = QStringLiteral("qz5801-before-%1-%2-%3-%4")
                       .arg(target.serial ? QString::number(*target.serial) : QStringLiteral("unknown"),
                            target.location.empty() ? QStringLiteral("instance%1").arg(target.instance)
                                                    : QString::fromStdString(target.location),
                            QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmsszzz")))
                       .arg(QCoreApplication::applicationPid());
    stem.replace(u'/', u'_');
    for (int n = 1; n <= 100; ++n) {
        const QString path = QDir(QDir::tempPath())
                                 .filePath(stem + (n > 1 ? QStringLiteral("-%1").arg(n) : QString()) + ".cfg");
        QFile out(path);
        // never over a file that is there, whoever made it
        if (!out.open(QIODevice::WriteOnly | QIODevice::NewOnly | QIODevice::Unbuffered)) {
            if (out.error() == QFileDevice::OpenError && QFileInfo::exists(path))
                continue;
            return {};
        }
        if (out.write(bytes) != bytes.size() || !out.flush()) {
            out.remove();
            return {};
        }
        return path.toLocal8Bit().toStdString();
    }
    return {};
}

} // namespace cli

#include "ConfigurationFile.h"

#include "NumberText.h"

#include <QFile>
#include <QFileInfo>
#include <QList>
#include <QSaveFile>

#include <charconv>
#include <limits>

namespace config {

namespace {

// The line order of the file: higher before lower within each output.
constexpr int kHigherLine[3] = {3, 6, 9};  // zero-based line numbers
constexpr int kLowerLine[3] = {4, 7, 10};
constexpr int kModeLine[3] = {5, 8, 11};

QByteArray sixDecimals(float value)
{
    char buffer[400];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                 std::chars_format::fixed, 6);
    return QByteArray(buffer, r.ptr - buffer);
}

// A value line: a number with either separator, or the words the save
// writes for a value read from the transmitter as not-a-number or infinite.
std::optional<float> fileValue(const QByteArray &line)
{
    if (line == "nan" || line == "-nan")
        return std::numeric_limits<float>::quiet_NaN();
    if (line == "inf" || line == "-inf")
        return line.startsWith('-') ? -std::numeric_limits<float>::infinity()
                                    : std::numeric_limits<float>::infinity();
    return readNumber(QString::fromLatin1(line));
}

// The operator's text as it stands, but for a decimal separator that is
// neither a point nor a comma (Arabic writes U+066B): that one is no 8-bit
// character, nor would another locale read it, so it is written as a point.
QString savedGravityText(QString text)
{
    const QChar separator = systemDecimalSeparator();
    if (separator != u'.' && separator != u',')
        text.replace(separator, u'.');
    return text;
}

QByteArray stripTrailingControls(QByteArray line)
{
    while (!line.isEmpty() && static_cast<unsigned char>(line.back()) < 33)
        line.chop(1);
    return line;
}

} // namespace

ConfigurationFile fileFromRecord(const ConfigurationRecord &record, bool isPressure, const QString &gravityText,
                                 const std::array<int, 3> &modes)
{
    ConfigurationFile file;
    file.isPressure = isPressure;
    file.gravityText = gravityText;
    for (int i = 0; i < 6; ++i)
        file.values[static_cast<std::size_t>(i)] = record.limitValue(i);
    file.modes = modes;
    return file;
}

void applyToRecord(const ConfigurationFile &file, ConfigurationRecord &record)
{
    for (int i = 0; i < 6; ++i)
        record.limitValue(i) = file.values[static_cast<std::size_t>(i)];
    record.fileIsPressure = file.isPressure;
}

QByteArray configurationFileBytes(const ConfigurationFile &file)
{
    QList<QByteArray> lines(kConfigurationFileLines);
    lines[0] = kConfigurationFileHeader;
    lines[1] = file.isPressure ? "p" : "h";
    lines[2] = savedGravityText(file.gravityText).toLatin1();
    for (std::size_t output = 0; output < 3; ++output) {
        lines[kHigherLine[output]] = sixDecimals(file.values[2 * output + 1]);
        lines[kLowerLine[output]] = sixDecimals(file.values[2 * output]);
        lines[kModeLine[output]] = QByteArray::number(file.modes[output]);
    }
    QByteArray bytes;
    for (const QByteArray &line : lines)
        bytes += line + "\r\n";
    return bytes;
}

std::optional<ConfigurationFile> parseConfigurationFile(const QByteArray &bytes, NumberLines numbers)
{
    if (bytes.size() > kMaxConfigurationFileSize)
        return std::nullopt;
    QList<QByteArray> lines = bytes.split('\n');
    // The header goes as it stands, with its line end, carriage return and all.
    if (lines.size() < 2)
        return std::nullopt;
    const QByteArray header = kConfigurationFileHeader;
    if (lines[0] != header && lines[0] != header + '\r')
        return std::nullopt;
    if (lines.back().isEmpty())
        lines.removeLast(); // the end of the last line, not a line of its own
    if (lines.size() < kConfigurationFileLines)
        return std::nullopt;
    for (QByteArray &line : lines)
        line = stripTrailingControls(line);

    ConfigurationFile file;
    std::array<int, 3> modes{};
    for (std::size_t output = 0; output < 3; ++output) {
        const std::optional<int> mode = strictToInt(QString::fromLatin1(lines[kModeLine[output]]));
        if (!mode)
            return std::nullopt;
        modes[output] = *mode >= ModeOff && *mode <= ModeErrorValue ? *mode : kNoMode;
    }
    file.modes = modes;
    file.isPressure = lines[1] == "p";
    const bool mustRead = numbers == NumberLines::MustRead;
    const auto number = [mustRead](const QByteArray &line, bool value) -> std::optional<float> {
        if (!mustRead)
            return parseNumber(QString::fromLatin1(line));
        return value ? fileValue(line) : readNumber(QString::fromLatin1(line));
    };
    const std::optional<float> gravity = number(lines[2], false);
    if (!gravity)
        return std::nullopt;
    file.gravityText = generalNumber(static_cast<double>(*gravity));
    for (std::size_t output = 0; output < 3; ++output) {
        const std::optional<float> higher = number(lines[kHigherLine[output]], true);
        const std::optional<float> lower = number(lines[kLowerLine[output]], true);
        if (!higher || !lower)
            return std::nullopt;
        file.values[2 * output + 1] = *higher;
        file.values[2 * output] = *lower;
    }
    return file;
}

bool saveConfigurationFile(const QString &path, const ConfigurationFile &file)
{
    return saveConfigurationBytes(path, configurationFileBytes(file));
}

bool saveConfigurationBytes(const QString &path, const QByteArray &bytes)
{
    QSaveFile out(path);
    out.setDirectWriteFallback(true);
    // Unbuffered, so a failing write shows here: a buffered one fails only
    // inside commit(), which then still puts the short file in place.
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (out.write(bytes) != bytes.size() || out.error() != QFileDevice::NoError) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

std::optional<ConfigurationFile> loadConfigurationFile(const QString &path, NumberLines numbers)
{
    if (!QFileInfo(path).isFile())
        return std::nullopt;
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly) || in.isSequential())
        return std::nullopt;
    const QByteArray bytes = in.read(kMaxConfigurationFileSize + 1);
    if (in.error() != QFileDevice::NoError)
        return std::nullopt;
    return parseConfigurationFile(bytes, numbers);
}

} // namespace config

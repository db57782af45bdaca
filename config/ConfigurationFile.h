// Configuration files: twelve text lines under "*** QZ5800 CONFIG ***".
// The window's configuration as such a file holds it, and the conversions
// between the file's bytes and it. Values in Pa.
#pragma once

#include "ConfigurationRecord.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <optional>

namespace config {

inline constexpr const char *kConfigurationFileHeader = "*** QZ5800 CONFIG ***";
inline constexpr int kConfigurationFileLines = 12;
// A real file is about 130 bytes; anything larger than this is not one.
inline constexpr qsizetype kMaxConfigurationFileSize = 64 * 1024;

struct ConfigurationFile {
    bool isPressure = true;
    // Saved as the operator's text of `Ro`; loaded as the general form of its number.
    QString gravityText;
    // In the record's order: lower 1, higher 1, lower 2, higher 2, lower 3, higher 3.
    std::array<float, 6> values{};
    // 0 to 4, or kNoMode.
    std::array<int, 3> modes{kNoMode, kNoMode, kNoMode};
};

ConfigurationFile fileFromRecord(const ConfigurationRecord &record, bool isPressure, const QString &gravityText,
                                 const std::array<int, 3> &modes);
// The six values and the file's display mode; the rest of a file belongs to the window's controls.
void applyToRecord(const ConfigurationFile &file, ConfigurationRecord &record);

// Twelve lines, each ended by CR LF: values with six decimals, modes as integers (-1 for none).
QByteArray configurationFileBytes(const ConfigurationFile &file);
// How number lines that read as no number are taken. The window refuses such
// a file (MustRead): it would go to the transmitter as gravity 0 or 0 Pa. A
// caller that reports each line itself may take them as 0.
enum class NumberLines { ZeroWhenUnreadable, MustRead };

// The whole file is checked before anything is taken from it: at most
// kMaxConfigurationFileSize bytes, the header line exactly, at least twelve
// lines, integer mode lines; with MustRead also number lines that read as
// numbers (value lines also as the save writes not-a-number and infinity).
// Either separator reads under any locale. Nothing when it fails.
std::optional<ConfigurationFile> parseConfigurationFile(const QByteArray &bytes,
                                                        NumberLines numbers = NumberLines::ZeroWhenUnreadable);

// Replaces the file only once all of it is written; false leaves any old file
// as it was. Where the folder takes no new file beside the target, the target
// is written in place instead.
bool saveConfigurationFile(const QString &path, const ConfigurationFile &file);
// The same for bytes already made.
bool saveConfigurationBytes(const QString &path, const QByteArray &bytes);
// Nothing for what is not a regular file (a FIFO would block the open) and
// for a file that cannot be read whole or does not parse.
std::optional<ConfigurationFile> loadConfigurationFile(const QString &path,
                                                       NumberLines numbers = NumberLines::ZeroWhenUnreadable);

} // namespace config

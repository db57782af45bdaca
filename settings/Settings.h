// The operator's choices kept from one run to the next: "qz5801.ini" in the
// folder "QZ5801 User Software" of the per-user application-data folder,
// section "Options". The file follows the system's INI rules: section and key
// names match without regard to case, and writing our four keys leaves every
// other line of the file as it was.
#pragma once

#include <QByteArray>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

struct UserSettings {
    int language = 0;
    bool isPressure = false;
    int unitOfLength = 1;
    int unitOfPressure = 1;

    bool operator==(const UserSettings &) const = default;
};

// A settings file larger than this is not one of ours: it is neither read
// nor replaced.
inline constexpr qsizetype kMaxSettingsFileSize = 1024 * 1024;

// The per-user application-data folder: $XDG_CONFIG_HOME (~/.config) on
// Linux, the roaming application-data folder on Windows. Empty when unknown.
QString userApplicationDataFolder();

// Full path of a file in the settings folder, which is created (with its
// parents) on the way; whether that worked is not checked. Empty when the
// application-data folder is unknown.
QString settingsFilePath(const QString &fileName);

// An INI integer: decimal, or hexadecimal after "0x" or "$", with an optional
// sign; blanks and one pair of quotes around it are dropped. Hexadecimal
// values up to 0xFFFFFFFF wrap into the signed range.
std::optional<int> parseIniInteger(const QByteArray &value);

// The file's bytes are seen the same way by the reader and the writer
// below: lines end at CR LF, LF or CR; a UTF-8 byte-order mark before the
// first line is not part of it; blanks around names and values do not count;
// a line is a section header when its first non-blank is "[" and a "]"
// follows on the line, a comment when it is ";" or "#", a key when it holds
// "=" after a name, and otherwise nothing at all (an unclosed "[Options" is
// no header). Of repeated sections and keys the first counts. Any other byte,
// NUL included, is part of its line.

// The value of a key in a section, blanks before it dropped; nothing when
// the section or key is missing.
std::optional<QByteArray> iniValue(const QByteArray &contents, const QByteArray &section, const QByteArray &key);

// Sets the keys of one section in an INI file's bytes and returns the new
// bytes. A key found in the section (first of its name) keeps its line with
// only the value replaced; a missing key is added after the section's last
// line that is not blank; a missing section is added at the end. Every other
// byte stays as it was.
QByteArray setIniValues(const QByteArray &contents, const QByteArray &section,
                        const std::vector<std::pair<QByteArray, QByteArray>> &values);

// The four values of section "Options" in a settings file's bytes; a missing
// key, or a value that is not an integer, gives the default, and so does
// every key of a file over kMaxSettingsFileSize.
UserSettings userSettingsFromBytes(const QByteArray &contents);

// A settings file's bytes with the four values written into section
// "Options"; nothing when the file, or the file it would become, is over
// kMaxSettingsFileSize. userSettingsFromBytes reads the values back.
std::optional<QByteArray> userSettingsBytes(const QByteArray &contents, const UserSettings &settings);

// The four values of the settings file; a missing or unreadable file gives
// the defaults.
UserSettings readUserSettings(const QString &path);

// Writes the four values into section "Options" of the file, atomically.
// False, and the old file as it was, when there is no path, the existing
// file is not a regular file or cannot be read whole, or any write fails.
bool writeUserSettings(const QString &path, const UserSettings &settings);

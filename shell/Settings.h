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
};

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

// Sets the keys of one section in an INI file's bytes and returns the new
// bytes. A key found in the section (first of its name) keeps its line with
// only the value replaced; a missing key is added after the section's last
// line that is not blank; a missing section is added at the end. Every other
// byte stays as it was.
QByteArray setIniValues(const QByteArray &contents, const QByteArray &section,
                        const std::vector<std::pair<QByteArray, QByteArray>> &values);

// The four values of section "Options"; a missing or unreadable file or key,
// or a value that is not an integer, gives the default.
UserSettings readUserSettings(const QString &path);

// Writes the four values into section "Options", atomically. False (and the
// file untouched) when there is no path, the existing file cannot be read or
// the new one cannot be written.
bool writeUserSettings(const QString &path, const UserSettings &settings);

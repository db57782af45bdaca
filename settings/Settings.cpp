#include "Settings.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cstdint>

#ifdef Q_OS_WIN
#include <windows.h>
#include <shlobj.h>
#endif

namespace {

const char *const kSettingsFolder = "QZ5801 User Software";
const char *const kSection = "Options";
const char *const kLanguage = "Language";
const char *const kIsPressure = "isPressure";
const char *const kUnitOfLength = "unitOfLength";
const char *const kUnitOfPressure = "unitOfPressure";
const char kUtf8Bom[] = "\xEF\xBB\xBF";

bool isBlank(char c) { return c == ' ' || c == '\t'; }

char asciiLower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }

bool sameName(const QByteArray &a, const QByteArray &b)
{
    if (a.size() != b.size())
        return false;
    for (qsizetype i = 0; i < a.size(); ++i)
        if (asciiLower(a[i]) != asciiLower(b[i]))
            return false;
    return true;
}

QByteArray trimBlanks(const QByteArray &text)
{
    qsizetype from = 0;
    qsizetype to = text.size();
    while (from < to && isBlank(text[from]))
        ++from;
    while (to > from && isBlank(text[to - 1]))
        --to;
    return text.mid(from, to - from);
}

// One line of an INI file and what the INI reader makes of it.
struct IniLine {
    QByteArray text;    // without its line end
    QByteArray ending;  // "\r\n", "\n", "\r" or empty for a last line without one
    enum Kind { Blank, Comment, Section, Key, Other } kind = Other;
    QByteArray name;    // section or key name, trimmed
    qsizetype valueStart = 0; // Key: where the value begins, after "=" and blanks
};

void classify(IniLine &line)
{
    const QByteArray &t = line.text;
    qsizetype i = 0;
    while (i < t.size() && isBlank(t[i]))
        ++i;
    if (i == t.size()) {
        line.kind = IniLine::Blank;
        return;
    }
    if (t[i] == ';' || t[i] == '#') {
        line.kind = IniLine::Comment;
        return;
    }
    if (t[i] == '[') {
        const qsizetype close = t.indexOf(']', i + 1);
        if (close < 0) {
            line.kind = IniLine::Other;
            return;
        }
        line.kind = IniLine::Section;
        line.name = trimBlanks(t.mid(i + 1, close - i - 1));
        return;
    }
    const qsizetype equals = t.indexOf('=', i);
    if (equals < 0) {
        line.kind = IniLine::Other;
        return;
    }
    line.name = trimBlanks(t.mid(i, equals - i));
    if (line.name.isEmpty()) {
        line.kind = IniLine::Other;
        return;
    }
    line.kind = IniLine::Key;
    qsizetype value = equals + 1;
    while (value < t.size() && isBlank(t[value]))
        ++value;
    line.valueStart = value;
}

std::vector<IniLine> splitLines(const QByteArray &contents)
{
    std::vector<IniLine> lines;
    qsizetype start = 0;
    const qsizetype n = contents.size();
    while (start < n) {
        qsizetype end = start;
        while (end < n && contents[end] != '\r' && contents[end] != '\n')
            ++end;
        IniLine line;
        line.text = contents.mid(start, end - start);
        if (end < n) {
            const qsizetype endingSize = (contents[end] == '\r' && end + 1 < n && contents[end + 1] == '\n') ? 2 : 1;
            line.ending = contents.mid(end, endingSize);
            end += endingSize;
        }
        classify(line);
        lines.push_back(std::move(line));
        start = end;
    }
    return lines;
}

IniLine newLine(const QByteArray &text, const QByteArray &ending)
{
    IniLine line;
    line.text = text;
    line.ending = ending;
    classify(line);
    return line;
}

QByteArray defaultLineEnding()
{
#ifdef Q_OS_WIN
    return QByteArrayLiteral("\r\n");
#else
    return QByteArrayLiteral("\n");
#endif
}

bool startsWithBom(const QByteArray &contents)
{
    return contents.startsWith(QByteArrayView(kUtf8Bom, 3));
}

std::vector<IniLine> iniLines(const QByteArray &contents)
{
    return splitLines(startsWithBom(contents) ? contents.mid(3) : contents);
}

// Index of the first header of the section; lines.size() when there is none.
std::size_t sectionHeader(const std::vector<IniLine> &lines, const QByteArray &section)
{
    for (std::size_t i = 0; i < lines.size(); ++i)
        if (lines[i].kind == IniLine::Section && sameName(lines[i].name, section))
            return i;
    return lines.size();
}

std::size_t sectionEnd(const std::vector<IniLine> &lines, std::size_t header)
{
    std::size_t end = header + 1;
    while (end < lines.size() && lines[end].kind != IniLine::Section)
        ++end;
    return end;
}

std::vector<std::pair<QByteArray, QByteArray>> settingsValues(const UserSettings &settings)
{
    return {{kLanguage, QByteArray::number(settings.language)},
            {kIsPressure, settings.isPressure ? "1" : "0"},
            {kUnitOfLength, QByteArray::number(settings.unitOfLength)},
            {kUnitOfPressure, QByteArray::number(settings.unitOfPressure)}};
}

// The bytes of the settings file: empty when there is none. False when there
// is something at the path that must not be replaced: not a regular file (a
// FIFO would block the open), unreadable, or too large to be ours.
bool readSettingsFile(const QString &path, QByteArray &contents)
{
    contents.clear();
    const QFileInfo info(path);
    if (!info.exists() && !info.isSymLink())
        return true;
    if (!info.isFile())
        return false;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.isSequential())
        return false;
    contents = file.read(kMaxSettingsFileSize + 1);
    return file.error() == QFileDevice::NoError && contents.size() <= kMaxSettingsFileSize;
}

} // namespace

QString userApplicationDataFolder()
{
#ifdef Q_OS_WIN
    wchar_t path[MAX_PATH];
    if (SUCCEEDED(SHGetFolderPathW(nullptr, CSIDL_APPDATA | CSIDL_FLAG_CREATE, nullptr, SHGFP_TYPE_CURRENT, path)))
        return QDir::fromNativeSeparators(QString::fromWCharArray(path));
    return {};
#else
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
#endif
}

QString settingsFilePath(const QString &fileName)
{
    const QString base = userApplicationDataFolder();
    if (base.isEmpty())
        return {};
    const QString folder = QDir(base).filePath(QString::fromLatin1(kSettingsFolder));
    QDir().mkpath(folder);
    return QDir(folder).filePath(fileName);
}

std::optional<int> parseIniInteger(const QByteArray &value)
{
    QByteArray t = trimBlanks(value);
    if (t.size() >= 2 && (t.front() == '"' || t.front() == '\'') && t.back() == t.front())
        t = trimBlanks(t.mid(1, t.size() - 2));
    qsizetype i = 0;
    bool negative = false;
    if (i < t.size() && (t[i] == '+' || t[i] == '-')) {
        negative = t[i] == '-';
        ++i;
    }
    unsigned base = 10;
    if (i < t.size() && t[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i == t.size())
        return std::nullopt;
    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
    uint64_t magnitude = 0;
    for (; i < t.size(); ++i) {
        const char c = t[i];
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = unsigned(c - '0');
        else if (base == 16 && asciiLower(c) >= 'a' && asciiLower(c) <= 'f')
            digit = unsigned(asciiLower(c) - 'a' + 10);
        else
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > limit)
            return std::nullopt;
    }
    uint32_t bits = static_cast<uint32_t>(magnitude);
    if (negative)
        bits = 0u - bits;
    return static_cast<int32_t>(bits);
}

QByteArray setIniValues(const QByteArray &contents, const QByteArray &section,
                        const std::vector<std::pair<QByteArray, QByteArray>> &values)
{
    const bool hasBom = startsWithBom(contents);
    std::vector<IniLine> lines = iniLines(contents);

    QByteArray eol;
    for (const IniLine &line : lines)
        if (!line.ending.isEmpty()) {
            eol = line.ending;
            break;
        }
    if (eol.isEmpty())
        eol = defaultLineEnding();

    auto insertAt = [&](std::size_t at, IniLine line) {
        if (at > 0 && lines[at - 1].ending.isEmpty())
            lines[at - 1].ending = eol;
        lines.insert(lines.begin() + std::ptrdiff_t(at), std::move(line));
    };

    std::size_t header = sectionHeader(lines, section);
    if (header == lines.size()) {
        if (!lines.empty() && lines.back().kind != IniLine::Blank)
            insertAt(lines.size(), newLine({}, eol));
        insertAt(lines.size(), newLine('[' + section + ']', eol));
        header = lines.size() - 1;
    }
    std::size_t end = sectionEnd(lines, header);

    for (const auto &[key, value] : values) {
        bool replaced = false;
        for (std::size_t i = header + 1; i < end; ++i) {
            IniLine &line = lines[i];
            if (line.kind == IniLine::Key && sameName(line.name, key)) {
                line.text = line.text.left(line.valueStart) + value;
                replaced = true;
                break;
            }
        }
        if (replaced)
            continue;
        std::size_t at = header + 1;
        for (std::size_t i = header + 1; i < end; ++i)
            if (lines[i].kind != IniLine::Blank)
                at = i + 1;
        insertAt(at, newLine(key + '=' + value, eol));
        ++end;
    }

    QByteArray result = hasBom ? QByteArray(kUtf8Bom, 3) : QByteArray();
    for (const IniLine &line : lines)
        result += line.text + line.ending;
    return result;
}

std::optional<QByteArray> iniValue(const QByteArray &contents, const QByteArray &section, const QByteArray &key)
{
    const std::vector<IniLine> lines = iniLines(contents);
    const std::size_t header = sectionHeader(lines, section);
    if (header == lines.size())
        return std::nullopt;
    const std::size_t end = sectionEnd(lines, header);
    for (std::size_t i = header + 1; i < end; ++i)
        if (lines[i].kind == IniLine::Key && sameName(lines[i].name, key))
            return lines[i].text.mid(lines[i].valueStart);
    return std::nullopt;
}

UserSettings userSettingsFromBytes(const QByteArray &contents)
{
    UserSettings settings;
    if (contents.size() > kMaxSettingsFileSize)
        return settings;
    auto integer = [&](const char *key, int fallback) {
        const std::optional<QByteArray> text = iniValue(contents, kSection, key);
        return text ? parseIniInteger(*text).value_or(fallback) : fallback;
    };
    settings.language = integer(kLanguage, 0);
    settings.isPressure = integer(kIsPressure, 0) != 0;
    settings.unitOfLength = integer(kUnitOfLength, 1);
    settings.unitOfPressure = integer(kUnitOfPressure, 1);
    return settings;
}

std::optional<QByteArray> userSettingsBytes(const QByteArray &contents, const UserSettings &settings)
{
    if (contents.size() > kMaxSettingsFileSize)
        return std::nullopt;
    QByteArray result = setIniValues(contents, kSection, settingsValues(settings));
    if (result.size() > kMaxSettingsFileSize)
        return std::nullopt;
    return result;
}

UserSettings readUserSettings(const QString &path)
{
    QByteArray contents;
    if (path.isEmpty() || !readSettingsFile(path, contents))
        return UserSettings{};
    return userSettingsFromBytes(contents);
}

bool writeUserSettings(const QString &path, const UserSettings &settings)
{
    if (path.isEmpty())
        return false;
    // Never replace a file whose other sections could not be carried over.
    QByteArray contents;
    if (!readSettingsFile(path, contents))
        return false;
    const std::optional<QByteArray> bytes = userSettingsBytes(contents, settings);
    if (!bytes)
        return false;
    QSaveFile file(path);
    // Unbuffered, so that a failing write (a full disk) shows here: a
    // buffered one fails only inside commit(), which then still puts the
    // short file in place of the old one.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return false;
    if (file.write(*bytes) != bytes->size() || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

// The language catalogue ("messages.ini") and the reading of the UTF-16
// message files that it names.
#include "Lang.h"
#include "LangInternal.h"

#include <QCoreApplication>
#include <QFile>
#include <QVarLengthArray>

#include <SimpleIni.h>

#include <cstdint>

QString languageFolder;
int languageCount = 0;
std::array<QString, kLanguageTableSize> languageNames;
std::array<int, kLanguageTableSize> languageCharsets{};
std::array<QString, kLanguageTableSize> languageFiles;
std::array<QString, kLanguageTableSize> languageShorts;
int currentLanguage = 0;

namespace {

constexpr unsigned char kDefaultCharset = 1;

// Integer values as the Windows profile reader takes them: optional sign and
// decimal digits; absent or without digits gives the default.
int profileInt(const CSimpleIniA &ini, const char *section, const char *key, int fallback)
{
    const char *value = ini.GetValue(section, key, nullptr);
    if (!value)
        return fallback;
    while (*value == ' ' || *value == '\t')
        ++value;
    bool negative = false;
    if (*value == '-' || *value == '+') {
        negative = *value == '-';
        ++value;
    }
    if (*value < '0' || *value > '9')
        return fallback;
    std::uint32_t result = 0;
    for (; *value >= '0' && *value <= '9'; ++value)
        result = result * 10u + std::uint32_t(*value - '0');
    if (negative)
        result = 0u - result;
    return static_cast<std::int32_t>(result);
}

QString profileText(const CSimpleIniA &ini, const char *section, const char *key, const char *fallback)
{
    return QString::fromUtf8(ini.GetValue(section, key, fallback));
}

// A message file lies in the language folder or below it, so that its log is
// written and deleted there and nowhere else. A sub-folder part is simply
// appended; what would climb out or start elsewhere is no file of the folder.
bool isLanguageFileName(const QString &name)
{
    if (name.isEmpty())
        return false;
    if (name.startsWith(u'/') || name.startsWith(u'\\'))
        return false;  // absolute, or a network share
    if (name.size() >= 2 && name.at(1) == u':' && name.at(0).unicode() < 0x80 && name.at(0).isLetter())
        return false;  // a drive, with or without a path after it
    if (name.contains(QChar(0)))
        return false;
    QString slashed = name;
    slashed.replace(u'\\', u'/');
    const QStringList parts = slashed.split(u'/');
    if (parts.contains(QStringLiteral("..")))
        return false;
    // A folder is no message file.
    return !parts.last().isEmpty() && parts.last() != u".";
}

// The catalogue is written with either separator; the folder uses the native one.
QString withNativeSeparators(QString name)
{
    name.replace(u'\\', u'/');
    return QDir::toNativeSeparators(name);
}

} // namespace

namespace lang_internal {

bool readWholeFile(const QString &path, QByteArray &data)
{
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return false;
    data = file.readAll();
    return true;
}

namespace {

// Units are gathered in a plain buffer and made a text once: appending to
// the text unit by unit was most of reading a language file.
using Units = QVarLengthArray<char16_t, 256>;

QString toText(const Units &units)
{
    return units.isEmpty() ? QString() : QString(reinterpret_cast<const QChar *>(units.constData()), units.size());
}

} // namespace

bool readKey(UnitReader &reader, QString &key)
{
    Units units;
    char16_t unit;
    while (reader.next(unit)) {
        if (unit == u';') {
            key = toText(units);
            return true;
        }
        if (unit == u'\n')
            units.clear();
        else
            units.append(unit);
    }
    key = toText(units);
    return false;
}

QString readText(UnitReader &reader)
{
    Units units;
    char16_t unit;
    if (!reader.next(unit) || unit == u'\n')
        return QString();
    if (unit != u' ' && unit != u'\t' && unit != u'\r')
        units.append(unit);
    while (reader.next(unit) && unit != u'\n') {
        if (unit != u'\t' && unit != u'\r')
            units.append(unit);
    }
    return toText(units);
}

QString trimControlUnits(const QString &text)
{
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 0x20)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 0x20)
        --end;
    return text.mid(begin, end - begin);
}

} // namespace lang_internal

using lang_internal::currentLanguageInCatalogue;
using lang_internal::readWholeFile;

QString programFolderPathFor(const QString &executablePath, const QString &subfolder, QChar separator)
{
    QString folder = executablePath.left(executablePath.lastIndexOf(separator) + 1);
    const QString dotFolder = QString(separator) + u'.' + separator;
    if (folder.endsWith(dotFolder))
        folder.remove(folder.size() - 3, 2);
    if (!folder.endsWith(separator))
        folder += separator;
    const qsizetype dot = folder.indexOf(dotFolder);
    if (dot >= 0)
        folder.remove(dot, 2);
    // Whole folder names only: "Win32/Debugger" is not a build folder.
    for (const char *build : {"Debug", "Release"}) {
        const QString buildFolder = QString(separator) + QStringLiteral("Win32") + separator
                                    + QString::fromLatin1(build) + separator;
        const qsizetype at = folder.indexOf(buildFolder, 0, Qt::CaseSensitive);
        if (at >= 0)
            folder.remove(at, buildFolder.size() - 1);
    }
    return folder + subfolder;
}

QString programFolderPath(const QString &subfolder)
{
    return programFolderPathFor(QDir::toNativeSeparators(QCoreApplication::applicationFilePath()),
                                subfolder, QDir::separator());
}

void loadLanguageCatalogue()
{
    loadLanguageCatalogueFrom(programFolderPath(QStringLiteral("language") + QDir::separator()));
}

void loadLanguageCatalogueFrom(const QString &folder)
{
    languageFolder = folder;
    if (!languageFolder.endsWith(QDir::separator()) && !languageFolder.endsWith(u'/'))
        languageFolder += QDir::separator();

    CSimpleIniA ini(true, true, false);  // UTF-8, first of repeated keys wins, one line per value
    ini.SetQuotes(true);
    QByteArray data;
    if (readWholeFile(languageFolder + QStringLiteral("messages.ini"), data) && !data.isEmpty())
        ini.LoadData(data.constData(), size_t(data.size()));

    // The columns have room for kLanguageTableSize rows; a larger (or negative)
    // count would run past them.
    languageCount = qBound(0, profileInt(ini, "Main", "Total", 5), kLanguageTableSize);
    for (int i = 0; i < kLanguageTableSize; ++i) {
        if (i >= languageCount) {
            languageNames[i].clear();
            languageCharsets[i] = 0;
            languageFiles[i].clear();
            languageShorts[i].clear();
            continue;
        }
        const QByteArray key = QByteArray::number(i);
        languageNames[i] = profileText(ini, "Names", key.constData(), "---");
        languageCharsets[i] = profileInt(ini, "Charsets", key.constData(), 1);
        const QString file = profileText(ini, "Files", key.constData(), "messages_uk.txt");
        languageFiles[i] = isLanguageFileName(file) ? languageFolder + withNativeSeparators(file) : QString();
        languageShorts[i] = profileText(ini, "Shorts", key.constData(), "UK");
    }
}

unsigned char currentCharset()
{
    if (!currentLanguageInCatalogue())
        return kDefaultCharset;
    return static_cast<unsigned char>(languageCharsets[currentLanguage] & 0xFF);
}

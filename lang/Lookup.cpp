// The chosen language's message table, the lookups over it and the log of
// the texts it lacks.
#include "Lang.h"
#include "LangInternal.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cstdio>
#include <string>

using namespace lang_internal;

std::array<QString, kMessageTableSize> messageKeys;
std::array<QString, kMessageTableSize> messageTexts;
int messageCount = 0;

namespace {

QString lowerUnits(QString text)
{
    for (QChar &unit : text)
        unit = unit.toLower();
    return text;
}

// A message file without a single text is no translation: without a
// catalogue every language reads the master file, whose texts are all empty,
// and the window would go blank. One empty text among others is meant.
bool tableHasTexts()
{
    for (int i = 0; i < messageCount; ++i)
        if (!messageTexts[i].isEmpty())
            return true;
    return false;
}

QString logPath()
{
    return languageFiles[currentLanguage] + QStringLiteral(".todo");
}

void appendUnits(QByteArray &out, QStringView text)
{
    for (QChar unit : text) {
        out.append(char(unit.unicode() & 0xFF));
        out.append(char(unit.unicode() >> 8));
    }
}

void logMissingKey(const QString &key)
{
    if (languageFiles[currentLanguage].isEmpty())
        return;  // a language without a message file has no log either
    const QString path = logPath();
    const bool existed = QFileInfo::exists(path);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return;
    QByteArray line;
    if (!existed)
        appendUnits(line, QStringView(u"\uFEFF"));
    appendUnits(line, key);
    appendUnits(line, u";\t\n");
    file.write(line);
}

// ------------------------------------------------------------- formatting

bool isIntegerConversion(QChar c)
{
    return c == u'd' || c == u'i' || c == u'u' || c == u'x' || c == u'X' || c == u'o';
}

// Reads digits for a width or precision; at most two, so that a translated
// text cannot ask for a huge field.
bool readFieldDigits(const QString &format, qsizetype &pos, std::string &pattern)
{
    int digits = 0;
    while (pos < format.size() && format.at(pos).isDigit() && format.at(pos).unicode() < 0x80) {
        if (++digits > 2)
            return false;
        pattern += char(format.at(pos).unicode());
        ++pos;
    }
    return true;
}

// printf with one integer, without trusting the translated format: only an
// integer conversion takes the number, once.
QString formatWithNumber(const QString &format, int number)
{
    QString out;
    bool numberUsed = false;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format.at(i);
        if (c != u'%') {
            out += c;
            ++i;
            continue;
        }
        if (i + 1 < format.size() && format.at(i + 1) == u'%') {
            out += u'%';
            i += 2;
            continue;
        }
        std::string pattern = "%";
        qsizetype pos = i + 1;
        while (pos < format.size() && QStringView(u"-+ 0#").contains(format.at(pos)))
            pattern += char(format.at(pos++).unicode());
        bool valid = readFieldDigits(format, pos, pattern);
        if (valid && pos < format.size() && format.at(pos) == u'.') {
            pattern += '.';
            ++pos;
            valid = readFieldDigits(format, pos, pattern);
        }
        while (valid && pos < format.size() && (format.at(pos) == u'h' || format.at(pos) == u'l'))
            ++pos;  // the argument is an int whatever the text says
        if (valid && !numberUsed && pos < format.size() && isIntegerConversion(format.at(pos))) {
            const char conversion = char(format.at(pos).unicode());
            pattern += conversion;
            char buffer[256];
            if (conversion == 'd' || conversion == 'i')
                std::snprintf(buffer, sizeof buffer, pattern.c_str(), number);
            else
                std::snprintf(buffer, sizeof buffer, pattern.c_str(), static_cast<unsigned>(number));
            out += QString::fromLatin1(buffer);
            numberUsed = true;
            i = pos + 1;
            continue;
        }
        out += u'%';
        ++i;
    }
    return out;
}

} // namespace

QString translate(const QString &key)
{
    if (currentLanguage == 0 || !currentLanguageInCatalogue())
        return key;
    const QString lowered = lowerUnits(key);
    for (int i = 0; i < messageCount; ++i) {
        if (messageKeys[i] == lowered)
            return messageTexts[i].isEmpty() && !tableHasTexts() ? key : messageTexts[i];
    }
    logMissingKey(key);
    return key;
}

QString translateWithColon(const QString &key)
{
    return translate(key) + QStringLiteral(": ");
}

QString translateWithEllipsis(const QString &key)
{
    return translate(key) + QStringLiteral("...");
}

QString translateFormat(const QString &format, int number)
{
    return formatWithNumber(translate(format), number);
}

bool loadMessageTable()
{
    if (!currentLanguageInCatalogue())
        return false;

    QByteArray data;
    if (!readWholeFile(languageFiles[currentLanguage], data))
        return false;
    UnitReader reader(data);
    char16_t unit;
    reader.next(unit);  // byte-order mark
    int count = 0;
    QString key;
    while (count < kMessageTableSize && !reader.atEnd()) {
        if (!readKey(reader, key))
            break;
        messageKeys[count] = lowerUnits(key);
        messageTexts[count] = readText(reader);
        ++count;
    }
    messageCount = count;
    for (int i = count; i < kMessageTableSize; ++i) {
        messageKeys[i].clear();
        messageTexts[i].clear();
    }

    QFile::remove(logPath());

    QByteArray master;
    if (!readWholeFile(languageFolder + QStringLiteral("messages_uk.txt"), master))
        return false;
    UnitReader masterReader(master);
    masterReader.next(unit);  // byte-order mark
    while (!masterReader.atEnd()) {
        if (!readKey(masterReader, key))
            break;
        // Key, ";", tab, CR, LF: three units follow the ";".
        for (int skipped = 0; skipped < 3 && masterReader.next(unit) && unit != u'\n'; ++skipped) {
        }
        const QString trimmed = trimControlUnits(key);
        if (!trimmed.isEmpty())
            translate(trimmed);
    }
    return true;
}

// ------------------------------------------------------------- plurals

namespace {

// Index of the form for the number, by the chosen language's rule.
int pluralIndex(int number)
{
    const unsigned n = number < 0 ? 0u - unsigned(number) : unsigned(number);
    const QString language = currentLanguage > 0 && currentLanguageInCatalogue()
                                 ? languageShorts[currentLanguage].trimmed().toUpper()
                                 : QString();
    if (language == u"CZ" || language == u"CS" || language == u"SK")
        return n == 1 ? 0 : (n >= 2 && n <= 4 ? 1 : 2);
    if (language == u"PL")
        return n == 1 ? 0 : (n % 10 >= 2 && n % 10 <= 4 && (n % 100 < 12 || n % 100 > 14) ? 1 : 2);
    if (language == u"FR")
        return n <= 1 ? 0 : 1;
    return n == 1 ? 0 : 1;
}

} // namespace

QString pluralForm(const QString &translatedForms, int number)
{
    const QStringList forms = translatedForms.split(u'|');
    const int index = std::min(pluralIndex(number), int(forms.size()) - 1);
    return formatWithNumber(forms.at(index), number);
}

QString translatePlural(const QString &forms, int number)
{
    return pluralForm(translate(forms), number);
}

// Files for the localisation tests: language folders in temporary folders,
// UTF-16 little-endian message files and their logs.
#pragma once

#include "Lang.h"

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

namespace langtest {

inline QByteArray utf16le(const QString &text)
{
    QByteArray out;
    for (QChar unit : text) {
        out.append(char(unit.unicode() & 0xFF));
        out.append(char(unit.unicode() >> 8));
    }
    return out;
}

inline const QByteArray &bom()
{
    static const QByteArray mark("\xFF\xFE", 2);
    return mark;
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A message file as the tool ships it: byte-order mark, then the units.
inline bool writeMessageFile(const QString &path, const QString &body)
{
    return writeBytes(path, bom() + utf16le(body));
}

// Master file lines: key, ";", tab, CR, LF.
inline bool writeMasterFile(const QString &path, const QStringList &keys)
{
    QString body;
    for (const QString &key : keys)
        body += key + QStringLiteral(";\t\r\n");
    return writeMessageFile(path, body);
}

// The log as it should read: the mark once, then "key;\t\n" lines.
inline QByteArray expectedLog(const QStringList &keys)
{
    QString body;
    for (const QString &key : keys)
        body += key + QStringLiteral(";\t\n");
    return bom() + utf16le(body);
}

// A language folder with a catalogue "0 English (messages_uk.txt), 1 Test
// (messages_xx.txt)", loaded into the module state.
struct LanguageFolder
{
    QTemporaryDir dir;

    QString path() const { return dir.path() + u'/'; }
    QString file(const QString &name) const { return path() + name; }

    bool writeCatalogue(const QByteArray &ini) const { return writeBytes(file(QStringLiteral("messages.ini")), ini); }

    void loadTwoLanguages(const QStringList &masterKeys, const QString &testBody)
    {
        writeCatalogue("[Main]\nTotal=2\n[Names]\n0=English\n1=Test\n[Charsets]\n0=1\n1=238\n"
                       "[Files]\n0=messages_uk.txt\n1=messages_xx.txt\n[Shorts]\n0=UK\n1=XX\n");
        writeMasterFile(file(QStringLiteral("messages_uk.txt")), masterKeys);
        writeMessageFile(file(QStringLiteral("messages_xx.txt")), testBody);
        loadLanguageCatalogueFrom(path());
    }

    QString testLog() const { return file(QStringLiteral("messages_xx.txt.todo")); }
};

inline void resetLanguageState()
{
    currentLanguage = 0;
    messageCount = 0;
    languageCount = 0;
    languageFolder.clear();
    setLanguageDialogRunner({});
}

} // namespace langtest

// Shared by the files of lang/ only; the rest of the program uses Lang.h.
#pragma once

#include "Lang.h"

#include <QByteArray>
#include <QString>

namespace lang_internal {

// The chosen language is a row of the catalogue. Outside it nothing is
// loaded or logged and the English texts are shown.
inline bool currentLanguageInCatalogue()
{
    return currentLanguage >= 0 && currentLanguage < languageCount;
}

// A UTF-16 little-endian file read one code unit at a time; a lone last byte
// is not a unit.
class UnitReader
{
public:
    explicit UnitReader(const QByteArray &data) : data_(data) {}
    bool atEnd() const { return pos_ + 1 >= data_.size(); }
    bool next(char16_t &unit)
    {
        if (atEnd())
            return false;
        unit = char16_t(uchar(data_[pos_]) | (uchar(data_[pos_ + 1]) << 8));
        pos_ += 2;
        return true;
    }

private:
    const QByteArray &data_;
    qsizetype pos_ = 0;
};

bool readWholeFile(const QString &path, QByteArray &data);

// Reads up to the ";" that ends a key. A line without ";" (a blank line, say)
// is not an entry and is skipped, so that it cannot swallow the next key.
bool readKey(UnitReader &reader, QString &key);
QString readText(UnitReader &reader);
QString trimControlUnits(const QString &text);

} // namespace lang_internal

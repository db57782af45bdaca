// Numbers as the window shows them and reads them back. Every conversion of
// the tool goes through here, so the decimal separator has a single source.
#pragma once

#include <QChar>
#include <QString>

#include <optional>
#include <string>

// The decimal separator of the system's locale, unless a test has put its own in.
QChar systemDecimalSeparator();
// A null QChar goes back to the system's locale.
void setDecimalSeparatorForTesting(QChar separator);

// 1 to 4 decimals as asked, anything else none; always a point, whatever the locale.
QString formatNumber(float value, int decimals);
// Tolerant of either separator under any locale: the text as it stands, then
// with points made commas, then with commas made points (with the point as
// the separator too, for a locale whose own is neither); 0 when none reads.
float parseNumber(const QString &text);
// The same three readings; nothing when none of them reads, so a typed 0 and
// text that is no number can be told apart.
std::optional<float> readNumber(const QString &text);

// The system's own conversions: the system's decimal separator only, optional
// blanks around the number, an optional exponent; nothing when the text is not
// such a number or lies beyond the type's range.
std::optional<float> strictToFloat(const QString &text);
std::optional<double> strictToDouble(const QString &text);
// Optional leading blanks, an optional sign and decimal digits; 32-bit range.
std::optional<int> strictToInt(const QString &text);

// Shortest general form with at most 15 significant digits, the system's separator.
QString generalNumber(double value);

// The shortest text in the C locale that reads back as the same 32-bit float,
// in fixed notation where that stays short (20000, not 2e+04); "0" for either
// zero, "nan" for what is no number. For files, JSON and messages.
std::string shortestFloatText(float value);

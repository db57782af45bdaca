#include "NumberText.h"

#include <QLocale>

#include <charconv>
#include <algorithm>
#include <climits>
#include <cmath>
#include <string>
#include <system_error>

namespace {

QChar &separatorOverride()
{
    static QChar separator;
    return separator;
}

// The text broken into its parts by the strict grammar; false when it does not fit.
struct NumberParts {
    bool negative = false;
    std::string integerDigits;
    std::string fractionDigits;
    bool exponentNegative = false;
    std::string exponentDigits;
};

bool isDigit(QChar c) { return c >= u'0' && c <= u'9'; }

bool splitNumber(const QString &text, QChar separator, NumberParts &parts)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        parts.negative = text[i++] == u'-';
    while (i < n && isDigit(text[i]))
        parts.integerDigits += char(text[i++].unicode());
    if (i < n && text[i] == separator) {
        ++i;
        while (i < n && isDigit(text[i]))
            parts.fractionDigits += char(text[i++].unicode());
    }
    if (parts.integerDigits.empty() && parts.fractionDigits.empty())
        return false;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        ++i;
        if (i < n && (text[i] == u'+' || text[i] == u'-'))
            parts.exponentNegative = text[i++] == u'-';
        while (i < n && isDigit(text[i]))
            parts.exponentDigits += char(text[i++].unicode());
        if (parts.exponentDigits.empty())
            return false;
    }
    while (i < n && text[i] == u' ')
        ++i;
    return i == n;
}

// True when the value the parts name is below 1 in magnitude, which tells an
// underflow (read as zero) from an overflow (refused).
bool magnitudeBelowOne(const NumberParts &p)
{
    const auto firstNonZero = p.integerDigits.find_first_not_of('0');
    long long position; // decimal exponent of the leading digit, before the written exponent
    if (firstNonZero != std::string::npos) {
        position = static_cast<long long>(p.integerDigits.size() - firstNonZero) - 1;
    } else {
        const auto f = p.fractionDigits.find_first_not_of('0');
        if (f == std::string::npos)
            return true;
        position = -static_cast<long long>(f) - 1;
    }
    long long exponent = 0;
    for (char c : p.exponentDigits) {
        exponent = exponent * 10 + (c - '0');
        if (exponent > 1'000'000'000LL)
            break; // far beyond any float or double, its sign alone decides
    }
    if (p.exponentNegative)
        exponent = -exponent;
    return position + exponent < 0;
}

template <typename T> std::optional<T> strictTo(const QString &text, QChar separator)
{
    NumberParts parts;
    if (!splitNumber(text, separator, parts))
        return std::nullopt;
    std::string canonical;
    if (parts.negative)
        canonical += '-';
    canonical.append(parts.integerDigits.empty() ? std::string("0") : parts.integerDigits);
    canonical += '.';
    canonical.append(parts.fractionDigits.empty() ? std::string("0") : parts.fractionDigits);
    if (!parts.exponentDigits.empty()) {
        canonical += 'e';
        if (parts.exponentNegative)
            canonical += '-';
        canonical.append(parts.exponentDigits);
    }
    T value{};
    const char *first = canonical.data();
    const char *last = first + canonical.size();
    const auto [end, error] = std::from_chars(first, last, value, std::chars_format::general);
    if (error == std::errc::result_out_of_range) {
        if (!magnitudeBelowOne(parts))
            return std::nullopt;
        return parts.negative ? -T(0) : T(0); // too small to hold: zero, as the system reads it
    }
    if (error != std::errc() || end != last || !std::isfinite(value))
        return std::nullopt;
    return value;
}

} // namespace

QChar systemDecimalSeparator()
{
    if (!separatorOverride().isNull())
        return separatorOverride();
    const QString point = QLocale::system().decimalPoint();
    return point.isEmpty() ? QChar(u'.') : point.at(0);
}

void setDecimalSeparatorForTesting(QChar separator) { separatorOverride() = separator; }

QString formatNumber(float value, int decimals)
{
    const int precision = decimals >= 1 && decimals <= 4 ? decimals : 0;
    char buffer[400]; // the widest float with four decimals needs about 45
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, static_cast<double>(value),
                                      std::chars_format::fixed, precision);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

float parseNumber(const QString &text) { return readNumber(text).value_or(0.0f); }

std::optional<float> readNumber(const QString &text)
{
    if (auto v = strictToFloat(text))
        return v;
    QString changed = text;
    changed.replace(u'.', u',');
    if (auto v = strictToFloat(changed))
        return v;
    changed.replace(u',', u'.');
    if (auto v = strictToFloat(changed))
        return v;
    // A locale whose separator is neither (Arabic writes U+066B) would read
    // neither form; the point, and the comma made one, still read.
    return strictTo<float>(changed, u'.');
}

std::optional<float> strictToFloat(const QString &text) { return strictTo<float>(text, systemDecimalSeparator()); }

std::optional<double> strictToDouble(const QString &text)
{
    return strictTo<double>(text, systemDecimalSeparator());
}

std::optional<int> strictToInt(const QString &text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && text[i] == u' ')
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';
    if (i == n)
        return std::nullopt;
    long long value = 0;
    for (; i < n; ++i) {
        if (!isDigit(text[i]))
            return std::nullopt;
        value = value * 10 + (text[i].unicode() - u'0');
        if (value > static_cast<long long>(INT_MAX) + 1)
            return std::nullopt;
    }
    if (negative)
        value = -value;
    if (value < INT_MIN || value > INT_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

QString generalNumber(double value)
{
    char buffer[64];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::general, 15);
    QString text = QString::fromLatin1(buffer, result.ptr - buffer);
    text.replace(u'.', systemDecimalSeparator());
    return text;
}

// to_chars and from_chars rather than printf: the window runs in the user's
// locale, and a decimal comma would break the JSON and files this text goes into.
std::string shortestFloatText(float value)
{
    if (value == 0)
        return "0"; // -0 too: a message has no use for the sign of zero
    if (std::isnan(value))
        return "nan";
    char text[64];
    for (int digits = 1; digits <= 9; ++digits) {
        auto [end, error] = std::to_chars(text, text + sizeof text, value, std::chars_format::general, digits);
        float back = 0;
        if (error != std::errc() || std::from_chars(text, end, back).ec != std::errc() || back != value)
            continue;
        // fixed notation where it stays short: 20000 rather than 2e+04
        if (std::find(text, end, 'e') != end && std::fabs(value) < 1e12f) {
            const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(static_cast<double>(value)))));
            const int decimals = digits - 1 - exponent;
            end = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals > 0 ? decimals : 0)
                      .ptr;
        }
        return std::string(text, end);
    }
    const auto end = std::to_chars(text, text + sizeof text, value, std::chars_format::general, 9).ptr;
    return std::string(text, end);
}

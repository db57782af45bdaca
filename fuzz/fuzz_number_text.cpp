// Number text: the strict conversions, parseNumber's three attempts,
// formatNumber and generalNumber, each against a reading of the number rules
// written here on its own (grammar by hand, value by the C library).
//
// Input: the first byte picks the decimal separator and the decimals; the
// rest is the text, one character per byte.
#include "FuzzSupport.h"
#include "NumberText.h"

#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>

namespace {

bool sameBits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }
bool sameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

std::string show(const std::optional<double> &v)
{
    if (!v)
        return "nothing";
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.17g", *v);
    return buffer;
}

std::string showInt(const std::optional<int> &v) { return v ? std::to_string(*v) : std::string("nothing"); }

// Blanks, sign, digits, separator and digits (one digit at least), an
// exponent with at least one digit, blanks. The number with a point, or
// nothing when the text does not follow the rule.
std::optional<std::string> referenceGrammar(const std::string &text, char separator)
{
    std::size_t i = 0;
    const std::size_t n = text.size();
    auto digit = [&](std::size_t k) { return k < n && text[k] >= '0' && text[k] <= '9'; };
    while (i < n && text[i] == ' ')
        ++i;
    std::string number;
    if (i < n && (text[i] == '+' || text[i] == '-'))
        number += text[i++];
    std::size_t digits = 0;
    while (digit(i)) {
        number += text[i++];
        ++digits;
    }
    if (i < n && text[i] == separator) {
        number += '.';
        ++i;
        while (digit(i)) {
            number += text[i++];
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text[i] == 'e' || text[i] == 'E')) {
        number += 'e';
        ++i;
        if (i < n && (text[i] == '+' || text[i] == '-'))
            number += text[i++];
        if (!digit(i))
            return std::nullopt;
        while (digit(i))
            number += text[i++];
    }
    while (i < n && text[i] == ' ')
        ++i;
    if (i != n)
        return std::nullopt;
    return number;
}

// The C library rounds correctly; beyond the type's range is refused, below
// it reads as the nearest value (zero at the end).
std::optional<float> referenceFloat(const std::string &text, char separator)
{
    const auto number = referenceGrammar(text, separator);
    if (!number)
        return std::nullopt;
    errno = 0;
    const float v = std::strtof(number->c_str(), nullptr);
    if (std::isinf(v))
        return std::nullopt;
    return v;
}

std::optional<double> referenceDouble(const std::string &text, char separator)
{
    const auto number = referenceGrammar(text, separator);
    if (!number)
        return std::nullopt;
    const double v = std::strtod(number->c_str(), nullptr);
    if (std::isinf(v))
        return std::nullopt;
    return v;
}

std::optional<int> referenceInt(const std::string &text)
{
    std::size_t i = 0;
    while (i < text.size() && text[i] == ' ')
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    if (i == text.size())
        return std::nullopt;
    std::string digits;
    for (; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return std::nullopt;
        if (!(digits.empty() && text[i] == '0'))
            digits += text[i];
    }
    if (digits.size() > 10)
        return std::nullopt;
    const long long magnitude = digits.empty() ? 0 : std::stoll(digits);
    const long long value = negative ? -magnitude : magnitude;
    if (value < INT32_MIN || value > INT32_MAX)
        return std::nullopt;
    return static_cast<int>(value);
}

float referenceParse(std::string text, char separator)
{
    if (auto v = referenceFloat(text, separator))
        return *v;
    for (char &c : text)
        if (c == '.')
            c = ',';
    if (auto v = referenceFloat(text, separator))
        return *v;
    for (char &c : text)
        if (c == ',')
            c = '.';
    if (auto v = referenceFloat(text, separator))
        return *v;
    return 0;
}

std::string referenceFormat(float value, int decimals)
{
    const int precision = decimals >= 1 && decimals <= 4 ? decimals : 0;
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, "%1.*f", precision, static_cast<double>(value));
    return buffer;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const char separator = (data[0] & 1) ? ',' : '.';
    const int decimals = static_cast<int8_t>(data[0]) >> 1; // -64 to 63, mostly outside 1 to 4
    setDecimalSeparatorForTesting(QChar::fromLatin1(separator));
    const std::string text(reinterpret_cast<const char *>(data + 1), size - 1);
    const QString qtext = QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
    const std::string context = " for \"" + shown(QByteArray::fromStdString(text)) + "\" with '" + separator + "'";

    const std::optional<float> f = strictToFloat(qtext);
    const std::optional<float> rf = referenceFloat(text, separator);
    FUZZ_CHECK(f.has_value() == rf.has_value() && (!f || sameBits(*f, *rf)),
               "strictToFloat gives " + show(f ? std::optional<double>(*f) : std::nullopt) + ", the rule " + show(rf ? std::optional<double>(*rf) : std::nullopt) + context);

    const std::optional<double> d = strictToDouble(qtext);
    const std::optional<double> rd = referenceDouble(text, separator);
    FUZZ_CHECK(d.has_value() == rd.has_value() && (!d || sameBits(*d, *rd)),
               "strictToDouble gives " + show(d) + ", the rule " + show(rd) + context);

    const std::optional<int> k = strictToInt(qtext);
    const std::optional<int> rk = referenceInt(text);
    FUZZ_CHECK(k == rk, "strictToInt gives " + showInt(k) + ", the rule " + showInt(rk) + context);

    const float p = parseNumber(qtext);
    const float rp = referenceParse(text, separator);
    FUZZ_CHECK(sameBits(p, rp), "parseNumber gives " + show(std::optional<double>(p)) + ", the rule " + show(std::optional<double>(rp)) + context);
    FUZZ_CHECK(std::isfinite(p), "parseNumber gives a value that is not finite" + context);

    // What the window shows of that value, and what a configuration file
    // keeps of a gravity, must read back as the same float.
    const QString formatted = formatNumber(p, decimals);
    const std::string rformatted = referenceFormat(p, decimals);
    FUZZ_CHECK(formatted.toStdString() == rformatted,
               "formatNumber gives \"" + formatted.toStdString() + "\", printf \"" + rformatted + "\"" + context);
    const QString general = generalNumber(static_cast<double>(p));
    const std::optional<float> back = strictToFloat(general);
    FUZZ_CHECK(back && sameBits(*back, p),
               "generalNumber's \"" + general.toStdString() + "\" does not read back" + context);

    setDecimalSeparatorForTesting(QChar());
    return 0;
}

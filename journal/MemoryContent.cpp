#include "MemoryContent.h"

#include "MemoryMap.h"

#include <cmath>
#include <cstring>
#include <locale>
#include <sstream>

namespace journal {

namespace {

constexpr int kRegionLimit = 16;
constexpr int kRegionSizeLimit = 64;

struct Field {
    const char *name;
    uint32_t address;
    int size;
    bool isMode;
    const char *unit;
};

const Field kFields[] = {
    {"gravity", memmap::kSpecificGravity, 4, false, ""},
    {"output 1 lower", 67, 4, false, " Pa"},
    {"output 1 higher", 71, 4, false, " Pa"},
    {"output 1 mode", 75, 1, true, ""},
    {"output 2 lower", 76, 4, false, " Pa"},
    {"output 2 higher", 80, 4, false, " Pa"},
    {"output 2 mode", 84, 1, true, ""},
    {"output 3 lower", 85, 4, false, " Pa"},
    {"output 3 higher", 89, 4, false, " Pa"},
    {"output 3 mode", 93, 1, true, ""},
    {"zero offset", memmap::kZeroOffset, 4, false, " Pa"},
};

// The bytes of [address, address + size) when some region holds them all.
std::optional<QByteArray> bytesAt(const MemoryContent &c, uint32_t address, int size)
{
    for (const auto &[start, bytes] : c.regions)
        if (start <= address && address + uint32_t(size) <= start + uint32_t(bytes.size()))
            return bytes.mid(qsizetype(address - start), size);
    return std::nullopt;
}

QString floatText(const QByteArray &bytes)
{
    float v;
    std::memcpy(&v, bytes.constData(), 4);
    // named, with the bytes that make it, so two NaNs that differ read apart
    if (std::isnan(v))
        return QStringLiteral("NaN (bytes %1)").arg(QString::fromLatin1(bytes.toHex()));
    if (std::isinf(v))
        return QStringLiteral("%1 (bytes %2)")
            .arg(v > 0 ? QStringLiteral("Infinity") : QStringLiteral("-Infinity"), QString::fromLatin1(bytes.toHex()));
    std::ostringstream s;
    s.imbue(std::locale::classic());
    s.precision(9);
    s << v;
    return QString::fromStdString(s.str());
}

QString valueText(const Field &f, const QByteArray &bytes)
{
    if (!f.isMode) {
        float v;
        std::memcpy(&v, bytes.constData(), 4);
        // a unit after "NaN (bytes ...)" would read as a measured value
        return floatText(bytes) + (std::isfinite(v) ? QLatin1String(f.unit) : QLatin1String());
    }
    const auto mode = static_cast<uint8_t>(bytes.at(0));
    return mode == kNoModeByte ? QStringLiteral("none") : QString::number(mode);
}

} // namespace

bool MemoryContent::has(uint32_t address, int size) const { return bytesAt(*this, address, size).has_value(); }

void MemoryContent::take(const std::vector<uint8_t> &image, uint32_t address, uint32_t size)
{
    if (address + size <= image.size())
        put(address, image.data() + address, size);
}

void MemoryContent::put(uint32_t address, const void *bytes, uint32_t size)
{
    regions[address] = QByteArray(static_cast<const char *>(bytes), qsizetype(size));
}

QString MemoryContent::toText() const
{
    QStringList parts;
    for (const auto &[address, bytes] : regions)
        parts << QStringLiteral("%1:%2").arg(address).arg(QString::fromLatin1(bytes.toHex()));
    return parts.join(QLatin1Char(' '));
}

std::optional<MemoryContent> MemoryContent::fromText(const QString &text)
{
    MemoryContent c;
    const QStringList parts = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (parts.size() > kRegionLimit)
        return std::nullopt;
    for (const QString &part : parts) {
        const qsizetype colon = part.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            return std::nullopt;
        bool ok = false;
        const uint address = part.left(colon).toUInt(&ok, 10);
        const QString hex = part.mid(colon + 1);
        if (!ok || hex.isEmpty() || hex.size() % 2 || hex.size() / 2 > kRegionSizeLimit)
            return std::nullopt;
        for (QChar ch : hex)
            if (!((ch >= u'0' && ch <= u'9') || (ch >= u'a' && ch <= u'f')))
                return std::nullopt;
        const QByteArray bytes = QByteArray::fromHex(hex.toLatin1());
        if (address + uint(bytes.size()) > memmap::kMemoryImageSize || c.regions.count(address))
            return std::nullopt;
        c.regions[address] = bytes;
    }
    return c;
}


QStringList MemoryContent::describe() const
{
    QStringList out;
    for (const Field &f : kFields)
        if (const std::optional<QByteArray> bytes = bytesAt(*this, f.address, f.size))
            out << QStringLiteral("%1 %2").arg(QLatin1String(f.name), valueText(f, *bytes));
    return out;
}

QStringList MemoryContent::changesTo(const MemoryContent &other) const
{
    QStringList out;
    for (const Field &f : kFields) {
        const std::optional<QByteArray> mine = bytesAt(*this, f.address, f.size);
        const std::optional<QByteArray> theirs = bytesAt(other, f.address, f.size);
        if (mine && theirs && mine != theirs)
            out << QStringLiteral("%1 %2 -> %3").arg(QLatin1String(f.name), valueText(f, *mine), valueText(f, *theirs));
    }
    return out;
}

QStringList MemoryContent::differingFields(const MemoryContent &other) const
{
    QStringList out;
    for (const Field &f : kFields) {
        const std::optional<QByteArray> mine = bytesAt(*this, f.address, f.size);
        if (mine && mine != bytesAt(other, f.address, f.size))
            out << QLatin1String(f.name);
    }
    return out;
}

MemoryContent configurationContent(const std::vector<uint8_t> &image)
{
    MemoryContent c;
    c.take(image, memmap::kSpecificGravity, memmap::kFloatSize);
    c.take(image, memmap::kOutputBlock, memmap::kOutputBlockSize);
    return c;
}

} // namespace journal

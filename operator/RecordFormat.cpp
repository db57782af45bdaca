#include "RecordFormat.h"

#include <QStringList>

namespace record {
namespace {

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

int64_t floorDivide(int64_t a, int64_t b) { return a / b - ((a % b != 0) && ((a < 0) != (b < 0))); }

void appendDigits(QByteArray &out, int value, int digits)
{
    char text[3];
    for (int i = digits - 1; i >= 0; --i) {
        text[i] = char('0' + value % 10);
        value /= 10;
    }
    out.append(text, digits);
}

} // namespace

QString offsetText(int offsetSeconds)
{
    const int minutes = (offsetSeconds < 0 ? -offsetSeconds : offsetSeconds) / 60;
    return (offsetSeconds < 0 ? u'-' : u'+')
           + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}

QString isoTimeWithOffset(const QDateTime &time)
{
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) + offsetText(time.offsetFromUtc());
}

QString csvLine(const RecordedValue &value)
{
    QStringList fields{isoTimeWithOffset(value.time), QString::number(double(value.pascal), 'g', 9),
                       csvField(value.shownNumber), csvField(value.unit)};
    for (bool lamp : value.lamps)
        fields << (lamp ? QStringLiteral("1") : QStringLiteral("0"));
    return fields.join(u',');
}

void LineWriter::lookUpMinute(int64_t minute)
{
    cachedMinute = minute;
    const QDateTime start = QDateTime::fromMSecsSinceEpoch(minute * 60'000);
    const int offset = start.offsetFromUtc();
    // A minute in which the offset changes, or an offset with seconds, is
    // written the slow way, each time looked up on its own.
    minuteIsRegular = offset % 60 == 0
                      && QDateTime::fromMSecsSinceEpoch(minute * 60'000 + 59'999).offsetFromUtc() == offset;
    if (!minuteIsRegular)
        return;
    minutePrefix = start.toString(QStringLiteral("yyyy-MM-ddTHH:mm:")).toUtf8();
    offsetText = record::offsetText(offset).toUtf8();
}

void LineWriter::append(QByteArray &out, int64_t ms, float pascal, const QString &shownNumber, const QString &unit,
                        uint8_t lamps)
{
    const int64_t minute = floorDivide(ms, 60'000);
    if (minute != cachedMinute)
        lookUpMinute(minute);
    if (minuteIsRegular) {
        const int inMinute = int(ms - minute * 60'000);
        out += minutePrefix;
        appendDigits(out, inMinute / 1000, 2);
        out += '.';
        appendDigits(out, inMinute % 1000, 3);
        out += offsetText;
    } else {
        out += isoTimeWithOffset(QDateTime::fromMSecsSinceEpoch(ms)).toUtf8();
    }
    out += ',';
    out += QByteArray::number(double(pascal), 'g', 9);
    out += ',';
    out += csvField(shownNumber).toUtf8();
    out += ',';
    if (unit != lastUnit || lastUnitField.isEmpty()) {
        lastUnit = unit;
        lastUnitField = csvField(unit).toUtf8();
    }
    out += lastUnitField;
    for (int i = 0; i < 3; ++i) {
        out += ',';
        out += (lamps >> i & 1) ? '1' : '0';
    }
    out += kLineEnd;
}

} // namespace record

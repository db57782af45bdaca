#include "Recorder.h"

namespace {

QString csvField(const QString &text)
{
    if (!text.contains(u',') && !text.contains(u'"') && !text.contains(u'\n') && !text.contains(u'\r'))
        return text;
    QString quoted = text;
    quoted.replace(QStringLiteral("\""), QStringLiteral("\"\""));
    return u'"' + quoted + u'"';
}

} // namespace

QString TRecorder::isoTimeWithOffset(const QDateTime &time)
{
    const int offset = time.offsetFromUtc();
    const int minutes = (offset < 0 ? -offset : offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? u'-' : u'+')
           + QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QChar(u'0')).arg(minutes % 60, 2, 10, QChar(u'0'));
}

QString TRecorder::csvLine(const RecordedValue &value)
{
    QStringList fields{isoTimeWithOffset(value.time), QString::number(double(value.pascal), 'g', 9),
                       csvField(value.shownNumber), csvField(value.unit)};
    for (bool lamp : value.lamps)
        fields << (lamp ? QStringLiteral("1") : QStringLiteral("0"));
    return fields.join(u',');
}

bool TRecorder::start(const QString &path)
{
    stop();
    error.clear();
    lines = 0;
    file.setFileName(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        error = file.errorString();
        return false;
    }
    filePath = path;
    if (file.size() == 0 && !writeLine(QString::fromLatin1(kHeader)))
        return false;
    return true;
}

bool TRecorder::write(const RecordedValue &value)
{
    if (!file.isOpen())
        return false;
    if (!writeLine(csvLine(value)))
        return false;
    ++lines;
    return true;
}

bool TRecorder::writeLine(const QString &line)
{
    const QByteArray bytes = (line + QStringLiteral("\r\n")).toUtf8();
    // Flushed at once: a crash loses at most the line being written.
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        error = file.errorString();
        file.close();
        return false;
    }
    return true;
}

void TRecorder::stop()
{
    if (file.isOpen())
        file.close();
}

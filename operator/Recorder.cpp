#include "Recorder.h"

#include <algorithm>

namespace {

// Where the last whole line of the file ends: after its last line feed, or 0.
qint64 endOfLastLine(QFile &file)
{
    constexpr qint64 kBlock = 4096;
    qint64 end = file.size();
    while (end > 0) {
        const qint64 from = std::max<qint64>(0, end - kBlock);
        if (!file.seek(from))
            return -1;
        const QByteArray block = file.read(end - from);
        if (block.size() != end - from)
            return -1;
        const qsizetype feed = block.lastIndexOf('\n');
        if (feed >= 0)
            return from + feed + 1;
        end = from;
    }
    return 0;
}

} // namespace

bool TRecorder::start(const QString &path)
{
    stop();
    error.clear();
    writeFailed = false;
    lines = 0;
    lastTime = QDateTime();
    filePath = path;
    file.setFileName(path);
    // Unbuffered: what write() reports is what the file took, and nothing is
    // left in a buffer to land after the file was cut back.
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered)) {
        error = file.errorString();
        filePath.clear();
        emit changed();
        return false;
    }
    if (!cutToWholeLines() || (file.size() == 0 && !writeLine(QString::fromLatin1(kHeader)))) {
        if (file.isOpen()) {
            error = file.errorString();
            file.close();
        }
        filePath.clear();
        emit changed();
        return false;
    }
    emit changed();
    return true;
}

bool TRecorder::cutToWholeLines()
{
    wholeLinesEnd = 0;
    if (file.isSequential())
        return true; // a pipe or a device: nothing to cut
    const qint64 end = endOfLastLine(file);
    if (end < 0)
        return false;
    if (end != file.size() && !file.resize(end))
        return false;
    wholeLinesEnd = end;
    return true;
}

bool TRecorder::write(const RecordedValue &value)
{
    if (!file.isOpen())
        return false;
    // One distinct, later time per line, also when two polls fall into the
    // same millisecond or the clock is set back while recording.
    RecordedValue stamped = value;
    if (lastTime.isValid() && stamped.time <= lastTime)
        stamped.time = lastTime.addMSecs(1);
    if (!writeLine(csvLine(stamped))) {
        fail();
        return false;
    }
    lastTime = stamped.time;
    ++lines;
    emit changed();
    return true;
}

bool TRecorder::writeLine(const QString &line)
{
    const QByteArray bytes = (line + QLatin1String(record::kLineEnd)).toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        error = file.errorString();
        // Whatever part of the line got in goes again: readers see whole lines only.
        file.resize(wholeLinesEnd);
        file.close();
        return false;
    }
    wholeLinesEnd += bytes.size();
    return true;
}

void TRecorder::fail()
{
    writeFailed = true;
    emit changed();
}

void TRecorder::stop()
{
    if (!file.isOpen())
        return;
    file.close();
    emit changed();
}

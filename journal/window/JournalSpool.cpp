#include "JournalSpool.h"

#include "Settings.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSaveFile>

#include <algorithm>
#include <array>

namespace {

QMutex spoolLock;

constexpr std::array kResults{journal::Result::Begun,   journal::Result::Written,     journal::Result::VerifyFailed,
                              journal::Result::Failed,  journal::Result::Refused,     journal::Result::Interrupted,
                              journal::Result::Passed,  journal::Result::NotPassed};

QJsonValue timeValue(const QDateTime &t)
{
    return t.isValid() ? QJsonValue(double(t.toMSecsSinceEpoch())) : QJsonValue();
}

} // namespace

QString defaultSpoolPath()
{
    return settingsFilePath(QStringLiteral("qz5801-journal.spool"));
}

QByteArray spoolLine(const journal::Entry &e)
{
    QJsonObject o{{"begun", timeValue(e.begun)},
                  {"finished", timeValue(e.finished)},
                  {"station", e.station},
                  {"user", e.user},
                  {"program", e.program},
                  {"version", e.version},
                  {"processId", double(e.processId)},
                  {"operation", e.operation},
                  {"location", e.location},
                  {"fileName", e.fileName},
                  {"fileSha256", e.fileSha256},
                  {"before", e.before.toText()},
                  {"requested", e.requested.toText()},
                  {"after", e.after.toText()},
                  {"result", journal::resultName(e.result)},
                  {"detail", e.detail}};
    if (e.serial)
        o.insert(QStringLiteral("serial"), *e.serial);
    if (e.restoredFrom)
        o.insert(QStringLiteral("restoredFrom"), double(*e.restoredFrom));
    if (e.attachment)
        o.insert(QStringLiteral("attachment"),
                 QJsonObject{{"kind", e.attachment->kind},
                             {"certificate", e.attachment->certificate},
                             {"data", QString::fromUtf8(e.attachment->data)},
                             {"dataSha256", e.attachment->dataSha256}});
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

std::optional<journal::Entry> spoolEntry(const QByteArray &line)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return std::nullopt;
    const QJsonObject o = document.object();
    const auto text = [&o](const char *key, QString &into) {
        const QJsonValue v = o.value(QLatin1String(key));
        into = v.toString();
        return v.isString();
    };
    const auto time = [&o](const char *key, QDateTime &into) {
        const QJsonValue v = o.value(QLatin1String(key));
        if (v.isNull())
            return true;
        if (!v.isDouble())
            return false;
        into = QDateTime::fromMSecsSinceEpoch(qint64(v.toDouble()), Qt::UTC);
        return true;
    };
    const auto content = [&o](const char *key, journal::MemoryContent &into) {
        const std::optional<journal::MemoryContent> c = journal::MemoryContent::fromText(o.value(QLatin1String(key)).toString());
        if (c)
            into = *c;
        return c.has_value();
    };
    journal::Entry e;
    QString result;
    if (!time("begun", e.begun) || !e.begun.isValid() || !time("finished", e.finished) || !text("station", e.station)
        || !text("user", e.user) || !text("program", e.program) || !text("version", e.version)
        || !text("operation", e.operation) || !text("location", e.location) || !text("fileName", e.fileName)
        || !text("fileSha256", e.fileSha256) || !text("detail", e.detail) || !text("result", result)
        || !content("before", e.before) || !content("requested", e.requested) || !content("after", e.after)
        || !o.value(QLatin1String("processId")).isDouble())
        return std::nullopt;
    e.processId = qint64(o.value(QLatin1String("processId")).toDouble());
    bool known = false;
    for (const journal::Result r : kResults) {
        if (journal::resultName(r) == result) {
            e.result = r;
            known = true;
        }
    }
    if (!known)
        return std::nullopt;
    if (o.contains(QLatin1String("serial"))) {
        const QJsonValue s = o.value(QLatin1String("serial"));
        if (!s.isDouble() || s.toDouble() < 0 || s.toDouble() > 65535 || s.toDouble() != double(s.toInt()))
            return std::nullopt;
        e.serial = s.toInt();
    }
    if (o.contains(QLatin1String("restoredFrom"))) {
        if (!o.value(QLatin1String("restoredFrom")).isDouble())
            return std::nullopt;
        e.restoredFrom = qint64(o.value(QLatin1String("restoredFrom")).toDouble());
    }
    if (o.contains(QLatin1String("attachment"))) {
        const QJsonObject a = o.value(QLatin1String("attachment")).toObject();
        const QJsonValue kind = a.value(QLatin1String("kind")), certificate = a.value(QLatin1String("certificate")),
                         data = a.value(QLatin1String("data")), sha = a.value(QLatin1String("dataSha256"));
        if (!kind.isString() || !certificate.isString() || !data.isString() || !sha.isString())
            return std::nullopt;
        e.attachment = journal::Attachment{kind.toString(), certificate.toString(), data.toString().toUtf8(),
                                           sha.toString()};
    }
    return e;
}

bool JournalSpool::exists() const
{
    return !file.isEmpty() && QFileInfo::exists(file);
}

std::vector<QByteArray> JournalSpool::readLocked(QString &problem)
{
    QFile in(file);
    if (!in.exists())
        return {};
    QString why;
    std::vector<QByteArray> lines;
    if (in.size() > kMaxSpoolBytes) {
        why = QStringLiteral("larger than %1 bytes").arg(kMaxSpoolBytes);
    } else if (!in.open(QIODevice::ReadOnly)) {
        problem = QStringLiteral("Cannot read the journal spool %1: %2").arg(file, in.errorString());
        return {};
    } else {
        const QByteArray all = in.readAll();
        in.close();
        int number = 0;
        for (const QByteArray &line : all.split('\n')) {
            ++number;
            if (line.isEmpty())
                continue;
            if (!spoolEntry(line)) {
                why = QStringLiteral("line %1 is not a record").arg(number);
                break;
            }
            lines.push_back(line);
        }
        if (why.isEmpty() && !all.isEmpty() && !all.endsWith('\n'))
            why = QStringLiteral("its last line is incomplete");
        if (why.isEmpty() && lines.size() > std::size_t(kMaxSpoolRecords))
            why = QStringLiteral("more than %1 records").arg(kMaxSpoolRecords);
    }
    if (why.isEmpty())
        return lines;
    // Kept for a person to look at; a new spool starts beside it.
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd'T'HHmmss"));
    QString aside = QStringLiteral("%1.corrupt-%2").arg(file, stamp);
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = QStringLiteral("%1.corrupt-%2-%3").arg(file, stamp).arg(n);
    if (QFile::rename(file, aside))
        problem = QStringLiteral("The journal spool %1 could not be read (%2); it was kept as %3").arg(file, why, aside);
    else
        problem = QStringLiteral("The journal spool %1 could not be read (%2) nor set aside").arg(file, why);
    return {};
}

bool JournalSpool::writeLocked(const std::vector<QByteArray> &lines, QString &problem)
{
    if (lines.empty()) {
        if (!QFile::exists(file) || QFile::remove(file))
            return true;
        problem = QStringLiteral("Cannot remove the journal spool %1").arg(file);
        return false;
    }
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        for (const QByteArray &line : lines)
            out.write(line + '\n');
        if (out.commit())
            return true;
    }
    problem = QStringLiteral("Cannot write the journal spool %1: %2").arg(file, out.errorString());
    return false;
}

bool JournalSpool::add(const std::vector<journal::Entry> &entries, QString &problem)
{
    if (entries.empty())
        return true;
    if (file.isEmpty()) {
        problem = QStringLiteral("No settings folder for the journal spool");
        return false;
    }
    QMutexLocker lock(&spoolLock);
    QString readProblem;
    std::vector<QByteArray> lines = readLocked(readProblem);
    if (!readProblem.isEmpty() && QFile::exists(file)) {
        // Neither read nor set aside: writing over it would lose what it holds.
        problem = readProblem;
        return false;
    }
    qint64 bytes = 0;
    for (const QByteArray &line : lines)
        bytes += line.size() + 1;
    std::size_t kept = 0;
    for (const journal::Entry &e : entries) {
        const QByteArray line = spoolLine(e);
        if (lines.size() >= std::size_t(kMaxSpoolRecords) || bytes + line.size() + 1 > kMaxSpoolBytes)
            break;
        lines.push_back(line);
        bytes += line.size() + 1;
        ++kept;
    }
    if (!writeLocked(lines, problem))
        return false;
    if (kept < entries.size()) {
        problem = QStringLiteral("The journal spool %1 is full; %2 record(s) not kept").arg(file).arg(entries.size() - kept);
        return false;
    }
    // Kept; a spool set aside on the way is still worth telling.
    problem = readProblem;
    return true;
}

std::vector<QByteArray> JournalSpool::read(QString &problem)
{
    QMutexLocker lock(&spoolLock);
    return readLocked(problem);
}

bool JournalSpool::remove(const std::vector<QByteArray> &written, QString &problem)
{
    QMutexLocker lock(&spoolLock);
    std::vector<QByteArray> lines = readLocked(problem);
    if (!problem.isEmpty())
        return false;
    for (const QByteArray &line : written) {
        const auto found = std::find(lines.begin(), lines.end(), line);
        if (found != lines.end())
            lines.erase(found);
    }
    return writeLocked(lines, problem);
}

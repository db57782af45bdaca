// Reading the journal: newest first by its own sequence (the id), so a
// station whose clock is off cannot make an older write look newer.
#include "Journal.h"
#include "JournalSql.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QStringList>

#include <iterator>

namespace journal {

namespace sql {

namespace {

const char *const kResultCodes[] = {"begun",   "written",     "verify-failed", "failed",
                                    "refused", "interrupted", "passed",        "not-passed"};

std::optional<Result> resultFromCode(const QString &code)
{
    for (int i = 0; i < int(std::size(kResultCodes)); ++i)
        if (code == QLatin1String(kResultCodes[i]))
            return Result(i);
    return std::nullopt;
}

QDateTime timeFromText(const QString &text)
{
    QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : QDateTime();
}

} // namespace

QString resultCode(Result r) { return QLatin1String(kResultCodes[int(r)]); }

QString timeText(const QDateTime &t) { return t.toUTC().toString(Qt::ISODateWithMs); }

Entry entryFromRow(const QSqlQuery &q)
{
    Entry e;
    e.id = q.value(0).toLongLong();
    e.begun = timeFromText(q.value(1).toString());
    e.finished = q.value(2).isNull() ? QDateTime() : timeFromText(q.value(2).toString());
    e.station = q.value(3).toString();
    e.user = q.value(4).toString();
    e.program = q.value(5).toString();
    e.version = q.value(6).toString();
    e.processId = q.value(7).toLongLong();
    e.operation = q.value(8).toString();
    if (!q.value(9).isNull())
        e.serial = q.value(9).toInt();
    e.location = q.value(10).toString();
    e.fileName = q.value(11).toString();
    e.fileSha256 = q.value(12).toString();
    // A field another program spoiled reads as empty rather than as bytes nobody wrote.
    e.before = MemoryContent::fromText(q.value(13).toString()).value_or(MemoryContent{});
    e.requested = MemoryContent::fromText(q.value(14).toString()).value_or(MemoryContent{});
    e.after = MemoryContent::fromText(q.value(15).toString()).value_or(MemoryContent{});
    e.result = resultFromCode(q.value(16).toString()).value_or(Result::Begun);
    e.detail = q.value(17).toString();
    if (!q.value(18).isNull())
        e.restoredFrom = q.value(18).toLongLong();
    return e;
}

} // namespace sql

std::vector<Entry> Journal::select(const QString &condition, const QVariantList &values, int limit)
{
    QString text = QStringLiteral("SELECT %1 FROM qz5801_journal").arg(QLatin1String(sql::kColumns));
    if (!condition.isEmpty())
        text += QStringLiteral(" WHERE ") + condition;
    text += QStringLiteral(" ORDER BY id DESC");
    if (limit > 0)
        text += QStringLiteral(" LIMIT ?");
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(text);
    for (const QVariant &v : values)
        q.addBindValue(v);
    if (limit > 0)
        q.addBindValue(limit);
    if (!q.exec())
        failWith("read", q.lastError().text());
    std::vector<Entry> out;
    while (q.next())
        out.push_back(sql::entryFromRow(q));
    if (q.lastError().isValid())
        failWith("read", q.lastError().text());
    return out;
}

std::vector<Entry> Journal::history(const Filter &filter)
{
    QStringList conditions;
    QVariantList values;
    if (filter.serial) {
        conditions << QStringLiteral("serial = ?");
        values << *filter.serial;
    }
    if (filter.since.isValid()) {
        conditions << QStringLiteral("begun_utc >= ?");
        values << sql::timeText(filter.since);
    }
    return select(conditions.join(QStringLiteral(" AND ")), values, filter.limit);
}

std::optional<Entry> Journal::record(qint64 id)
{
    std::vector<Entry> found = select(QStringLiteral("id = ?"), {id}, 0);
    if (found.empty())
        return std::nullopt;
    found.front().attachment = attachment(id);
    return found.front();
}

std::optional<Attachment> Journal::attachment(qint64 id)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.prepare(QStringLiteral("SELECT kind, certificate, data, data_sha256 FROM qz5801_journal_attachment "
                             "WHERE record_id = ?"));
    q.addBindValue(id);
    if (!q.exec()) {
        // a journal of version 1, read as it is, has no such table
        if (options.readOnly)
            return std::nullopt;
        failWith("read", q.lastError().text());
    }
    if (!q.next())
        return std::nullopt;
    return Attachment{q.value(0).toString(), q.value(1).toString(), q.value(2).toString().toUtf8(),
                      q.value(3).toString()};
}

std::vector<Entry> Journal::writesOf(int serial, int limit)
{
    return select(QStringLiteral("serial = ? AND operation IN ('write-config', 'restore') AND "
                                 "before_memory IS NOT NULL"),
                  {serial}, limit);
}

std::optional<Entry> Journal::latestWritten(int serial)
{
    std::vector<Entry> found = select(QStringLiteral("serial = ? AND result = ? AND operation IN "
                                                     "('write-config', 'restore') AND before_memory IS NOT NULL"),
                                      {serial, sql::resultCode(Result::Written)}, 1);
    if (found.empty())
        return std::nullopt;
    return found.front();
}

} // namespace journal

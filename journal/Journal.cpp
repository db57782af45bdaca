#include "Journal.h"
#include "JournalPlaces.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <iterator>

namespace journal {

namespace {

// Several processes share one file or server: a writer waits this long for another's transaction.
constexpr int kSqliteBusyMs = 20000;
constexpr int kPostgresConnectSeconds = 10;
// Serialises the first-use creation of the tables among PostgreSQL clients.
constexpr qint64 kSchemaLockKey = 5801005801;

constexpr qsizetype kTextLimit = 4096;

const char *const kResultCodes[] = {"begun", "written", "verify-failed", "failed", "refused", "interrupted"};

QString resultCode(Result r) { return QLatin1String(kResultCodes[int(r)]); }

std::optional<Result> resultFromCode(const QString &code)
{
    for (int i = 0; i < int(std::size(kResultCodes)); ++i)
        if (code == QLatin1String(kResultCodes[i]))
            return Result(i);
    return std::nullopt;
}

QString timeText(const QDateTime &t) { return t.toUTC().toString(Qt::ISODateWithMs); }

QDateTime timeFromText(const QString &text)
{
    QDateTime t = QDateTime::fromString(text, Qt::ISODateWithMs);
    return t.isValid() ? t.toUTC() : QDateTime();
}

// Outside text goes in as data, bounded; PostgreSQL's text holds no NUL.
QString clean(const QString &text)
{
    QString t = text.left(kTextLimit);
    t.replace(QChar(0), QChar(0xFFFD));
    return t;
}

QVariant textOrNull(const QString &text)
{
    return text.isEmpty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(clean(text));
}

QVariant memoryOrNull(const MemoryContent &c)
{
    return c.empty() ? QVariant(QMetaType::fromType<QString>()) : QVariant(c.toText());
}

QString connectionName()
{
    // The counter's address too: a program may hold two copies of this code
    // (its own and the window's loaded journal library), each counting from 0.
    static std::atomic<unsigned> counter{0};
    return QStringLiteral("qz5801-journal-%1-%2").arg(quintptr(&counter), 0, 16).arg(counter++);
}

const char *const kColumns = "id, begun_utc, finished_utc, station, os_user, program, version, process_id, "
                             "operation, serial, usb_location, file_name, file_sha256, before_memory, "
                             "requested_memory, after_memory, result, detail, restored_from";

} // namespace

Journal::Journal(const Address &address) : where(address), connection(connectionName())
{
    const bool sqlite = where.kind == Address::Sqlite;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"),
                                                    connection);
        if (!db.isValid() || !db.driver() || db.driver()->lastError().type() != QSqlError::NoError ||
            db.driverName().isEmpty()) {
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection);
            failWith("open",
                     sqlite ? QStringLiteral("the Qt SQL driver for SQLite is not installed (" QZ_JOURNAL_SQLITE_DRIVER_HINT ")")
                            : QStringLiteral("the Qt SQL driver for PostgreSQL is not installed (" QZ_JOURNAL_PSQL_DRIVER_HINT
                                             ")"));
        }
        if (sqlite) {
            const QFileInfo file(where.path);
            if (file.exists() && !file.isFile()) {
                db = QSqlDatabase();
                QSqlDatabase::removeDatabase(connection);
                failWith("open", QStringLiteral("it is not a regular file"));
            }
            if (where.path == defaultJournalPath())
                QDir().mkpath(file.absolutePath());
            db.setDatabaseName(where.path);
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kSqliteBusyMs));
        } else {
            db.setHostName(where.host);
            db.setPort(where.port);
            db.setDatabaseName(where.database);
            db.setUserName(where.user);
            db.setPassword(where.password);
            // The server's notices ("already exists, skipping") would land on our stderr.
            QString options = QStringLiteral("connect_timeout=%1;application_name=qz5801;"
                                             "options='-c client_min_messages=warning'")
                                  .arg(kPostgresConnectSeconds);
            if (!where.sslMode.isEmpty())
                options += QStringLiteral(";sslmode=") + where.sslMode;
            db.setConnectOptions(options);
        }
        if (!db.open()) {
            const QString reason = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(connection);
            failWith("open", reason);
        }
    }
    try {
        if (sqlite) {
            // While the last connection of another process checkpoints and
            // removes the log on closing, SQLite answers "locked" at once
            // instead of waiting: try again, as long as a writer would wait.
            QElapsedTimer waited;
            waited.start();
            for (;;) {
                QSqlQuery mode(QSqlDatabase::database(connection, false));
                if (mode.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && mode.next()) {
                    if (mode.value(0).toString().compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0)
                        failWith("open", QStringLiteral("it cannot use write-ahead logging"));
                    break;
                }
                const QSqlError error = mode.lastError();
                const bool busy = error.nativeErrorCode() == QLatin1String("5") ||
                                  error.nativeErrorCode() == QLatin1String("6");
                if (!busy || waited.elapsed() > kSqliteBusyMs)
                    failWith("open", error.text());
                QThread::msleep(10);
            }
            execute(QStringLiteral("PRAGMA synchronous=FULL"), "open");
        }
        // Made already (the usual case): no write lock, no transaction.
        QSqlQuery known(QSqlDatabase::database(connection, false));
        if (known.exec(QStringLiteral("SELECT MAX(version) FROM qz5801_journal_schema")) && known.next() &&
            known.value(0).toInt() == kSchemaVersion) {
            known.finish();
            return;
        }
        known.finish();
        inTransaction("create its tables", [&] {
            if (!sqlite)
                execute(QStringLiteral("SELECT pg_advisory_xact_lock(%1)").arg(kSchemaLockKey), "create its tables");
            const QString id = sqlite ? QStringLiteral("INTEGER PRIMARY KEY AUTOINCREMENT")
                                      : QStringLiteral("BIGINT GENERATED ALWAYS AS IDENTITY PRIMARY KEY");
            execute(QStringLiteral("CREATE TABLE IF NOT EXISTS qz5801_journal_schema (version INTEGER NOT NULL)"),
                    "create its tables");
            execute(QStringLiteral("CREATE TABLE IF NOT EXISTS qz5801_journal ("
                                   "id %1, begun_utc TEXT NOT NULL, finished_utc TEXT, station TEXT NOT NULL, "
                                   "os_user TEXT NOT NULL, program TEXT NOT NULL, version TEXT NOT NULL, "
                                   "process_id BIGINT NOT NULL, operation TEXT NOT NULL, serial INTEGER, "
                                   "usb_location TEXT, file_name TEXT, file_sha256 TEXT, before_memory TEXT, "
                                   "requested_memory TEXT, after_memory TEXT, result TEXT NOT NULL, detail TEXT, "
                                   "restored_from BIGINT)")
                        .arg(id),
                    "create its tables");
            execute(QStringLiteral("CREATE INDEX IF NOT EXISTS qz5801_journal_by_serial "
                                   "ON qz5801_journal (serial, begun_utc)"),
                    "create its tables");
            QSqlQuery version(QSqlDatabase::database(connection, false));
            if (!version.exec(QStringLiteral("SELECT MAX(version) FROM qz5801_journal_schema")) || !version.next())
                failWith("read its schema version", version.lastError().text());
            if (version.value(0).isNull()) {
                QSqlQuery put(QSqlDatabase::database(connection, false));
                put.prepare(QStringLiteral("INSERT INTO qz5801_journal_schema (version) VALUES (?)"));
                put.addBindValue(kSchemaVersion);
                if (!put.exec())
                    failWith("create its tables", put.lastError().text());
            } else if (version.value(0).toInt() > kSchemaVersion) {
                failWith("use it", QStringLiteral("its tables are of version %1, newer than this program's %2")
                                       .arg(version.value(0).toInt())
                                       .arg(kSchemaVersion));
            }
        });
    } catch (...) {
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
        throw;
    }
}

Journal::~Journal()
{
    QSqlDatabase::database(connection, false).close();
    QSqlDatabase::removeDatabase(connection);
}

void Journal::failWith(const char *what, const QString &reason) const
{
    QString text = QStringLiteral("Cannot %1 the journal %2").arg(QLatin1String(what), where.shown());
    // The drivers' texts come in several lines; a failure is one line here.
    if (const QString why = reason.simplified(); !why.isEmpty())
        text += QStringLiteral(": ") + why;
    throw JournalError(text.toStdString());
}

void Journal::execute(const QString &sql, const char *what)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    if (!q.exec(sql))
        failWith(what, q.lastError().text());
}

void Journal::inTransaction(const char *what, const std::function<void()> &work)
{
    // SQLite: take the write lock at once, so a reader never has to upgrade
    // (and fail) while another process writes.
    execute(where.kind == Address::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), what);
    try {
        work();
        execute(QStringLiteral("COMMIT"), what);
    } catch (...) {
        QSqlQuery(QSqlDatabase::database(connection, false)).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

qint64 Journal::insert(const Entry &e)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.prepare(QStringLiteral("INSERT INTO qz5801_journal (begun_utc, finished_utc, station, os_user, program, "
                             "version, process_id, operation, serial, usb_location, file_name, file_sha256, "
                             "before_memory, requested_memory, after_memory, result, detail, restored_from) "
                             "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    q.addBindValue(timeText(e.begun));
    q.addBindValue(e.finished.isValid() ? QVariant(timeText(e.finished)) : QVariant(QMetaType::fromType<QString>()));
    q.addBindValue(clean(e.station));
    q.addBindValue(clean(e.user));
    q.addBindValue(clean(e.program));
    q.addBindValue(clean(e.version));
    q.addBindValue(e.processId);
    q.addBindValue(clean(e.operation));
    q.addBindValue(e.serial ? QVariant(*e.serial) : QVariant(QMetaType::fromType<int>()));
    q.addBindValue(textOrNull(e.location));
    q.addBindValue(textOrNull(e.fileName));
    q.addBindValue(textOrNull(e.fileSha256));
    q.addBindValue(memoryOrNull(e.before));
    q.addBindValue(memoryOrNull(e.requested));
    q.addBindValue(memoryOrNull(e.after));
    q.addBindValue(resultCode(e.result));
    q.addBindValue(textOrNull(e.detail));
    q.addBindValue(e.restoredFrom ? QVariant(*e.restoredFrom) : QVariant(QMetaType::fromType<qint64>()));
    if (!q.exec() || !q.next())
        failWith("write", q.lastError().text());
    const qint64 id = q.value(0).toLongLong();
    q.finish();
    return id;
}

qint64 Journal::begin(Entry &entry)
{
    entry.begun = QDateTime::currentDateTimeUtc();
    entry.finished = QDateTime();
    entry.result = Result::Begun;
    qint64 id = 0;
    inTransaction("write", [&] { id = insert(entry); });
    entry.id = id;
    return id;
}

qint64 Journal::add(Entry &entry)
{
    if (!entry.begun.isValid())
        entry.begun = QDateTime::currentDateTimeUtc();
    if (!entry.finished.isValid())
        entry.finished = QDateTime::currentDateTimeUtc();
    qint64 id = 0;
    inTransaction("write", [&] { id = insert(entry); });
    entry.id = id;
    return id;
}

void Journal::complete(qint64 id, Result result, const MemoryContent &after, const QString &detail)
{
    inTransaction("write", [&] {
        QSqlQuery q(QSqlDatabase::database(connection, false));
        q.prepare(QStringLiteral("UPDATE qz5801_journal SET finished_utc = ?, result = ?, after_memory = ?, "
                                 "detail = ? WHERE id = ? AND result = ?"));
        q.addBindValue(timeText(QDateTime::currentDateTimeUtc()));
        q.addBindValue(resultCode(result));
        q.addBindValue(memoryOrNull(after));
        q.addBindValue(textOrNull(detail));
        q.addBindValue(id);
        q.addBindValue(resultCode(Result::Begun));
        if (!q.exec())
            failWith("write", q.lastError().text());
        if (q.numRowsAffected() != 1)
            failWith("write", QStringLiteral("record %1 is not an unfinished record").arg(id));
    });
}

namespace {

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

} // namespace

std::vector<Entry> Journal::history(const Filter &filter)
{
    QString sql = QStringLiteral("SELECT %1 FROM qz5801_journal").arg(QLatin1String(kColumns));
    QStringList conditions;
    if (filter.serial)
        conditions << QStringLiteral("serial = ?");
    if (filter.since.isValid())
        conditions << QStringLiteral("begun_utc >= ?");
    if (!conditions.isEmpty())
        sql += QStringLiteral(" WHERE ") + conditions.join(QStringLiteral(" AND "));
    sql += QStringLiteral(" ORDER BY begun_utc DESC, id DESC");
    if (filter.limit > 0)
        sql += QStringLiteral(" LIMIT ?");
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.setForwardOnly(true);
    q.prepare(sql);
    if (filter.serial)
        q.addBindValue(*filter.serial);
    if (filter.since.isValid())
        q.addBindValue(timeText(filter.since));
    if (filter.limit > 0)
        q.addBindValue(filter.limit);
    if (!q.exec())
        failWith("read", q.lastError().text());
    std::vector<Entry> out;
    while (q.next())
        out.push_back(entryFromRow(q));
    if (q.lastError().isValid())
        failWith("read", q.lastError().text());
    return out;
}

std::optional<Entry> Journal::record(qint64 id)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.prepare(QStringLiteral("SELECT %1 FROM qz5801_journal WHERE id = ?").arg(QLatin1String(kColumns)));
    q.addBindValue(id);
    if (!q.exec())
        failWith("read", q.lastError().text());
    if (!q.next())
        return std::nullopt;
    return entryFromRow(q);
}

std::optional<Entry> Journal::latestWritten(int serial)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    q.prepare(QStringLiteral("SELECT %1 FROM qz5801_journal WHERE serial = ? AND result = ? AND operation IN "
                             "('write-config', 'restore') AND before_memory IS NOT NULL "
                             "ORDER BY begun_utc DESC, id DESC LIMIT 1")
                  .arg(QLatin1String(kColumns)));
    q.addBindValue(serial);
    q.addBindValue(resultCode(Result::Written));
    if (!q.exec())
        failWith("read", q.lastError().text());
    if (!q.next())
        return std::nullopt;
    return entryFromRow(q);
}

} // namespace journal

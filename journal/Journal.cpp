#include "Journal.h"
#include "JournalSql.h"
#include "JournalPlaces.h"
#include "SqliteLog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QThread>

#include <atomic>

namespace journal {

namespace {

constexpr int kPostgresConnectSeconds = 10;
// Serialises the first-use creation of the tables among PostgreSQL clients.
constexpr qint64 kSchemaLockKey = 5801005801;

constexpr qsizetype kTextLimit = 4096;

const QString kInsertRecord = QStringLiteral(
    "INSERT INTO qz5801_journal (begun_utc, finished_utc, station, os_user, program, "
    "version, process_id, operation, serial, usb_location, file_name, file_sha256, "
    "before_memory, requested_memory, after_memory, result, detail, restored_from) "
    "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) RETURNING id");
const QString kUpdateResult = QStringLiteral("UPDATE qz5801_journal SET finished_utc = ?, result = ?, after_memory = ?, "
                                             "detail = ? WHERE id = ? AND result = ?");

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

// SQLite's "busy" and "locked".
bool sqliteBusy(const QSqlError &error)
{
    return error.nativeErrorCode() == QLatin1String("5") || error.nativeErrorCode() == QLatin1String("6");
}

} // namespace

int waitMsFromEnvironment()
{
    bool ok = false;
    const int seconds = qEnvironmentVariableIntValue("QZ5801_JOURNAL_TIMEOUT", &ok);
    return ok && seconds >= 1 && seconds <= 600 ? seconds * 1000 : OpenOptions{}.waitMs;
}

Journal::Journal(const Address &address, const OpenOptions &openOptions)
    : where(address), options(openOptions), connection(connectionName())
{
    connect();
    try {
        prepareSchema();
        // What earlier processes left in the log goes into the file now,
        // while the caller still reads its transmitter, not at anyone's exit.
        // A busy file does not wait: the log keeps it, and the next opening
        // checkpoints it.
        if (where.kind == Address::Sqlite && !options.readOnly)
            QSqlQuery(QSqlDatabase::database(connection, false)).exec(QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
        // Prepared now, while the caller still reads its transmitter: on
        // PostgreSQL a record then costs one round trip, not three. A failure
        // shows where the statement is used.
        if (!options.readOnly) {
            try {
                statement(insertRecord, kInsertRecord);
                statement(updateRecord, kUpdateResult);
            } catch (const JournalError &) {
            }
        }
    } catch (...) {
        dropStatements();
        QSqlDatabase::database(connection, false).close();
        QSqlDatabase::removeDatabase(connection);
        throw;
    }
}

Journal::~Journal()
{
    dropStatements();
    QSqlDatabase::database(connection, false).close();
    QSqlDatabase::removeDatabase(connection);
}

void Journal::connect()
{
    const bool sqlite = where.kind == Address::Sqlite;
    QSqlDatabase db =
        QSqlDatabase::addDatabase(sqlite ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), connection);
    const auto fail = [&](const QString &reason) {
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(connection);
        failWith(options.readOnly ? "read" : "open", reason);
    };
    if (!db.isValid() || !db.driver() || db.driver()->lastError().type() != QSqlError::NoError ||
        db.driverName().isEmpty())
        fail(sqlite ? QStringLiteral("the Qt SQL driver for SQLite is not installed (" QZ_JOURNAL_SQLITE_DRIVER_HINT ")")
                    : QStringLiteral("the Qt SQL driver for PostgreSQL is not installed (" QZ_JOURNAL_PSQL_DRIVER_HINT ")"));
    if (sqlite) {
        const QFileInfo file(where.path);
        if (file.exists() && !file.isFile())
            fail(QStringLiteral("it is not a regular file"));
        // reading never makes a file, not even a mistyped one
        if (options.readOnly && !file.exists())
            fail(QStringLiteral("there is no such file"));
        if (!options.readOnly && where.path == defaultJournalPath())
            QDir().mkpath(file.absolutePath());
        db.setDatabaseName(where.path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1%2")
                                 .arg(options.waitMs)
                                 .arg(options.readOnly ? QStringLiteral(";QSQLITE_OPEN_READONLY") : QString()));
    } else {
        db.setHostName(where.host);
        db.setPort(where.port);
        db.setDatabaseName(where.database);
        db.setUserName(where.user);
        db.setPassword(where.password);
        // The server's notices ("already exists, skipping") would land on our
        // stderr. A statement or a lock never waits longer than we would.
        QString connectOptions =
            QStringLiteral("connect_timeout=%1;application_name=qz5801;"
                           "options='-c client_min_messages=warning -c statement_timeout=%2 -c lock_timeout=%2'")
                .arg(qBound(2, options.waitMs / 1000, kPostgresConnectSeconds))
                .arg(options.waitMs);
        if (!where.sslMode.isEmpty())
            connectOptions += QStringLiteral(";sslmode=") + where.sslMode;
        db.setConnectOptions(connectOptions);
    }
    if (!db.open())
        fail(db.lastError().text());
    if (sqlite && !options.readOnly)
        keepLogOnClose(db);
}

void Journal::prepareSchema()
{
    const bool sqlite = where.kind == Address::Sqlite;
    if (sqlite && !options.readOnly) {
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
            if (!sqliteBusy(error) || waited.elapsed() > options.waitMs)
                failWith("open", error.text());
            QThread::msleep(10);
        }
        execute(QStringLiteral("PRAGMA synchronous=FULL"), "open");
    }
    // The version first, before anything is created: a user who may only
    // read and write records works on tables made by another.
    QSqlQuery known(QSqlDatabase::database(connection, false));
    if (known.exec(QStringLiteral("SELECT MAX(version) FROM qz5801_journal_schema")) && known.next()) {
        const QVariant version = known.value(0);
        known.finish();
        if (!version.isNull() && version.toInt() > kSchemaVersion)
            failWith("use", QStringLiteral("its tables are of version %1, newer than this program's %2")
                                .arg(version.toInt())
                                .arg(kSchemaVersion));
        if (!version.isNull() && version.toInt() == kSchemaVersion)
            return;
        // an older journal reads as it is; its missing tables read as empty
        if (!version.isNull() && options.readOnly)
            return;
    } else {
        known.finish();
        if (options.readOnly) {
            // another program's database, or not a database at all: left as it is
            const QString why = known.lastError().text().simplified();
            failWith("read", QStringLiteral("it holds no journal of this program (%1)")
                                 .arg(why.isEmpty() ? QStringLiteral("no table qz5801_journal_schema") : why));
        }
    }
    if (options.readOnly)
        failWith("read", QStringLiteral("it holds no journal of this program (no schema version)"));
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
        // version 2: what a record carries beside it (a verification run's data)
        execute(QStringLiteral("CREATE TABLE IF NOT EXISTS qz5801_journal_attachment ("
                               "record_id BIGINT PRIMARY KEY REFERENCES qz5801_journal (id), "
                               "kind TEXT NOT NULL, certificate TEXT, data TEXT NOT NULL, "
                               "data_sha256 TEXT NOT NULL)"),
                "create its tables");
        QSqlQuery version(QSqlDatabase::database(connection, false));
        if (!version.exec(QStringLiteral("SELECT MAX(version) FROM qz5801_journal_schema")) || !version.next())
            failWith("read its schema version", version.lastError().text());
        if (version.value(0).isNull() || version.value(0).toInt() < kSchemaVersion) {
            QSqlQuery put(QSqlDatabase::database(connection, false));
            put.prepare(QStringLiteral("INSERT INTO qz5801_journal_schema (version) VALUES (?)"));
            put.addBindValue(kSchemaVersion);
            if (!put.exec())
                failWith("create its tables", put.lastError().text());
        } else if (version.value(0).toInt() > kSchemaVersion) {
            failWith("use", QStringLiteral("its tables are of version %1, newer than this program's %2")
                                .arg(version.value(0).toInt())
                                .arg(kSchemaVersion));
        }
    });
}

void Journal::failWith(const char *what, const QString &reason) const
{
    // one opening for every failure, so a reader (or a script) knows the journal is meant
    const QLatin1String step(what);
    QString text = QStringLiteral("Cannot use the journal %1").arg(where.shown());
    if (step == QLatin1String("open"))
        text += QStringLiteral(": it cannot be opened");
    else if (step == QLatin1String("read"))
        text += QStringLiteral(": it cannot be read");
    else if (step == QLatin1String("write"))
        text += QStringLiteral(": the record cannot be written");
    else if (step != QLatin1String("use"))
        text += QStringLiteral(": cannot %1").arg(step);
    // The drivers' texts come in several lines; a failure is one line here.
    if (const QString why = reason.simplified(); !why.isEmpty())
        text += QStringLiteral(": ") + why;
    throw JournalError(text.toStdString());
}

QSqlQuery &Journal::statement(std::unique_ptr<QSqlQuery> &slot, const QString &sql)
{
    if (!slot) {
        auto q = std::make_unique<QSqlQuery>(QSqlDatabase::database(connection, false));
        if (!q->prepare(sql))
            failWith("write", q->lastError().text());
        slot = std::move(q);
    }
    return *slot;
}

void Journal::dropStatements()
{
    insertRecord.reset();
    updateRecord.reset();
}

void Journal::execute(const QString &sql, const char *what)
{
    QSqlQuery q(QSqlDatabase::database(connection, false));
    if (!q.exec(sql))
        failWith(what, q.lastError().text());
}

void Journal::inTransaction(const char *what, const std::function<void()> &work, bool oneStatement)
{
    if (options.readOnly)
        failWith(what, QStringLiteral("it is open for reading only"));
    // On PostgreSQL a statement alone is a transaction of its own, its
    // COMMIT's failure its own: no round trips for BEGIN and COMMIT. Not on
    // SQLite, where an INSERT ... RETURNING commits only when the statement
    // is reset, whose failure Qt does not report. Inside together() the
    // outer transaction holds it.
    if ((oneStatement && where.kind == Address::Postgres) || joined) {
        work();
        return;
    }
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

void Journal::together(const std::function<void()> &work, bool &committing)
{
    committing = false;
    if (options.readOnly)
        failWith("write", QStringLiteral("it is open for reading only"));
    execute(where.kind == Address::Sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN"), "write");
    joined = true;
    try {
        work();
        committing = true;
        execute(QStringLiteral("COMMIT"), "write");
        joined = false;
    } catch (...) {
        joined = false;
        QSqlQuery(QSqlDatabase::database(connection, false)).exec(QStringLiteral("ROLLBACK"));
        throw;
    }
}

qint64 Journal::insert(const Entry &e)
{
    QSqlQuery &q = statement(insertRecord, kInsertRecord);
    const QVariant values[] = {
        sql::timeText(e.begun),
        e.finished.isValid() ? QVariant(sql::timeText(e.finished)) : QVariant(QMetaType::fromType<QString>()),
        clean(e.station),
        clean(e.user),
        clean(e.program),
        clean(e.version),
        e.processId,
        clean(e.operation),
        e.serial ? QVariant(*e.serial) : QVariant(QMetaType::fromType<int>()),
        textOrNull(e.location),
        textOrNull(e.fileName),
        textOrNull(e.fileSha256),
        memoryOrNull(e.before),
        memoryOrNull(e.requested),
        memoryOrNull(e.after),
        sql::resultCode(e.result),
        textOrNull(e.detail),
        e.restoredFrom ? QVariant(*e.restoredFrom) : QVariant(QMetaType::fromType<qint64>()),
    };
    for (int i = 0; i < int(std::size(values)); ++i)
        q.bindValue(i, values[i]);
    const bool done = q.exec() && q.next();
    const QString why = q.lastError().text();
    const qint64 id = done ? q.value(0).toLongLong() : 0;
    // released at once: a statement left open would hold SQLite's snapshot
    q.finish();
    if (!done)
        failWith("write", why);
    if (e.attachment) {
        const Attachment &a = *e.attachment;
        if (a.data.size() > kMaxAttachmentBytes)
            failWith("write", QStringLiteral("the record's data is larger than %1 bytes").arg(kMaxAttachmentBytes));
        QSqlQuery put(QSqlDatabase::database(connection, false));
        put.prepare(QStringLiteral("INSERT INTO qz5801_journal_attachment (record_id, kind, certificate, data, "
                                   "data_sha256) VALUES (?, ?, ?, ?, ?)"));
        put.addBindValue(id);
        put.addBindValue(clean(a.kind));
        put.addBindValue(textOrNull(a.certificate));
        // the data whole, as hashed: never cut like the other texts
        put.addBindValue(QString::fromUtf8(a.data));
        put.addBindValue(clean(a.dataSha256));
        if (!put.exec())
            failWith("write", put.lastError().text());
    }
    return id;
}

qint64 Journal::begin(Entry &entry)
{
    entry.begun = QDateTime::currentDateTimeUtc();
    entry.finished = QDateTime();
    entry.result = Result::Begun;
    qint64 id = 0;
    inTransaction("write", [&] { id = insert(entry); }, !entry.attachment);
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
    inTransaction("write", [&] { id = insert(entry); }, !entry.attachment);
    entry.id = id;
    return id;
}

void Journal::updateResult(qint64 id, Result result, const MemoryContent &after, const QString &detail)
{
    inTransaction("write", [&] {
        QSqlQuery &q = statement(updateRecord, kUpdateResult);
        q.bindValue(0, sql::timeText(QDateTime::currentDateTimeUtc()));
        q.bindValue(1, sql::resultCode(result));
        q.bindValue(2, memoryOrNull(after));
        q.bindValue(3, textOrNull(detail));
        q.bindValue(4, id);
        q.bindValue(5, sql::resultCode(Result::Begun));
        const bool updated = q.exec();
        const QString why = q.lastError().text();
        const int changed = updated ? q.numRowsAffected() : 0;
        q.finish();
        if (!updated)
            failWith("write", why);
        if (changed == 1)
            return;
        // an earlier attempt whose answer was lost may have done it already
        QSqlQuery done(QSqlDatabase::database(connection, false));
        done.prepare(QStringLiteral("SELECT result FROM qz5801_journal WHERE id = ?"));
        done.addBindValue(id);
        if (!done.exec() || !done.next() || done.value(0).toString() != sql::resultCode(result))
            failWith("write", QStringLiteral("record %1 is not an unfinished record").arg(id));
    }, true);
}

void Journal::complete(qint64 id, Result result, const MemoryContent &after, const QString &detail)
{
    // Within together() a failure ends the whole transaction: its caller tries again.
    if (joined) {
        updateResult(id, result, after, detail);
        return;
    }
    // The transmitter has the write already: losing its outcome is the worst
    // the journal could do, so a lost server or a busy file is tried again.
    QElapsedTimer waited;
    waited.start();
    for (int attempt = 0;; ++attempt) {
        try {
            if (attempt > 0) {
                dropStatements(); // prepared on the connection that is gone
                QSqlDatabase::database(connection, false).close();
                QSqlDatabase::removeDatabase(connection);
                connect();
            }
            updateResult(id, result, after, detail);
            return;
        } catch (const JournalError &) {
            if (waited.elapsed() + 250 >= options.waitMs)
                throw;
        }
        QThread::msleep(250);
    }
}

} // namespace journal

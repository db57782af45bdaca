// Journals for the tests: a fresh SQLite file in a temporary folder, and, when
// QZ5801_TEST_PG_URL names a PostgreSQL server (scripts/with-postgres), a
// fresh database on it for each journal, dropped when the test ends.
#pragma once

#include "JournalAddress.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <atomic>
#include <memory>

namespace journaltest {

inline QString postgresUrl() { return qEnvironmentVariable("QZ5801_TEST_PG_URL"); }

// The kinds of journal this run can test: SQLite always, PostgreSQL when a server is given.
inline QStringList backends()
{
    QStringList kinds{QStringLiteral("sqlite")};
    if (!postgresUrl().isEmpty())
        kinds << QStringLiteral("postgresql");
    return kinds;
}

// Runs `sql` on the server of QZ5801_TEST_PG_URL, in its own connection; false on failure.
inline bool onServer(const QString &database, const QString &sql, QString *error = nullptr)
{
    static std::atomic<int> counter{0};
    const QString name = QStringLiteral("journal-test-admin-%1").arg(counter++);
    bool ok = false;
    {
        const std::optional<journal::Address> a = journal::parseAddress(postgresUrl(), nullptr);
        if (!a)
            return false;
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(a->host);
        db.setPort(a->port);
        db.setUserName(a->user);
        db.setPassword(a->password);
        db.setDatabaseName(database.isEmpty() ? a->database : database);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok && error)
                *error = q.lastError().text();
            db.close();
        } else if (error) {
            *error = db.lastError().text();
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

// Hands out fresh journals of one kind; removes them when it goes.
class Journals {
public:
    explicit Journals(const QString &kind) : kind(kind) {}
    ~Journals()
    {
        for (const QString &name : databases)
            onServer(QString(), QStringLiteral("DROP DATABASE IF EXISTS %1 WITH (FORCE)").arg(name));
    }
    Journals(const Journals &) = delete;
    Journals &operator=(const Journals &) = delete;

    journal::Address fresh()
    {
        static std::atomic<int> counter{0};
        journal::Address a;
        if (kind == QLatin1String("sqlite")) {
            a.path = dir.filePath(QStringLiteral("journal-%1.sqlite").arg(counter++));
            return a;
        }
        a = *journal::parseAddress(postgresUrl(), nullptr);
        // Only digits and letters of our own: the name goes into the statement.
        a.database = QStringLiteral("qz5801_test_%1_%2").arg(QCoreApplication::applicationPid()).arg(counter++);
        QString error;
        if (!onServer(QString(), QStringLiteral("CREATE DATABASE %1").arg(a.database), &error))
            qFatal("cannot create a test database: %s", qPrintable(error));
        databases << a.database;
        return a;
    }

    // The text another process is given to reach the same journal.
    static QString addressText(const journal::Address &a)
    {
        if (a.kind == journal::Address::Sqlite)
            return a.path;
        return a.shown();
    }

    QString kind;
    QTemporaryDir dir;
    QStringList databases;
};

} // namespace journaltest

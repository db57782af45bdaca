#include "JournalAddress.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>
#include <QUrl>
#include <QUrlQuery>

namespace journal {

namespace {

constexpr qsizetype kAddressLimit = 4096;

const QStringList kSslModes{"disable", "allow", "prefer", "require", "verify-ca", "verify-full"};

std::optional<Address> fail(QString *problem, const QString &text)
{
    if (problem)
        *problem = text;
    return std::nullopt;
}

} // namespace

QString Address::shown() const
{
    if (kind == Sqlite)
        return path;
    QUrl url;
    url.setScheme(QStringLiteral("postgresql"));
    url.setUserName(user);
    url.setHost(host);
    url.setPort(port);
    url.setPath(QLatin1Char('/') + database);
    return url.toString();
}

QString defaultJournalPath()
{
    // GenericDataLocation is $XDG_DATA_HOME, or ~/.local/share when it is
    // unset; on Windows %LOCALAPPDATA%, which stays on the machine: a
    // database in write-ahead-log mode is no file for a roaming profile.
    const QString base = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return QDir(base).filePath(QStringLiteral("qz5801/journal.sqlite"));
}

std::optional<Address> parseAddress(const QString &text, QString *problem)
{
    if (text.isEmpty())
        return fail(problem, QStringLiteral("the journal address is empty"));
    if (text.size() > kAddressLimit)
        return fail(problem, QStringLiteral("the journal address is longer than %1 characters").arg(kAddressLimit));
    const qsizetype schemeEnd = text.indexOf(QStringLiteral("://"));
    if (schemeEnd < 0) {
        Address a;
        a.path = QFileInfo(text).absoluteFilePath();
        return a;
    }
    const QString scheme = text.left(schemeEnd);
    if (scheme != QLatin1String("postgresql") && scheme != QLatin1String("postgres"))
        return fail(problem, QStringLiteral("\"%1\" is not a journal address: postgresql://USER@HOST:PORT/DATABASE "
                                            "or the path of an SQLite file")
                                 .arg(text.left(200)));
    const QUrl url(text, QUrl::StrictMode);
    if (!url.isValid())
        return fail(problem, QStringLiteral("\"%1\" is not a valid URL: %2").arg(text.left(200), url.errorString()));
    Address a;
    a.kind = Address::Postgres;
    a.user = url.userName();
    a.password = url.password();
    a.host = url.host();
    if (a.host.isEmpty())
        return fail(problem, QStringLiteral("the journal URL names no host"));
    if (url.port() == 0)
        return fail(problem, QStringLiteral("the journal URL's port must be 1 to 65535"));
    a.port = url.port(5432);
    QString path = url.path();
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (path.isEmpty() || path.contains(QLatin1Char('/')))
        return fail(problem, QStringLiteral("the journal URL names no database (postgresql://USER@HOST:PORT/DATABASE)"));
    a.database = path;
    if (url.hasFragment())
        return fail(problem, QStringLiteral("the journal URL has a fragment (#...)"));
    const QUrlQuery query(url);
    for (const auto &[key, value] : query.queryItems(QUrl::FullyDecoded)) {
        if (key == QLatin1String("sslmode") && kSslModes.contains(value))
            a.sslMode = value;
        else
            return fail(problem, QStringLiteral("the journal URL's \"%1=%2\" is not understood (only sslmode=%3)")
                                     .arg(key.left(100), value.left(100), kSslModes.join(QLatin1Char('|'))));
    }
    return a;
}

std::optional<Address> chooseAddress(const QString &given, QString *problem)
{
    if (!given.isNull())
        return parseAddress(given, problem);
    const QString fromEnvironment = qEnvironmentVariable(kJournalVariable);
    if (!fromEnvironment.isEmpty()) {
        QString why;
        std::optional<Address> a = parseAddress(fromEnvironment, &why);
        if (!a)
            return fail(problem, QStringLiteral("%1: %2").arg(QLatin1String(kJournalVariable), why));
        return a;
    }
    Address a;
    a.path = defaultJournalPath();
    return a;
}

} // namespace journal

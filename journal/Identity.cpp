#include "Identity.h"

#include <QCoreApplication>
#include <QSysInfo>

#ifndef Q_OS_WIN
#include <pwd.h>
#include <unistd.h>
#endif

namespace journal {

QString stationName() { return QSysInfo::machineHostName(); }

QString operatingSystemUser()
{
#ifdef Q_OS_WIN
    return qEnvironmentVariable("USERNAME");
#else
    // The account the process runs as, not what $USER claims.
    passwd entry{};
    passwd *found = nullptr;
    char buffer[4096];
    if (getpwuid_r(geteuid(), &entry, buffer, sizeof buffer, &found) == 0 && found)
        return QString::fromLocal8Bit(found->pw_name);
    return QStringLiteral("uid %1").arg(geteuid());
#endif
}

qint64 processId() { return QCoreApplication::applicationPid(); }

} // namespace journal

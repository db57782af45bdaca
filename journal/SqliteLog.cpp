#include "SqliteLog.h"

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QVariant>

#ifdef Q_OS_UNIX
#include <dlfcn.h>
#endif

namespace journal {

#ifdef Q_OS_UNIX

bool keepLogOnClose(const QSqlDatabase &db)
{
    QSqlDriver *driver = db.driver();
    const QVariant native = driver ? driver->handle() : QVariant();
    if (!native.isValid() || qstrcmp(native.typeName(), "sqlite3*") != 0)
        return false;
    void *connection = *static_cast<void *const *>(native.constData());
    if (!connection)
        return false;
    // The SQLite the driver was linked with, looked up from the driver's own
    // library: another copy in the process would not know this handle.
    Dl_info where{};
    if (!dladdr(driver->metaObject(), &where) || !where.dli_fname)
        return false;
    void *library = dlopen(where.dli_fname, RTLD_LAZY | RTLD_NOLOAD);
    if (!library)
        return false;
    using DbConfig = int (*)(void *, int, ...);
    const auto own = reinterpret_cast<DbConfig>(dlsym(library, "sqlite3_db_config"));
    // a copy the program exports comes first for the driver too: only when it is the same one
    const auto first = reinterpret_cast<DbConfig>(dlsym(RTLD_DEFAULT, "sqlite3_db_config"));
    bool kept = false;
    if (own && (!first || first == own)) {
        constexpr int kNoCheckpointOnClose = 1006; // SQLITE_DBCONFIG_NO_CKPT_ON_CLOSE
        int now = 0;
        kept = own(connection, kNoCheckpointOnClose, 1, &now) == 0 && now == 1;
    }
    dlclose(library);
    return kept;
}

#else

bool keepLogOnClose(const QSqlDatabase &) { return false; }

#endif

} // namespace journal

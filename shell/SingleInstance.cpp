#include "SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

QString singleInstanceLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("QZ5801.0.lock"));
}

bool holdSingleInstanceLock()
{
    static std::unique_ptr<QLockFile> held;
    if (held)
        return true;
    auto lock = std::make_unique<QLockFile>(singleInstanceLockPath());
    // A running copy's lock never goes stale with age; only a dead owner frees it.
    lock->setStaleLockTime(0);
    if (lock->tryLock(0)) {
        held = std::move(lock);
        return true;
    }
    return lock->error() != QLockFile::LockFailedError;
}

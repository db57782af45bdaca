#include "SingleInstance.h"

#include <QDir>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

QString singleInstanceLockPath()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return QDir(folder).filePath(QStringLiteral("QZ5801.0.lock"));
}

bool holdSingleInstanceLock()
{
#ifdef Q_OS_WIN
    // Windows: the named mutex "QZ5801.0", never released until the process
    // ends (the system frees it with the process, however it ends).
    static HANDLE held = nullptr;
    if (held)
        return true;
    if (HANDLE running = OpenMutexW(MUTEX_ALL_ACCESS, FALSE, L"QZ5801.0")) {
        CloseHandle(running);
        return false;
    }
    held = CreateMutexW(nullptr, FALSE, L"QZ5801.0");
    // Made by another copy between the two calls: that copy runs.
    if (held && GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseHandle(held);
        held = nullptr;
        return false;
    }
    // A mutex that cannot be made at all lets the copy run, as a lock file that cannot be.
    return true;
#else
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
#endif
}

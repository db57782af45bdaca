// Shared by the shell's tests: a private settings and runtime folder for the
// whole test process, set before the application object exists, and small
// file helpers.
#pragma once

#include "Dialogs.h"
#include "Main.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <vector>

namespace shelltest {

inline QByteArray readBytes(const QString &path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

inline bool writeBytes(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return f.write(bytes) == bytes.size();
}

// Points the per-user configuration folder at a fresh empty folder.
class ConfigHome {
public:
    ConfigHome() { qputenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit()); }
    QString path() const { return dir.path(); }
    QString settingsFolder() const { return dir.filePath(QStringLiteral("QZ5801 User Software")); }
    QString settingsFile() const { return settingsFolder() + QStringLiteral("/qz5801.ini"); }

private:
    QTemporaryDir dir;
};

// Records every box instead of showing it; answers OK (Yes for questions).
struct RecordedBoxes {
    std::vector<MessageRequest> boxes;
    DialogHooks previous;
    RecordedBoxes()
    {
        DialogHooks hooks;
        hooks.message = [this](QWidget *, const MessageRequest &r) {
            boxes.push_back(r);
            return r.buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
        };
        hooks.execDialog = [](QDialog &) { return 1; };
        previous = setDialogHooks(hooks);
    }
    ~RecordedBoxes() { setDialogHooks(previous); }
    RecordedBoxes(const RecordedBoxes &) = delete;
    RecordedBoxes &operator=(const RecordedBoxes &) = delete;
};

// Folders for the whole process, made before QApplication reads them.
struct ProcessFolders {
    QTemporaryDir runtime;
    QTemporaryDir config;
    ProcessFolders()
    {
        qputenv("XDG_RUNTIME_DIR", runtime.path().toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    }
};

} // namespace shelltest

#define QZ_SHELL_TEST_MAIN(TestClass)                                                                             \
    int main(int argc, char *argv[])                                                                              \
    {                                                                                                             \
        /* static: outlives the single-instance lock kept in the folder */                                      \
        static shelltest::ProcessFolders folders;                                                                 \
        useDesignStyle();                                                                                         \
        QApplication app(argc, argv);                                                                             \
        TestClass test;                                                                                           \
        return QTest::qExec(&test, argc, argv);                                                                   \
    }

// Shared by the shell's tests: a private settings and runtime folder for the
// whole test process, set before the application object exists, and small
// file helpers.
#pragma once

#include "Dialogs.h"
#include "Lang.h"
#include "Main.h"

#include <QApplication>
#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QPointer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>
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
// A main window in language 0 with its timers stopped: the test runs the
// start-up connection and each tick itself.
inline std::unique_ptr<TMainF> stillWindow()
{
    currentLanguage = 0;
    auto w = std::make_unique<TMainF>();
    w->Timer1->stop();
    w->Timer3->stop();
    return w;
}

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

// Lets the real boxes open, modal loop, focus and activation changes and all,
// and acts on each one as the operator would: by default Enter on the button
// that has the focus. `act` may do anything first, a timer tick say. As a
// box closes its window is made active again at once, as a desktop does
// (the offscreen platform leaves it inactive).
struct RealBoxes {
    QStringList texts;
    std::function<void(QMessageBox &)> act = [](QMessageBox &box) { pressKey(box, Qt::Key_Return); };
    DialogHooks previous;
    QTimer watch;
    QPointer<QMessageBox> handled;

    static void pressKey(QMessageBox &box, Qt::Key key)
    {
        QTest::keyClick(box.focusWidget() ? box.focusWidget() : static_cast<QWidget *>(&box), key);
    }

    RealBoxes()
    {
        previous = setDialogHooks({});
        watch.setInterval(10);
        QObject::connect(&watch, &QTimer::timeout, [this] {
            auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
            if (!box || box == handled || !box->isVisible())
                return;
            handled = box;
            texts << box->text();
            QObject::connect(box, &QDialog::finished, [box] {
                QWidget *owner = box->parentWidget() ? box->parentWidget()->window() : nullptr;
                if (owner && owner->isVisible()) {
                    owner->activateWindow();
                    if (!QTest::qWaitForWindowActive(owner))
                        qWarning("the window did not become active again");
                }
            });
            act(*box);
        });
        watch.start();
    }
    ~RealBoxes() { setDialogHooks(previous); }
    RealBoxes(const RealBoxes &) = delete;
    RealBoxes &operator=(const RealBoxes &) = delete;
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

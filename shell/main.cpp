// Program entry: one copy per session, the main window and the About window.
#include "Dialogs.h"
#include "Main.h"
#include "Oprog.h"
#include "SingleInstance.h"
#include "WindowJournal.h"

#include <QApplication>
#include <QString>

#include <exception>

int main(int argc, char *argv[])
{
    // The windows are laid out in fixed logical pixels; Qt scales them for
    // the screen (its default), so they keep their size on a 200 % screen.
    // A second copy ends here, before it opens the display or reads anything.
    if (!holdSingleInstanceLock())
        return 0;

    useDesignStyle();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(programIcon());
    // Lets a desktop match the windows to qz5801.desktop (Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("qz5801"));
    try {
        TMainF mainWindow;
        mainWindow.aboutWindow = new TOProgramu(&mainWindow);
        new TWindowJournal(mainWindow);
        mainWindow.show();
        QApplication::exec();
    } catch (const AnotherCopyRunning &) {
    } catch (const std::exception &error) {
        showErrorBox(nullptr, QString::fromUtf8(error.what()));
    } catch (...) {
        showErrorBox(nullptr, QString());
    }
    return 0;
}

// Program entry: one copy per session, the main window and the About window.
#include "Dialogs.h"
#include "EndOnSignal.h"
#include "FontWarmup.h"
#include "Main.h"
#include "Oprog.h"
#include "ProcessEnd.h"
#include "SingleInstance.h"
#include "VerificationTools.h"
#include "WindowJournal.h"
#include "WindowPublisher.h"

#include <QApplication>
#include <QString>

#include <cstdio>
#include <cstdlib>
#include <exception>

int main(int argc, char *argv[])
{
    // The windows are drawn in fixed pixels, 536 x 476 for the main window's
    // client area whatever the screen's pixel density. A user who wants them
    // larger says so: QT_SCALE_FACTOR scales them, and QT_ENABLE_HIGHDPI_SCALING=1
    // lets Qt follow the screen's density; both are left as they are set.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    catchEndSignals();
    // A second copy ends here, before it opens the display or reads anything.
    if (!holdSingleInstanceLock())
        return 0;

    FontWarmup fonts;
    useDesignStyle();
    QApplication app(argc, argv);
    QApplication::setWindowIcon(programIcon());
    // Lets a desktop match the windows to qz5801.desktop (Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("qz5801"));
    fonts.finish();
    try {
        TMainF mainWindow;
        mainWindow.aboutWindow = new TOProgramu(&mainWindow);
        auto *journal = new TWindowJournal(mainWindow);
        new TWindowPublisher(mainWindow, journal);
        new TVerificationTools(mainWindow);
        closeOnEndSignals(mainWindow);
        mainWindow.show();
        QApplication::exec();
    } catch (const AnotherCopyRunning &) {
    } catch (const std::exception &error) {
        showErrorBox(nullptr, QString::fromUtf8(error.what()));
    } catch (...) {
        showErrorBox(nullptr, QString());
    }
    // The journal's thread still waits in the database driver; it is left there.
    if (TWindowJournal::threadLeftRunning() || endsWithoutLibraryExitCode())
        endProcessNow(0);
    return 0;
}

// Program entry: one copy per session, the main window and the About window.
#include "Dialogs.h"
#include "Main.h"
#include "Oprog.h"
#include "SingleInstance.h"

#include <QApplication>
#include <QString>

#include <exception>

int main(int argc, char *argv[])
{
    // The windows are laid out in fixed pixels and are not scaled for the screen.
    if (!qEnvironmentVariableIsSet("QT_ENABLE_HIGHDPI_SCALING"))
        qputenv("QT_ENABLE_HIGHDPI_SCALING", "0");
    // A second copy ends here, before it opens the display or reads anything.
    if (!holdSingleInstanceLock())
        return 0;

    useDesignStyle();
    QApplication app(argc, argv);
    try {
        TMainF mainWindow;
        mainWindow.aboutWindow = new TOProgramu(&mainWindow);
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

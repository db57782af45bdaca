// The yardstick for the tool's memory: a bare Qt Widgets window of the same
// size, with a menu bar and a status bar, doing nothing.
#include <QApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QStatusBar>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QMainWindow w;
    w.setWindowTitle(QStringLiteral("bare window"));
    w.menuBar()->addMenu(QStringLiteral("Application"));
    w.statusBar();
    w.setFixedSize(536, 476 + w.menuBar()->sizeHint().height());
    w.show();
    return app.exec();
}

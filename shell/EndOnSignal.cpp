#include "EndOnSignal.h"

#include <QtGlobal>

#ifdef Q_OS_WIN

void catchEndSignals() {}
void closeOnEndSignals(QWidget &) {}

#else

#include <QApplication>
#include <QDialog>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

int wakePipe[2] = {-1, -1};
constexpr int kSignals[] = {SIGTERM, SIGHUP, SIGINT};

extern "C" void endSignalArrived(int signalNumber)
{
    // Async-signal-safe only: the next signal takes its default action, and
    // the event loop hears of this one through the socket.
    for (int s : kSignals)
        ::signal(s, SIG_DFL);
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(wakePipe[1], &byte, 1);
}

void closeWhenFree(QPointer<QWidget> window)
{
    if (!window)
        return;
    // A box inside an operation: answered as by Escape, then the operation
    // ends on its own road before the window closes.
    if (QWidget *modal = QApplication::activeModalWidget()) {
        // A box with no Escape answer refuses to close: it is dismissed.
        if (!modal->close())
            if (auto *dialog = qobject_cast<QDialog *>(modal))
                dialog->reject();
        QTimer::singleShot(20, window, [window] { closeWhenFree(window); });
        return;
    }
    window->close();
}

} // namespace

void catchEndSignals()
{
    if (wakePipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, wakePipe) != 0)
        return; // the signals keep their default action
    ::fcntl(wakePipe[1], F_SETFL, ::fcntl(wakePipe[1], F_GETFL) | O_NONBLOCK);
    struct sigaction action = {};
    action.sa_handler = endSignalArrived;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int s : kSignals)
        ::sigaction(s, &action, nullptr);
}

void closeOnEndSignals(QWidget &window)
{
    if (wakePipe[0] < 0)
        return;
    // A signal that came before the window was there is still in the socket.
    auto *notifier = new QSocketNotifier(wakePipe[0], QSocketNotifier::Read, &window);
    QPointer<QWidget> target(&window);
    QObject::connect(notifier, &QSocketNotifier::activated, &window, [notifier, target] {
        char byte = 0;
        [[maybe_unused]] const ssize_t read = ::read(wakePipe[0], &byte, 1);
        notifier->setEnabled(false);
        closeWhenFree(target);
    });
}

#endif

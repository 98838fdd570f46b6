#include "platform/Termination.h"

#include <QApplication>
#include <QEvent>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace kelpa::platform {

namespace {

int signalPipe[2] = {-1, -1};

// The handler only says that a signal came; the work is done on the GUI thread.
void noteSignal(int)
{
    const int saved = errno;
    const char byte = 1;
    [[maybe_unused]] const auto n = ::write(signalPipe[1], &byte, 1);
    errno = saved;
}

void closeEverything()
{
    char bytes[16];
    while (::read(signalPipe[0], bytes, sizeof bytes) > 0) {
    }
    QApplication::closeAllWindows();
    // Windows deleted on close go now: the loops end before they would get to it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::quit();
}

} // namespace

void CloseWindowsOnTermination()
{
    if (signalPipe[0] >= 0 || !QCoreApplication::instance())
        return;
    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    auto *notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] { closeEverything(); });
    struct sigaction action {};
    action.sa_handler = noteSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (int signal : {SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
}

} // namespace kelpa::platform

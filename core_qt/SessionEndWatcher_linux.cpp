#include "SessionEndWatcher.h"

#include <QGuiApplication>
#include <QPointer>
#include <QSessionManager>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {

int signalPipe[2] = {-1, -1};
struct sigaction previousTerm;
struct sigaction previousHup;

void onTerminationSignal(int signalNumber)
{
    const int savedErrno = errno;
    const char byte = char(signalNumber);
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
    errno = savedErrno;
}

} // namespace

SessionEndWatcher* SessionEndWatcher::instance()
{
    static QPointer<SessionEndWatcher> watcher;
    if (!watcher)
        watcher = new SessionEndWatcher;
    return watcher;
}

SessionEndWatcher::SessionEndWatcher()
    : QObject(QCoreApplication::instance())
{
    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        connect(app, &QGuiApplication::commitDataRequest, this, [this](QSessionManager&) { emit sessionEnding(); });
    }

    if (::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        // Without the pipe the signals keep their default action: the process ends
        // without its closing work, as it would have without this watcher.
        signalPipe[0] = signalPipe[1] = -1;
        return;
    }
    notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, &SessionEndWatcher::readSignal);

    struct sigaction action = {};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGTERM, &action, &previousTerm);
    sigaction(SIGHUP, &action, &previousHup);
}

SessionEndWatcher::~SessionEndWatcher()
{
    if (signalPipe[0] < 0)
        return;
    sigaction(SIGTERM, &previousTerm, nullptr);
    sigaction(SIGHUP, &previousHup, nullptr);
    delete notifier;
    ::close(signalPipe[0]);
    ::close(signalPipe[1]);
    signalPipe[0] = signalPipe[1] = -1;
}

void SessionEndWatcher::readSignal()
{
    char buffer[16];
    bool received = false;
    while (::read(signalPipe[0], buffer, sizeof buffer) > 0)
        received = true;
    if (!received)
        return;
    emit sessionEnding();
    QCoreApplication::quit();
}

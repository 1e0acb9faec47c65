#include "WindowsPowerSourceWatcher.h"

#include <QSocketNotifier>

#include <linux/netlink.h>
#include <sys/socket.h>
#include <unistd.h>

namespace System {

namespace {

// The kernel's device events (what udev listens to); a power supply that
// comes or goes online sends one.
int openKernelEvents()
{
    const int fd = socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC | SOCK_NONBLOCK, NETLINK_KOBJECT_UEVENT);
    if (fd < 0)
        return -1;
    sockaddr_nl address{};
    address.nl_family = AF_NETLINK;
    address.nl_groups = 1;
    if (bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0) {
        close(fd);
        return -1;
    }
    return fd;
}

} // namespace

struct WindowsPowerSourceWatcher::Source
{
    PowerSource lastSource = Unknown;
    int fd = -1;
    std::unique_ptr<QSocketNotifier> notifier;
};

WindowsPowerSourceWatcher::WindowsPowerSourceWatcher()
    : source(std::make_unique<Source>())
{
}

WindowsPowerSourceWatcher::~WindowsPowerSourceWatcher()
{
    stop();
}

void WindowsPowerSourceWatcher::start()
{
    source->lastSource = currentPowerSource();
    // Without a mains supply there is nothing to follow.
    if (source->notifier || source->lastSource == Unknown)
        return;
    source->fd = openKernelEvents();
    if (source->fd < 0)
        return;
    source->notifier = std::make_unique<QSocketNotifier>(source->fd, QSocketNotifier::Read);
    QObject::connect(source->notifier.get(), &QSocketNotifier::activated, this, [this] {
        char buffer[4096];
        while (recv(source->fd, buffer, sizeof(buffer), 0) > 0) { }
        // Every device event is a hint only; the supplies say what changed.
        const PowerSource now = currentPowerSource();
        if (now != source->lastSource) {
            source->lastSource = now;
            emit powerSourceChanged(now);
        }
    });
}

void WindowsPowerSourceWatcher::stop()
{
    source->notifier.reset();
    if (source->fd >= 0) {
        close(source->fd);
        source->fd = -1;
    }
}

bool WindowsPowerSourceWatcher::isRunning() const
{
    return source->notifier != nullptr;
}

} // namespace System

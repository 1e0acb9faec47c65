// Linked only into the crash-test build of the program: once the main window
// has been painted, the fault QUORBILAN_TEST_CRASH names happens, so that the
// program's own crash handler meets a real unhandled exception. "main" writes
// through a null pointer on the GUI thread, from the event loop; "worker" does
// the same on a thread of its own while the window stays up.
#include <QCoreApplication>
#include <QEvent>
#include <QMainWindow>
#include <QMetaObject>

#include <thread>

namespace {

int* volatile nowhere = nullptr;

void fault()
{
    *nowhere = 1;
}

class CrashTrigger : public QObject
{
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!fired && event->type() == QEvent::Paint && qobject_cast<QMainWindow*>(watched)) {
            fired = true;
            const QByteArray mode = qgetenv("QUORBILAN_TEST_CRASH");
            // Queued: the fault comes from the event loop, not from inside the paint.
            if (mode == "main")
                QMetaObject::invokeMethod(this, &fault, Qt::QueuedConnection);
            else if (mode == "worker")
                std::thread(&fault).detach();
        }
        return false;
    }

private:
    bool fired = false;
};

void installTrigger()
{
    QCoreApplication::instance()->installEventFilter(new CrashTrigger(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(installTrigger)

#pragma once

#include <QObject>

class QSessionManager;
class QSocketNotifier;

// Linux's ways of ending the session, turned into one signal on the GUI
// thread: the session manager's commitDataRequest and SIGTERM or SIGHUP. The
// signals reach the event loop through a self-pipe; after the windows have
// had their close, a termination signal quits the application.
class SessionEndWatcher : public QObject
{
    Q_OBJECT

public:
    // Made on first use, owned by the application object.
    static SessionEndWatcher* instance();
    ~SessionEndWatcher() override;

signals:
    void sessionEnding();

private:
    SessionEndWatcher();
    void readSignal();

    QSocketNotifier* notifier = nullptr;
};

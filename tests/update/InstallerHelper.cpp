// Plays the application around the installer hand-over in a process of its own:
//   update_installer_helper arm|arm-tmp|quit|nofile [FILE]
// records FILE as the download, presses the install button (arm, arm-tmp,
// nofile) or not (quit), runs the event loop and ends it as the application
// would, then prints "armed=<0|1> quit=<0|1> started=<0|1>".
#include "UpdateInstaller.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

namespace {

// Notes the application's quit requests; the loop still ends on them.
class QuitWatch : public QObject
{
public:
    bool asked = false;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == qApp && event->type() == QEvent::Quit)
            asked = true;
        return false;
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (!updateInstaller)
        return 3;
    updateInstaller->setUpdateFile(app.arguments().value(2));

    bool armed = false;
    QuitWatch quitWatch;
    app.installEventFilter(&quitWatch);
    QTimer::singleShot(0, &app, [&] {
        if (mode == QLatin1String("quit"))
            QCoreApplication::quit();
        else
            armed = updateInstaller->armAndQuit();
        // Without a quit the loop ends here, with another code; queued behind
        // any quit the step posted.
        QTimer::singleShot(0, &app, [&quitWatch] {
            if (!quitWatch.asked)
                QCoreApplication::exit(7);
        });
    });
    const bool quit = app.exec() == 0 && quitWatch.asked;

    const bool started = updateInstaller->runIfArmed(mode == QLatin1String("arm-tmp"));
    std::printf("armed=%d quit=%d started=%d\n", armed && updateInstaller->installPending, quit, started);
    return 0;
}

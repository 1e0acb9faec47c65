// Plays the application around the installer hand-over in a process of its own:
//   update_installer_helper arm|arm-tmp|quit|nofile [FILE]
// records FILE as the download, presses the install button (arm, arm-tmp,
// nofile) or not (quit), runs the event loop and ends it as the application
// would, then prints "armed=<0|1> quit=<0|1> started=<0|1>".
#include "UpdateInstaller.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = app.arguments().value(1);
    if (!updateInstaller)
        return 3;
    updateInstaller->setUpdateFile(app.arguments().value(2));

    bool armed = false;
    if (mode == QLatin1String("quit"))
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    else
        QTimer::singleShot(0, &app, [&armed] { armed = updateInstaller->armAndQuit(); });
    // Without a quit the loop ends here, with another code.
    QTimer::singleShot(300, &app, [] { QCoreApplication::exit(7); });
    const bool quit = app.exec() == 0;

    const bool started = updateInstaller->runIfArmed(mode == QLatin1String("arm-tmp"));
    std::printf("armed=%d quit=%d started=%d\n", armed && updateInstaller->installPending, quit, started);
    return 0;
}

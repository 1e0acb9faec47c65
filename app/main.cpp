#include "CommandLine.h"
#include "GuiStart.h"
#include "QuorbilanApp.h"

#include <QStringList>

#include <cstdlib>

namespace {

QStringList argumentList(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

// The console tool must work where there is no display at all (a server, an
// ssh session), where a GUI application object would abort. It shows no
// window, so the offscreen platform serves it wherever it runs.
void allowConsoleWithoutDisplay(int argc, char **argv)
{
#ifndef _WIN32
    if (!CommandLine::countsAsArguments(argumentList(argc, argv)))
        return;
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#else
    Q_UNUSED(argc);
    Q_UNUSED(argv);
#endif
}

} // namespace

int main(int argc, char **argv)
{
    allowConsoleWithoutDisplay(argc, argv);
    QuorbilanApp app(argc, argv);
    QApplication::setStyle(QStringLiteral("windowsvista"));

    if (app.commandLineArgs()->hasArguments())
        return app.commandLineArgs()->run();
    if (app.anotherInstanceRunning)
        return 0;
    return runGui(app);
}

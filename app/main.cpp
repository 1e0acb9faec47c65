#include "CommandLine.h"
#include "ConsoleOutput.h"
#include "GuiStart.h"
#include "QuorbilanApp.h"

namespace {

// The console's streams belong to the program's own lines; the toolkit's and
// the framework's diagnostics are for developers and never reach the user.
void silenceDiagnostics(QtMsgType, const QMessageLogContext &, const QString &)
{
}

void prepareConsoleRun(int argc, char **argv)
{
    if (!CommandLine::countsAsArguments(argc, argv))
        return;
    qInstallMessageHandler(silenceDiagnostics);
    prepareConsolePlatform();
}

} // namespace

int main(int argc, char **argv)
{
    prepareConsoleRun(argc, argv);
    QuorbilanApp app(argc, argv);
    QApplication::setStyle(QStringLiteral("windowsvista"));

    if (app.commandLineArgs()->hasArguments())
        return app.commandLineArgs()->run();
    if (app.anotherInstanceRunning)
        return 0;
    return runGui(app);
}

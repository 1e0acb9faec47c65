#include "CommandLine.h"
#include "ConsoleOutput.h"
#include "CrashReportBox.h"
#include "GuiStart.h"
#include "QuorbilanApp.h"
#include "WindowSystem.h"

#include <cstdio>

namespace {

// The console's streams belong to the program's own lines; the toolkit's and
// the framework's diagnostics are for developers and never reach the user.
void silenceDiagnostics(QtMsgType, const QMessageLogContext&, const QString&) { }

void prepareConsoleRun()
{
    qInstallMessageHandler(silenceDiagnostics);
    prepareConsolePlatform();
}

} // namespace

int main(int argc, char** argv)
{
    // A crashed GUI run starts the program again only to show its report box.
    if (isCrashReportRun(argc, argv))
        return runCrashReport(argc, argv);
    // The same classification QuorbilanApp makes, on the same raw arguments.
    if (CommandLine::countsAsArguments(CommandLine::programArguments(argc, argv))) {
        prepareConsoleRun();
    } else if (!windowSystemAvailable()) {
        std::fputs("Quorbilan: cannot open a window: no display\n", stderr);
        return 1;
    }
    QuorbilanApp app(argc, argv);
    QApplication::setStyle(QStringLiteral("windowsvista"));

    if (app.commandLineArgs()->hasArguments())
        return app.commandLineArgs()->run();
    if (app.anotherInstanceRunning)
        return 0;
    return runGui(app);
}

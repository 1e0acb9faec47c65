#include "ConsoleOutput.h"

// The console tool must work where there is no display at all (a server, an
// ssh session), where a GUI application object would abort. It shows no
// window, so the offscreen platform serves it wherever it runs.
void prepareConsolePlatform()
{
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

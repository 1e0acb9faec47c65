#include "GuiStart.h"

#include "MainWindow.h"
#include "QuorbilanApp.h"

std::unique_ptr<MainWindow> createMainWindow(QuorbilanApp& app)
{
    auto window = std::make_unique<MainWindow>(nullptr);
    MainWindow* raw = window.get();
    QObject::connect(&app, &QApplicationExSingle::anotherInstanceStarted, raw,
                     [raw] { QApplicationEx::forceForegroundWindow(raw); });
    return window;
}

int runGui(QuorbilanApp& app)
{
    // Before any window, so that each is made with them in place.
    app.initGuiServices();
    std::unique_ptr<MainWindow> window = createMainWindow(app);
    window->show();
    const int result = QApplication::exec();
    app.exitCode = result;
    // Waits for a running compaction and profile search.
    window.reset();
    return result;
}

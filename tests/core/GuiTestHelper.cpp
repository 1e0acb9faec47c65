// A second process for the window-base, window-state and message-box tests:
// what runs once per process (the closing work, a fresh settings store, a
// language load) needs a process of its own.
//   gui_test_helper window SCENARIO   prints "onClose" each time the closing work runs
//   gui_test_helper geometry          prints "restored true|false" and the geometry
//   gui_test_helper language NAME     prints the texts of a Yes/No/Retry box
#include "AppSettings.h"
#include "LanguageTable.h"
#include "QApplicationEx.h"
#include "QMainWindowEx.h"
#include "QMessageBoxLocalized.h"
#include "QtHelpers.h"

#include <QAbstractButton>
#include <QCloseEvent>
#include <QTimer>

#include <cstdio>
#include <cstring>

namespace {

void printLine(const QString& line)
{
    std::printf("%s\n", line.toUtf8().constData());
    std::fflush(stdout);
}

class CountingWindow : public QMainWindowEx
{
public:
    explicit CountingWindow(bool hide)
        : hide(hide)
    {
    }

protected:
    bool hideOnClose() override { return hide; }
    void onClose() override { printLine("onClose"); }
    void hideWindow() override
    {
        printLine("hidden");
        QMainWindowEx::hideWindow();
    }

private:
    bool hide;
};

// Each scenario ends the event loop one way or another; the test counts the
// "onClose" lines and reads the exit code.
int runWindow(QApplicationEx& app, const QString& scenario)
{
    CountingWindow window(scenario == "hide-then-quit");
    window.show();

    if (scenario == "close-then-quit") {
        QTimer::singleShot(0, &window, [&] {
            window.close();
            printLine(window.isVisible() ? "visible" : "closed");
            app.quit();
        });
    } else if (scenario == "quit") {
        QTimer::singleShot(0, &app, &QCoreApplication::quit);
    } else if (scenario == "quit-twice") {
        QTimer::singleShot(0, &window, [&] {
            window.closeOnce();
            window.closeOnce();
            app.quit();
        });
    } else if (scenario == "hide-then-quit") {
        QTimer::singleShot(0, &window, [&] {
            window.close();
            printLine(window.isVisible() ? "visible" : "not visible");
            app.quit();
        });
    } else if (scenario == "signal") {
        // The test sends SIGTERM or SIGHUP once it reads "ready".
        QTimer::singleShot(0, &window, [] { printLine("ready"); });
    } else if (scenario == "signal-modal") {
        // A modal box is open when the signal comes: the box's own loop must end too.
        QTimer::singleShot(0, &window, [&] {
            QMessageBoxLocalized box(&window);
            box.setText("Still working");
            QTimer::singleShot(0, &box, [] { printLine("ready"); });
            box.exec();
            printLine("box closed");
        });
    } else {
        return 2;
    }
    const int code = app.exec();
    printLine("exit");
    return code;
}

int runGeometry(QApplicationEx& app)
{
    app.initSettings("Quorbilan", "Tulverhaven Software");
    QMainWindow window;
    const bool restored = restoreWindowState(&window, app.settings);
    printLine(QString("restored %1").arg(restored ? "true" : "false"));
    if (!restored)
        window.setGeometry(123, 145, 345, 267);
    window.show();
    const QRect g = window.geometry();
    printLine(QString("geometry %1 %2 %3 %4").arg(g.x()).arg(g.y()).arg(g.width()).arg(g.height()));
    saveWindowState(&window, app.settings);
    return 0;
}

int runLanguage(QApplicationEx& app, const QString& name)
{
    app.initLanguage(":/English.xml");
    app.languageTable->load(name);
    QMessageBoxLocalized box;
    box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Retry);
    QTimer::singleShot(0, &box, [&box] {
        for (auto button : {QMessageBox::Yes, QMessageBox::No, QMessageBox::Retry})
            printLine(box.button(button)->text());
        box.button(QMessageBox::No)->click();
    });
    printLine(QString("result %1").arg(box.exec() == QMessageBox::No ? "No" : "other"));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QApplicationEx app(argc, argv, "Quorbilan");
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == "window")
        return runWindow(app, args[2]);
    if (args.size() == 2 && args[1] == "geometry")
        return runGeometry(app);
    if (args.size() == 3 && args[1] == "language")
        return runLanguage(app, args[2]);
    std::fprintf(stderr, "usage: %s window SCENARIO | geometry | language NAME\n", argv[0]);
    return 2;
}

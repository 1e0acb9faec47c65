// Runs one main-window scenario that ends with the window's close in a
// process of its own: the close hook runs once per process. Prints what the
// test compares on standard output; the exit code says whether it got there.
#include "MainWindowDriver.h"
#include "ModalDriver.h"
#include "QuorbilanApp.h"

#include <QApplication>
#include <QTextStream>

#include <cstdio>

namespace {

QTextStream out(stdout);

bool waitLoaded(const MainWindowDriver& w)
{
    return QTest::qWaitFor([&] { return w.loaded(); }, 120000);
}

void printTicks(const MainWindowDriver& w)
{
    for (const QString& path : w.checkedPaths())
        out << "checked=" << path << "\n";
}

void closeWindow(const MainWindowDriver& w)
{
    w.click(w.button("exitButton"));
    out << (w.window->isVisible() ? "still open" : "closed") << "\n";
}

int save(const MainWindowDriver& w)
{
    if (!waitLoaded(w))
        return 2;
    w.tickGroup(QStringLiteral("Chrome"), false);
    w.dropFolder(qEnvironmentVariable("SCENARIO_FOLDER"));
    w.window->resize(700, 520);
    w.window->move(40, 30);
    printTicks(w);
    closeWindow(w);
    return 0;
}

int restore(const MainWindowDriver& w)
{
    if (!waitLoaded(w))
        return 2;
    out << "size=" << w.window->width() << "x" << w.window->height() << "\n";
    printTicks(w);
    if (QTreeWidgetItem* custom = w.group(QStringLiteral("Custom profiles"))) {
        for (int i = 0; i < custom->childCount(); ++i)
            out << "custom=" << static_cast<ProfileTreeItem*>(custom->child(i))->profile->path << "\n";
    }
    return 0;
}

int closeDuringRun(const MainWindowDriver& w)
{
    if (!waitLoaded(w))
        return 2;
    w.dropFolder(qEnvironmentVariable("SCENARIO_FOLDER"));
    w.tickOnlyGroup(QStringLiteral("Custom profiles"));
    w.click(w.optimizeButton());
    if (!QTest::qWaitFor([&] { return w.logLines().contains(QStringLiteral("a-big.sqlite...")); }, 120000))
        return 3;
    if (w.optimizeButton()->text() == QLatin1String("Stop"))
        out << "runningAtClose\n";
    closeWindow(w);
    return 0;
}

int closeDuringLoading(const MainWindowDriver& w)
{
    if (!w.refreshAction()->isEnabled())
        out << "loadingAtClose\n";
    closeWindow(w);
    return 0;
}

int list(const MainWindowDriver& w)
{
    if (!waitLoaded(w))
        return 2;
    printTicks(w);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const QString scenario = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    int appArgc = 1;
    QuorbilanApp app(appArgc, argv);
    int result = 1;
    {
        // None of the scenarios expects a question: one that comes is closed and fails the run.
        UnansweredDialogs unanswered;
        MainWindow window;
        window.show();
        MainWindowDriver w{&window};
        if (scenario == QLatin1String("save"))
            result = save(w);
        else if (scenario == QLatin1String("restore"))
            result = restore(w);
        else if (scenario == QLatin1String("closeDuringRun"))
            result = closeDuringRun(w);
        else if (scenario == QLatin1String("closeDuringLoading"))
            result = closeDuringLoading(w);
        else if (scenario == QLatin1String("list"))
            result = list(w);
        for (const QString& text : unanswered.closed())
            out << "unexpected dialog: " << text << "\n";
        if (!unanswered.closed().isEmpty())
            result = 4;
        out.flush();
    }
    return result;
}

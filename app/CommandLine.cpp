#include "CommandLine.h"

#include "AppSettings.h"
#include "Browser.h"
#include "BrowsersList.h"
#include "ConsoleOutput.h"
#include "Optimizer.h"
#include "OptimizerRelay.h"
#include "ProductIdentity.h"
#include "QtHelpers.h"
#include "RunningPrograms.h"
#include "SystemArguments.h"
#include "VisibleText.h"

#include <QDir>
#include <QEventLoop>

#include <algorithm>

namespace {

const QString productLine = QStringLiteral(QUORBILAN_PRODUCT_NAME " " QUORBILAN_VERSION_TEXT);

bool isHelpOption(const QString& arg)
{
    return arg == QLatin1String("/?") || arg == QLatin1String("-h") || arg == QLatin1String("--help")
        || arg == QLatin1String("/help");
}

bool isListOption(const QString& arg)
{
    return arg == QLatin1String("/list") || arg == QLatin1String("-list") || arg == QLatin1String("--list");
}

bool isIgnored(const QString& arg)
{
    return arg.startsWith(QLatin1String("-psn"));
}

// The toolkit's own options, as QApplication takes them out of the
// arguments: "-name" or "--name", some with a value in the next argument,
// some also as "-name=value".
struct ToolkitOption
{
    const char* name;
    bool takesValue;
    bool takesAttachedValue;
};

constexpr ToolkitOption toolkitOptions[] = {
    {"reverse", false, false},
    {"widgetcount", false, false},
    {"testability", false, false},
    {"qdevel", false, false},
    {"style", true, true},
    {"stylesheet", true, true},
    {"qmljsdebugger", true, true},
    {"session", true, false},
    {"qwindowtitle", true, false},
    {"qwindowgeometry", true, false},
    {"qwindowicon", true, false},
    {"platform", true, false},
    {"platformpluginpath", true, false},
    {"platformtheme", true, false},
    {"plugin", true, false},
};

// How many arguments from `arg` on belong to a toolkit option; 0 when `arg`
// is none.
int toolkitOptionLength(const QString& arg)
{
    QString name = arg;
    if (name.startsWith(QLatin1String("--")))
        name.remove(0, 2);
    else if (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    else
        return 0;
    for (const ToolkitOption& option : toolkitOptions) {
        const QLatin1String optionName(option.name);
        if (name == optionName)
            return option.takesValue ? 2 : 1;
        if (option.takesAttachedValue && name.startsWith(optionName + QLatin1Char('=')))
            return 1;
    }
    return 0;
}

} // namespace

QString helpText()
{
    const QStringList lines = {
        "Quorbilan command line parameters:",
        "",
        "/<program>:<profile>  optimize a certain profile. The profile name is the one",
        "                      shown in the Quorbilan profiles tree. Use the keyword",
        "                      all to mean every profile of that program",
        "",
        "/<program>:<path>     optimize a profile located at <path>, for portable",
        "                      versions of the supported programs",
        "",
        "Several profiles can be given at once. The related programs must not be",
        "running, otherwise their databases are locked and nothing is optimized.",
        "",
        "/list                 list the programs and profiles found on this computer",
        "                      without changing anything",
        "",
        "Examples:",
        "",
        "  Quorbilan /list",
        "  Quorbilan /Firefox:all",
        "  Quorbilan /Chrome:Default /Firefox:default-release",
        "  Quorbilan \"/Firefox:D:\\Portable\\Firefox\\Data\\profile\"",
    };
    QString text;
    for (const QString& line : lines)
        text += line + QLatin1Char('\n');
    return text;
}

QStringList CommandLine::programArguments(int argc, char** argv)
{
    const QStringList arguments = systemArguments(argc, argv);
    QStringList result;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& arg = arguments[i];
        const int length = i > 0 ? toolkitOptionLength(arg) : 0;
        if (length > 0)
            i += length - 1;
        else
            result.append(arg);
    }
    return result;
}

CommandLine::CommandLine(const QStringList& arguments, BrowsersList* browsersList, AppSettings* settings)
    : browsersList(browsersList)
    , settings(settings)
{
    for (const QString& arg : arguments.mid(1)) {
        if (isIgnored(arg))
            continue;
        hasArgs = true;
        if (isHelpOption(arg))
            showHelp = true;
        else if (isListOption(arg))
            listOnly = true;
        else
            profileArgs.append(arg);
    }
}

bool CommandLine::countsAsArguments(const QStringList& arguments)
{
    for (const QString& arg : arguments.mid(1)) {
        if (!isIgnored(arg))
            return true;
    }
    return false;
}

int CommandLine::run()
{
    attachConsole();
    int result = 0;
    if (showHelp || (profileArgs.isEmpty() && !listOnly)) {
        result = printHelp();
    } else {
        browsersList->reloadAll();
        browsersList->loadSettings(settings);
        result = listOnly ? printList() : optimize();
    }
    detachConsole();
    return result;
}

int CommandLine::printHelp()
{
    printLine(productLine);
    printLine(QString());
    printLine(helpText());
    return 0;
}

int CommandLine::printList()
{
    printLine(productLine);
    printLine(QString());

    const std::vector<Browser*> browsers = browsersList->browsersWithProfiles();
    if (browsers.empty()) {
        printLine(QStringLiteral("No supported programs found on this computer."));
        return 0;
    }

    const QStringList running = runningPrograms(browsersList->programsForProfiles(browsersList->allProfiles()));
    for (Browser* browser : browsers) {
        QString header = browser->name();
        if (running.contains(browser->name()))
            header += QLatin1String("  (running)");
        printLine(header);
        for (const auto& profile : browser->profiles()) {
            // The name is joined, not passed through arg(): a name holding
            // "%2" would otherwise take the count meant for the placeholder.
            printLine(QLatin1String("    ") + visibleText(profile->name).leftJustified(24)
                      + QStringLiteral("%1 databases, %2")
                            .arg(profile->databases().size(), 3)
                            .arg(formatSize(profile->totalSize())));
            printLine(QStringLiteral("        %1").arg(visibleText(QDir::toNativeSeparators(profile->path))));
            for (const QString& line : profile->listingProblems())
                printLine(QLatin1String("        ") + line);
        }
        printLine(QString());
    }
    return 0;
}

int CommandLine::optimize()
{
    std::vector<BrowserProfile*> runList;
    for (const QString& arg : std::as_const(profileArgs)) {
        QString error;
        const std::vector<BrowserProfile*> found = browsersList->parseCommandLineArgument(arg, error);
        if (!error.isEmpty())
            printError(error);
        for (BrowserProfile* profile : found) {
            if (std::find(runList.begin(), runList.end(), profile) == runList.end())
                runList.push_back(profile);
        }
    }

    if (runList.empty()) {
        printError(QStringLiteral(
            "Error: no profiles to optimize, run Quorbilan without arguments to see its command line help"));
        return 5;
    }

    const QStringList running = runningPrograms(browsersList->programsForProfiles(runList));
    if (!running.isEmpty()) {
        printError(
            QStringLiteral("Error: %1 still running, please close it first").arg(running.join(QLatin1String(", "))));
        return 1;
    }

    int result = 0;
    // The lines of one batch from the relay go out in one write.
    QStringList unwritten;
    const auto writeOut = [&unwritten] {
        printLines(unwritten);
        unwritten.clear();
    };
    Optimizer optimizer;
    auto* relay = new OptimizerRelay(&optimizer);
    QEventLoop loop;
    QObject::connect(relay, &OptimizerRelay::logLine, relay, [&](const QString& text, bool) {
        if (unwritten.isEmpty())
            QMetaObject::invokeMethod(relay, writeOut, Qt::QueuedConnection);
        unwritten << text;
    });
    QObject::connect(relay, &OptimizerRelay::finished, relay, [&](bool, bool fatalError) {
        writeOut();
        if (fatalError)
            result = 1;
        loop.quit();
    });
    optimizer.start(runList);
    loop.exec();
    optimizer.waitForFinished();
    return result;
}

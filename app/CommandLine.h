#pragma once

#include <QString>
#include <QStringList>

class AppSettings;
class BrowsersList;

// The console tool: classifies the arguments once and, when any counts, runs
// help, "/list" or the compaction of the named profiles.
class CommandLine
{
public:
    CommandLine(const QStringList &arguments, BrowsersList *browsersList, AppSettings *settings);

    // Whether the console tool runs (an argument that starts with "-psn" does not count).
    bool hasArguments() const { return hasArgs; }
    // The same classification straight from main()'s arguments, before any
    // object exists.
    static bool countsAsArguments(int argc, char **argv);

    int run();
    int printHelp();
    int printList();

private:
    int optimize();

    QStringList profileArgs;
    bool hasArgs = false;
    bool showHelp = false;
    bool listOnly = false;

    BrowsersList *browsersList;
    AppSettings *settings;
};

// The command-line help, also shown by the help dialog.
QString helpText();

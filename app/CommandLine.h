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
    // `arguments` as programArguments() gives them.
    CommandLine(const QStringList& arguments, BrowsersList* browsersList, AppSettings* settings);

    // Whether the console tool runs (an argument that starts with "-psn" does not count).
    bool hasArguments() const { return hasArgs; }
    // The program's arguments (systemArguments()) without the toolkit's own
    // options ("-reverse", "-style fusion" ...), which QApplication takes for
    // itself. Console or GUI is decided from this list alone, before any
    // object exists.
    static QStringList programArguments(int argc, char** argv);
    // The same classification as hasArguments(), on such a list.
    static bool countsAsArguments(const QStringList& arguments);

    int run();
    int printHelp();
    int printList();

private:
    int optimize();

    QStringList profileArgs;
    bool hasArgs = false;
    bool showHelp = false;
    bool listOnly = false;

    BrowsersList* browsersList;
    AppSettings* settings;
};

// The command-line help, also shown by the help dialog.
QString helpText();

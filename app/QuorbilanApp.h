#pragma once

#include "QApplicationExSingle.h"

#include <memory>

class BrowsersList;
class CommandLine;

// The application object: identity, settings, UI strings, the programs list
// and the parsed command line, reached by every part through the instance.
class QuorbilanApp : public QApplicationExSingle
{
    Q_OBJECT

public:
    QuorbilanApp(int& argc, char** argv);
    ~QuorbilanApp() override;

    static QuorbilanApp* instance();

    // The services only a GUI run has: the crash reporter and dark mode. Called
    // once, before the first window.
    void initGuiServices();

    BrowsersList* browsers() const { return browsersList.get(); }
    CommandLine* commandLineArgs() const { return commandLine.get(); }

private:
    QuorbilanApp(int& argc, char** argv, const QStringList& programArguments);
    void registerSettingsDefaults();

    std::unique_ptr<BrowsersList> browsersList;
    std::unique_ptr<CommandLine> commandLine;
};

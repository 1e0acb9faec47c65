#include "QuorbilanApp.h"

#include "AppSettings.h"
#include "BrowsersList.h"
#include "CommandLine.h"
#include "LanguageTable.h"
#include "ProductIdentity.h"
#include "ProgramLocation.h"
#include "SettingsKeys.h"

#include <QStyle>

namespace {

// Where crash reports go.
const QString SupportEmail = QStringLiteral("support@quorbilan.example.com");

// A console run answers no second start: a GUI started beside it must open its
// own window rather than hand over to a process that has none.
QApplicationExSingle::Role roleFor(const QStringList& programArguments)
{
    return CommandLine::countsAsArguments(programArguments) ? QApplicationExSingle::Role::ProbeOnly
                                                            : QApplicationExSingle::Role::Serve;
}

} // namespace

// The arguments are classified before QApplication takes its own options out
// of argv, and the console tool gets exactly that list: one decision.
QuorbilanApp::QuorbilanApp(int& argc, char** argv)
    : QuorbilanApp(argc, argv, CommandLine::programArguments(argc, argv))
{
}

QuorbilanApp::QuorbilanApp(int& argc, char** argv, const QStringList& programArguments)
    : QApplicationExSingle(argc, argv, QStringLiteral(QUORBILAN_PRODUCT_NAME),
                           QStringLiteral("quorbilan_single_instance"), roleFor(programArguments))
{
    setApplicationVersion(QStringLiteral(QUORBILAN_VERSION_TEXT));
    setOrganizationName(QStringLiteral(QUORBILAN_ORGANIZATION));
    initSettings(QStringLiteral(QUORBILAN_PRODUCT_NAME), QStringLiteral(QUORBILAN_ORGANIZATION));
    registerSettingsDefaults();
    initLanguage(QStringLiteral(":/English.xml"));
    languageTable->load(QStringLiteral("English.xml"));
    browsersList = std::make_unique<BrowsersList>();
    commandLine = std::make_unique<CommandLine>(programArguments, browsersList.get(), settings);
}

QuorbilanApp::~QuorbilanApp()
{
    commandLine.reset();
    browsersList.reset();
    setGenericFileIcon(QIcon());
}

QuorbilanApp* QuorbilanApp::instance()
{
    return static_cast<QuorbilanApp*>(QCoreApplication::instance());
}

void QuorbilanApp::initGuiServices()
{
    // Icon resource 1 is the application's icon.
    setupCrashHandler(SupportEmail, 1);
    enableDarkMode(true);
    // The programs' icons in the tree: a file the shell draws nothing for
    // shows the style's file icon, never an empty space.
    setGenericFileIcon(style()->standardIcon(QStyle::SP_FileIcon));
}

void QuorbilanApp::registerSettingsDefaults()
{
    settings->registerValueStringList(SettingSelectedProfiles, QStringList());
    settings->registerValueStringList(SettingCustomProfiles, QStringList());
    settings->registerValueString(SettingLastBrowsedDir, QString());
}

#include "QuorbilanApp.h"

#include "AppSettings.h"
#include "BrowsersList.h"
#include "CommandLine.h"
#include "LanguageTable.h"
#include "ProductIdentity.h"
#include "SettingsKeys.h"

namespace {

// A console run answers no second start: a GUI started beside it must open its
// own window rather than hand over to a process that has none.
QApplicationExSingle::Role roleFor(int argc, char **argv)
{
    return CommandLine::countsAsArguments(argc, argv) ? QApplicationExSingle::Role::ProbeOnly
                                                     : QApplicationExSingle::Role::Serve;
}

} // namespace

QuorbilanApp::QuorbilanApp(int &argc, char **argv)
    : QApplicationExSingle(argc, argv, QStringLiteral(QUORBILAN_PRODUCT_NAME), QStringLiteral("quorbilan_single_instance"),
                           roleFor(argc, argv))
{
    setApplicationVersion(QStringLiteral(QUORBILAN_VERSION_TEXT));
    setOrganizationName(QStringLiteral(QUORBILAN_ORGANIZATION));
    initSettings(QStringLiteral(QUORBILAN_PRODUCT_NAME), QStringLiteral(QUORBILAN_ORGANIZATION));
    registerSettingsDefaults();
    initLanguage(QStringLiteral(":/English.xml"));
    languageTable->load(QStringLiteral("English.xml"));
    browsersList = std::make_unique<BrowsersList>();
    commandLine = std::make_unique<CommandLine>(arguments(), browsersList.get(), settings);
}

QuorbilanApp::~QuorbilanApp()
{
    commandLine.reset();
    browsersList.reset();
}

QuorbilanApp *QuorbilanApp::instance()
{
    return static_cast<QuorbilanApp *>(QCoreApplication::instance());
}

void QuorbilanApp::registerSettingsDefaults()
{
    settings->registerValueStringList(SettingSelectedProfiles, QStringList());
    settings->registerValueStringList(SettingCustomProfiles, QStringList());
    settings->registerValueString(SettingLastBrowsedDir, QString());
}

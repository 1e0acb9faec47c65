// A "Local State" of any content in the user-data folders of a Chromium
// program of the usual layout and of Opera (single-profile layout with side
// profiles, which must not read it).
#include "FuzzWorld.h"

#include "ChromiumFamilyBrowser.h"
#include "ProgramFixture.h"

#include <QStringList>

#include <cstdint>

namespace {

struct Program
{
    ChromiumBrowserInfo row;
    QString userDataDir;
};

Program chrome;
Program opera;
QStringList operaProfiles; // as found before any fuzzed input

ChromiumBrowserInfo tableRow(const QString& name)
{
    for (ChromiumBrowserInfo& row : chromiumBrowserTable()) {
        if (row.name == name)
            return row;
    }
    Fuzz::fail(__FILE__, __LINE__, "program missing from the table");
}

QStringList profileLines(ChromiumFamilyBrowser& browser)
{
    QStringList lines;
    for (const auto& profile : browser.profiles())
        lines.append(profile->name + QLatin1Char('|') + profile->title + QLatin1Char('|') + profile->path);
    return lines;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::silenceQtMessages();
    const TestSupport::ProgramFixture& world = Fuzz::world();
    chrome = {tableRow(QStringLiteral("Chrome")), world.localAppData() + QStringLiteral("/Google/Chrome/User Data")};
    opera = {tableRow(QStringLiteral("Opera")), world.appData() + QStringLiteral("/Opera Software/Opera Stable")};
    ChromiumFamilyBrowser browser(opera.row);
    browser.loadProfiles();
    operaProfiles = profileLines(browser);
    FUZZ_CHECK(operaProfiles.size() == 2);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray content = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    Fuzz::writeWholeFile(chrome.userDataDir + QStringLiteral("/Local State"), content);
    Fuzz::writeWholeFile(opera.userDataDir + QStringLiteral("/Local State"), content);

    const QHash<QString, QString> names = readLocalState(chrome.userDataDir);

    ChromiumFamilyBrowser browser(chrome.row);
    browser.loadProfiles();
    const auto& profiles = browser.profiles();
    for (size_t i = 0; i < profiles.size(); ++i) {
        const BrowserProfile& profile = *profiles[i];
        FUZZ_CHECK(profile.path == chrome.userDataDir + QLatin1Char('/') + profile.name);
        // A profile folder is one folder of the user-data folder, whatever the file names.
        FUZZ_CHECK(!profile.name.isEmpty());
        FUZZ_CHECK(!profile.name.contains(QLatin1Char('/')) && !profile.name.contains(QLatin1Char('\\')));
        FUZZ_CHECK(profile.name != QLatin1String(".") && profile.name != QLatin1String(".."));
        if (!names.isEmpty())
            FUZZ_CHECK(names.contains(profile.name));
        const QString userName = names.value(profile.name);
        if (profile.title.isEmpty())
            FUZZ_CHECK(userName.isEmpty() || userName == profile.name);
        else
            FUZZ_CHECK(profile.title == QStringLiteral("%1 (%2)").arg(profile.name, userName));
        if (profile.name == QLatin1String("Default"))
            FUZZ_CHECK(i == 0);
    }

    ChromiumFamilyBrowser side(opera.row);
    side.loadProfiles();
    FUZZ_CHECK(profileLines(side) == operaProfiles);
    return 0;
}

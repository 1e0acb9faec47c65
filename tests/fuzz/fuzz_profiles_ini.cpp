// A profiles.ini of any content, read from a Firefox data folder of the real
// layout and walked into profiles.
#include "FuzzWorld.h"

#include "FirefoxFamilyBrowser.h"
#include "IniFile.h"
#include "PathHelpers.h"
#include "ProgramFixture.h"

#include <QFileInfo>

#include <cstdint>

namespace {

QString iniPath;
FirefoxBrowserInfo firefoxRow;

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::silenceQtMessages();
    firefoxRow = firefoxBrowserTable().front();
    iniPath = Fuzz::world().appData() + QStringLiteral("/Mozilla/Firefox/profiles.ini");
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Fuzz::writeWholeFile(iniPath, QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size)));

    const auto groups = readIniFile(iniPath);
    for (auto it = groups.cbegin(); it != groups.cend(); ++it) {
        for (auto value = it->cbegin(); value != it->cend(); ++value) {
            // Lines are trimmed, and a key never holds the '=' that ends it.
            FUZZ_CHECK(!value.key().isEmpty());
            FUZZ_CHECK(!value.key().contains(QLatin1Char('=')));
            FUZZ_CHECK(value.value() == value.value().trimmed());
        }
    }

    FirefoxFamilyBrowser firefox(firefoxRow);
    firefox.loadProfiles();
    const auto& profiles = firefox.profiles();
    for (size_t i = 0; i < profiles.size(); ++i) {
        FUZZ_CHECK(QFileInfo(profiles[i]->path).isDir());
        // A folder listed twice is one profile.
        for (size_t j = i + 1; j < profiles.size(); ++j)
            FUZZ_CHECK(normalizePath(profiles[i]->path).compare(normalizePath(profiles[j]->path), Qt::CaseInsensitive)
                       != 0);
    }
    return 0;
}

#include "ChromiumBrowserInfo.h"

std::vector<ChromiumBrowserInfo> chromiumBrowserTable()
{
    // The stable channels list their executable first; the other channels
    // have their own shortcut name and share the stable executable's name.
    std::vector<ChromiumBrowserInfo> table = {
        {"Chrome", "Google/Chrome/User Data", {"chrome", "Google Chrome"}, {"chrome.exe", "Google Chrome"}},
        {"Chrome Beta",
         "Google/Chrome Beta/User Data",
         {"chrome", "Google Chrome Beta"},
         {"Google Chrome Beta", "chrome.exe"}},
        {"Chrome Dev",
         "Google/Chrome Dev/User Data",
         {"chrome", "Google Chrome Dev"},
         {"Google Chrome Dev", "chrome.exe"}},
        {"Chrome Canary",
         "Google/Chrome SxS/User Data",
         {"chrome", "Google Chrome Canary"},
         {"Google Chrome Canary", "chrome.exe"}},
        {"Edge", "Microsoft/Edge/User Data", {"msedge", "Microsoft Edge"}, {"msedge.exe", "Microsoft Edge"}},
        {"Edge Beta",
         "Microsoft/Edge Beta/User Data",
         {"msedge", "Microsoft Edge Beta"},
         {"Microsoft Edge Beta", "msedge.exe"}},
        {"Edge Dev",
         "Microsoft/Edge Dev/User Data",
         {"msedge", "Microsoft Edge Dev"},
         {"Microsoft Edge Dev", "msedge.exe"}},
        {"Edge Canary",
         "Microsoft/Edge SxS/User Data",
         {"msedge", "Microsoft Edge Canary"},
         {"Microsoft Edge Canary", "msedge.exe"}},
        {"Brave", "BraveSoftware/Brave-Browser/User Data", {"brave", "Brave Browser"}, {"brave.exe", "Brave Browser"}},
        {"Brave Beta",
         "BraveSoftware/Brave-Browser-Beta/User Data",
         {"brave", "Brave Browser Beta"},
         {"Brave Beta", "brave.exe"}},
        {"Brave Nightly",
         "BraveSoftware/Brave-Browser-Nightly/User Data",
         {"brave", "Brave Browser Nightly"},
         {"Brave Nightly", "brave.exe"}},
        {"Vivaldi", "Vivaldi/User Data", {"vivaldi", "Vivaldi"}, {"vivaldi.exe", "Vivaldi"}},
        {"Vivaldi Snapshot",
         "Vivaldi Snapshot/User Data",
         {"vivaldi", "Vivaldi Snapshot"},
         {"Vivaldi Snapshot", "vivaldi.exe"}},
        {"Chromium", "Chromium/User Data", {"chromium", "Chromium"}, {"chromium.exe", "Chromium"}},
    };

    // Opera keeps its profile straight in the user-data folder, under the
    // roaming folder.
    struct OperaRow
    {
        const char* name;
        const char* folder;
        const char* appName;
    };
    static constexpr OperaRow operaRows[] = {
        {"Opera", "Opera Stable", "Opera"},
        {"Opera GX", "Opera GX Stable", "Opera GX"},
        {"Opera Air", "Opera Air Stable", "Opera Air"},
    };
    for (const OperaRow& opera : operaRows) {
        const QString appName = QString::fromLatin1(opera.appName);
        table.push_back({QString::fromLatin1(opera.name),
                         QStringLiteral("Opera Software/") + QLatin1String(opera.folder),
                         {QStringLiteral("opera"), appName},
                         {appName, QStringLiteral("opera.exe")},
                         true,
                         true});
    }
    return table;
}

#include "FirefoxBrowserInfo.h"

std::vector<FirefoxBrowserInfo> firefoxBrowserTable()
{
    return {
        {"Firefox", "Mozilla/Firefox", {"firefox"}, {"firefox.exe", "Firefox"}},
        {"Waterfox", "Waterfox", {"waterfox"}, {"waterfox.exe", "Waterfox"}},
        {"SeaMonkey", "Mozilla/SeaMonkey", {"seamonkey"}, {"seamonkey.exe", "SeaMonkey"}},
        {"Zen", "zen", {"zen"}, {"zen.exe", "Zen", "Zen Browser"}},
        {"LibreWolf", "librewolf", {"librewolf"}, {"librewolf.exe", "LibreWolf"}},
        {"Floorp", "Floorp", {"floorp"}, {"floorp.exe", "Floorp"}},
        {"Pale Moon", "Moonchild Productions/Pale Moon", {"palemoon"}, {"palemoon.exe", "Pale Moon"}},
        {"Basilisk", "Moonchild Productions/Basilisk", {"basilisk"}, {"basilisk.exe", "Basilisk"}},
        {"Thunderbird", "Thunderbird", {"thunderbird"}, {"thunderbird.exe", "Thunderbird"}},
        {"Betterbird", "Betterbird", {"betterbird"}, {"betterbird.exe", "Betterbird"}},
    };
}

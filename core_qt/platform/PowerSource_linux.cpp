#include "PowerSource.h"
#include "PowerSupplyFolder.h"

#include <dirent.h>

#include <fstream>
#include <string>

namespace {

std::string firstLine(const std::string& file)
{
    std::ifstream in(file);
    std::string line;
    std::getline(in, line);
    return line;
}

} // namespace

// A mains supply that is online means AC; mains supplies that are all offline
// mean battery; a machine without one (a desktop in a container, a server)
// cannot say.
System::PowerSource powerSourceIn(const std::string& folder)
{
    DIR* dir = opendir(folder.c_str());
    if (!dir)
        return System::Unknown;
    bool mains = false;
    bool online = false;
    while (const dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string supply = folder + "/" + name;
        if (firstLine(supply + "/type") != "Mains")
            continue;
        mains = true;
        if (firstLine(supply + "/online") == "1")
            online = true;
    }
    closedir(dir);
    if (!mains)
        return System::Unknown;
    return online ? System::AC : System::Battery;
}

System::PowerSource currentPowerSource()
{
    return powerSourceIn("/sys/class/power_supply");
}

#include "PowerSource.h"

#include <windows.h>

System::PowerSource currentPowerSource()
{
    SYSTEM_POWER_STATUS status{};
    if (!GetSystemPowerStatus(&status))
        return System::Unknown;
    switch (status.ACLineStatus) {
    case 1:
        return System::AC;
    case 0:
        return System::Battery;
    default:
        return System::Unknown;
    }
}

#pragma once

#include "PowerSource.h"

#include <string>

// The power source as the kernel's power-supply folder describes it
// (/sys/class/power_supply on a live system).
System::PowerSource powerSourceIn(const std::string& folder);

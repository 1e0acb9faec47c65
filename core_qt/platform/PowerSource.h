#pragma once

namespace System {

// Where the machine takes its power from.
enum PowerSource { AC = 0, Battery = 1, Unknown = 2 };

} // namespace System

// The current power source; Unknown when the system cannot say.
System::PowerSource currentPowerSource();

#include "ConsoleOutput.h"

// The Windows platform plugin starts without a display of its own.
void prepareConsolePlatform() { }

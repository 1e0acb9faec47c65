#include "WindowSystem.h"

// Every interactive Windows session has a desktop to draw on.
bool windowSystemAvailable()
{
    return true;
}

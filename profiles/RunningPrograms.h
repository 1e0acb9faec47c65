#pragma once

#include "BrowsersList.h"

#include <QStringList>

#include <vector>

// The image path of every running process (a bare file name where no path
// can be read), in the system's order.
QStringList runningProcessNames();

// The programs of `programs` that have a running process, each named once, in
// the order their processes are found. A process counts when its file name
// without extension equals one of the program's process names, ignoring case,
// and it runs for the current user (zombies never count).
QStringList runningPrograms(const std::vector<ProgramProcessNames>& programs);

#pragma once

#include <QStringList>

// The program's command line as the system holds it, its own path first.
// main()'s argv is only a copy in the system's 8-bit encoding: on Windows that
// is the ANSI code page, which loses every character it lacks, so the Windows
// body reads the wide command line itself.
QStringList systemArguments(int argc, char** argv);

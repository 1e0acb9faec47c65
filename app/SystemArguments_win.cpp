#include "SystemArguments.h"

#include <windows.h>

#include <shellapi.h>

QStringList systemArguments(int argc, char** argv)
{
    QStringList arguments;
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    // The runtime splits argv from the same line; should the two rules ever
    // disagree on a quote, argv's split is the one the toolkit sees, so the
    // arguments keep its count and lose only what the code page lacks.
    if (wide && count == argc) {
        for (int i = 0; i < count; ++i)
            arguments.append(QString::fromWCharArray(wide[i]));
    } else {
        for (int i = 0; i < argc; ++i)
            arguments.append(QString::fromLocal8Bit(argv[i]));
    }
    if (wide)
        LocalFree(wide);
    return arguments;
}

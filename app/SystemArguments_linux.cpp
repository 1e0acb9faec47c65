#include "SystemArguments.h"

// argv is the command line itself, in the locale's encoding.
QStringList systemArguments(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return arguments;
}

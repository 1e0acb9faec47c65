// Arguments of any content, separated by NUL bytes as in argv (the first is
// the program's own name): the toolkit's options taken out, classified by the
// console tool and, one by one, looked up as "/<program>:<profile>" over the
// real layout of every program.
#include "FuzzWorld.h"

#include "BrowsersList.h"
#include "CommandLine.h"
#include "ProgramFixture.h"

#include <QDir>
#include <QFileInfo>

#include <cstdint>
#include <vector>

namespace {

BrowsersList* browsers = nullptr;
QString worldRoot;

// Folders outside the tree are the machine's own: listing them (all of "/",
// or /proc) is not what this target tests.
bool namesFolderOutsideWorld(const QString& argument)
{
    const qsizetype colon = argument.indexOf(QLatin1Char(':'));
    if (colon < 0)
        return false;
    const QFileInfo folder(argument.mid(colon + 1));
    if (!folder.isDir())
        return false;
    const QString path = QDir::cleanPath(folder.absoluteFilePath());
    return path != worldRoot && !path.startsWith(worldRoot + QLatin1Char('/'));
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    Fuzz::silenceQtMessages();
    worldRoot = QDir::cleanPath(Fuzz::world().root());
    // Relative folders are taken from here.
    FUZZ_CHECK(QDir::setCurrent(worldRoot));
    browsers = new BrowsersList;
    browsers->reloadAll();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    QList<QByteArray> raw = input.split('\0');
    std::vector<char*> argv;
    for (QByteArray& argument : raw) {
        argument.detach(); // NUL-terminated copies of their own for argv
        argv.push_back(argument.data());
    }
    const int argc = int(argv.size());
    argv.push_back(nullptr);

    // main()'s arguments without the toolkit's options; the console-or-GUI
    // decision from that list and the tool's own classification agree.
    const QStringList arguments = CommandLine::programArguments(argc, argv.data());
    FUZZ_CHECK(!arguments.isEmpty() && arguments.size() <= argc);
    const CommandLine commandLine(arguments, browsers, nullptr);
    FUZZ_CHECK(commandLine.hasArguments() == CommandLine::countsAsArguments(arguments));

    for (const QString& argument : arguments.mid(1)) {
        if (namesFolderOutsideWorld(argument))
            continue;
        QString error;
        const std::vector<BrowserProfile*> found = browsers->parseCommandLineArgument(argument, error);
        FUZZ_CHECK(found.empty() != error.isEmpty());
        for (const BrowserProfile* profile : found)
            FUZZ_CHECK(profile != nullptr);
    }

    // Folders named by path became custom profiles; the next input starts without them.
    while (!browsers->customProfiles().empty())
        browsers->removeCustomProfile(browsers->customProfiles().back().get());
    return 0;
}

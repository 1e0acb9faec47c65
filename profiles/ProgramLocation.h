#pragma once

#include <QHash>
#include <QIcon>
#include <QString>
#include <QStringList>

#include <memory>

// Where the supported programs are installed, their icons, and the per-user
// data folders under which they keep their profiles.

// While one lives, the look-ups of its thread read each folder of the
// executable search path once and answer from those listings, instead of
// probing every name in every folder. Made for one discovery of all programs:
// a file added to a folder after its listing is not seen until the next scope.
class ProgramLookupScope
{
public:
    ProgramLookupScope();
    ~ProgramLookupScope();

    ProgramLookupScope(const ProgramLookupScope&) = delete;
    ProgramLookupScope& operator=(const ProgramLookupScope&) = delete;

    struct Index;

private:
    std::unique_ptr<Index> index;
    Index* previous = nullptr;
};

// The executable (or shortcut target) of the first application name that can
// be located; empty when none can. Each name is tried as an executable name
// first, then as a display name.
QString findProgramPath(const QStringList& appNames);

// An executable registered for this name ("firefox.exe"), or empty. On Linux:
// the executable of that name on PATH, ".exe" dropped.
QString findInAppPaths(const QString& appName);

// The program behind a menu entry of this display name ("Google Chrome"), the
// entry itself when its target is gone, or empty. On Linux the menu is made of
// XDG .desktop files.
QString findInStartMenu(const QString& appName);

// Lower-cased entry name -> entry file, built once per process; the user's
// entries come before the system-wide ones.
const QHash<QString, QString>& buildShortcutIndex();

// The file's icon as the desktop shows it; a null icon for an empty path.
// Windows: where the shell draws nothing for the file, the generic file icon.
QIcon iconForPath(const QString& path);

// The generic file icon iconForPath falls back to on Windows. It comes from the
// widget style, which this library does not link: the GUI sets it before its
// first window and clears it before the application object goes. GUI thread only.
void setGenericFileIcon(const QIcon& icon);
QIcon genericFileIcon();

// LOCALAPPDATA and APPDATA with forward slashes; empty when unset.
QString localAppDataDir();
QString appDataDir();

// base + "/" + relative without trailing slashes; empty when either is empty.
QString joinPath(const QString& base, const QString& relative);

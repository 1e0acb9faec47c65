#pragma once

#include "WineProgram.h"

#include <QImage>
#include <QPoint>
#include <QProcess>
#include <QSize>
#include <QString>
#include <QStringList>

// What the GUI tests of the Windows program share: the program started in a
// prefix without waiting for it, its settings set beforehand, and its windows
// found and driven with xdotool on the test's X display (xvfb-run).
namespace WineDesktop {

// A folder holding the deployed program's DLLs and plugins (linked, not
// copied) with `exe` as its quorbilan.exe: a test build of the program runs
// there as the real one would. False when the folder cannot be made.
bool makeProgramFolder(const QString& folder, const QString& exe);

// Sets a value of the program's settings in the prefix's registry
// (HKCU\Software\<organisation>\<product>); type as `reg add` takes it.
bool setSetting(const WinePrefix& prefix, const QString& name, const QString& type, const QString& data);

// A value of the program's settings as `reg query` shows it; empty when absent.
QString setting(const WinePrefix& prefix, const QString& name);
bool removeSetting(const WinePrefix& prefix, const QString& name);

// Sets a value under any key of the prefix's registry (`reg add`; the key
// written out, HKCU\Software\...).
bool setRegistryValue(const WinePrefix& prefix, const QString& key, const QString& name, const QString& type,
                      const QString& data);

// The main window's whole title.
QString mainWindowTitle();

// An update feed address on this machine where nothing answers: the check the
// program runs at start fails at once, silently, and schedules the next one.
QString refusedFeedUrl();

// Starts `program` under Wine in the prefix, in `workingDir`, with `extra`
// added to the prefix's environment.
void start(QProcess& process, const WinePrefix& prefix, const QString& program, const QString& workingDir,
           const QStringList& extra = {});

// The visible windows whose whole title is `title`, now.
QStringList windows(const QString& title);

// What the window shows now, read from the test's X display: needs a
// QGuiApplication on the xcb platform. Null when it cannot be read.
QImage windowImage(const QString& window);

// Gives a window the keyboard focus and types the keys (xdotool key names).
void keys(const QString& window, const QStringList& keyNames);

// A window's size on the display, its frame included (Wine draws the frames);
// empty when it is gone.
QSize size(const QString& window);

// Moves the pointer to `point` of the window (its frame's top left is 0, 0)
// and clicks the left button there.
void click(const QString& window, const QPoint& point);

} // namespace WineDesktop

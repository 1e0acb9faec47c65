#pragma once

#include <string>
#include <unordered_map>

// Where an installed program is: the App Paths registry keys and the Start
// Menu shortcuts. Paths come back with forward slashes.
namespace ProgramLocationIndex {

// The default value of the App Paths key of `appName` ("chrome.exe"), looked
// up for the current user, then the machine, each in the 64-bit view, then the
// 32-bit view. Quotes are dropped; a REG_EXPAND_SZ value is expanded, since
// installers write "%ProgramFiles%\..." that way and an unexpanded path never
// exists; only a path that exists counts. False and `path` unchanged when no
// entry gives one.
bool findInAppPaths(const std::wstring& appName, std::wstring& path);

// Lower-cased shortcut name without ".lnk" -> the shortcut's path, over the
// user's Start Menu, then the all-users one (all levels below each); the first
// shortcut of a name wins. Built once per process.
const std::unordered_map<std::wstring, std::wstring>& shortcutIndex();

// The existing target of the shortcut named `appName` (any letter case), the
// shortcut itself when its target is gone. False when no shortcut has the name.
bool findInStartMenu(const std::wstring& appName, std::wstring& path);

// The target path of a .lnk file; false when it cannot be read.
bool shortcutTarget(const std::wstring& shortcut, std::wstring& target);

} // namespace ProgramLocationIndex

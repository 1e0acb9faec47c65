#include "QApplicationEx.h"

#include "FileVersionInfo.h"
#include "ProcessHelpers.h"

#include <QWidget>

#include <windows.h>

QApplicationEx::VersionNumbers QApplicationEx::readOwnVersion()
{
    FileVersionInfo info;
    const std::wstring file = ProcessHelpers::moduleFileName(ProcessHelpers::currentModule());
    readFileVersionInfo(file.c_str(), info);
    return {info.major(), info.minor(), info.build(), info.revision()};
}

void QApplicationEx::forceForegroundWindow(QWidget* widget)
{
    if (!widget)
        return;
    // Windows refuses the foreground to a background process unless its input
    // is attached to the thread that owns the current foreground window.
    const HWND hwnd = reinterpret_cast<HWND>(widget->window()->winId());
    if (IsIconic(hwnd))
        ShowWindow(hwnd, SW_RESTORE);
    const DWORD foregroundThread = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
    const DWORD currentThread = GetCurrentThreadId();
    AttachThreadInput(currentThread, foregroundThread, TRUE);
    SetForegroundWindow(hwnd);
    BringWindowToTop(hwnd);
    SetFocus(hwnd);
    AttachThreadInput(currentThread, foregroundThread, FALSE);
}

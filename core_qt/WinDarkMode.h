#pragma once

class QWidget;

// Mix-in that gives a window the title bar of the system's light/dark setting
// while the application runs with dark-mode support, and keeps it in step
// when the application watches the setting. Without support it does nothing.
class WinDarkMode
{
public:
    explicit WinDarkMode(QWidget* widget);

    // Run at construction and again on every change of the setting; the
    // window follows changes through one notification object, never more.
    static void applyWindowDarkMode(QWidget* widget);
};

#pragma once

class QWidget;

// Mix-in that gives a window a dark title bar while the application runs in
// dark mode and keeps it in step with the system setting. Title-bar colouring
// is Windows-only; until the dark-mode support arrives it does nothing.
class WinDarkMode
{
public:
    explicit WinDarkMode(QWidget* /*widget*/) {}
};

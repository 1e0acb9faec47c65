#pragma once

class QWidget;

// Mix-in for dialogs: removes the context-help button from the title bar.
class FlagsAdjusted
{
public:
    explicit FlagsAdjusted(QWidget* widget);
};

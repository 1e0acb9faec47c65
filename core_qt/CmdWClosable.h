#pragma once

class QWidget;

// Mix-in carrying the flag that tells a closing window the application is
// quitting (or the session is ending), so it must close for real.
class CmdWClosable
{
public:
    explicit CmdWClosable(QWidget* /*widget*/) { }

    bool quitting = false;
};

#pragma once

#include <QString>

// Text from other programs' files (profile names, folder and file names) made
// safe to show on a console, in the log or in a message box: control
// characters (C0, DEL, C1), line and paragraph separators and the
// bidirectional controls become visible stand-ins, so a name can neither
// start a line of its own nor send sequences to the terminal.
QString visibleText(const QString& text);

#pragma once

// Whether a GUI start can reach a window system at all. Without one the
// toolkit aborts with a dump of its platform plugins; the caller says so in
// one line instead.
bool windowSystemAvailable();

#pragma once

#include <memory>

class MainWindow;
class QuorbilanApp;

// The main window of a GUI run, not yet shown; a later start of the program
// brings it to the front for as long as it lives.
std::unique_ptr<MainWindow> createMainWindow(QuorbilanApp& app);

// The GUI run: the window lives until the event loop ends; returns the loop's
// result.
int runGui(QuorbilanApp& app);

#pragma once

#include <QString>
#include <QStringList>

// Whole lines to standard output and standard error for the command-line mode.
// Between attachConsole() and detachConsole(); lines printed outside are dropped.
// The platform layer's ConsoleWriter does the writing.
void attachConsole();
void detachConsole();
void printLine(const QString& text);
// The same as printLine for each, in as few writes as the console allows.
void printLines(const QStringList& lines);
void printError(const QString& text);

// Called before the application object exists when the program starts as the
// console tool: sets up what the platform needs for a run without windows.
void prepareConsolePlatform();

#pragma once

#include <QIcon>
#include <QString>

class AppSettings;
class QAbstractButton;
class QMainWindow;
class QWidget;

// Shows the file selected in the system's file manager. A path that does not
// exist opens the folder that would hold it when `openFolderIfMissing` is set.
void showInExplorer(const QString& path, bool openFolderIfMissing);

// The program's icon at 16, 32, 64 and 128 pixels; made once per process.
QIcon appIcon();

// Opens the folder in the system's file manager.
void openFolder(const QString& folder);

// The platform parts of the above (QtHelpers_linux.cpp, QtHelpers_win.cpp):
// selects an existing file in the file manager; loads the program's icon from
// where the platform keeps it, null when there is none.
void selectInFileManager(const QString& path);
QIcon loadAppIcon();

// A size as the program shows it everywhere: one decimal and the traditional
// 1024-based units in the user's locale ("6.2 MB").
QString formatSize(qint64 bytes);

// Lowers the widget's font by `points`; a null widget is left alone.
void decreaseFontSize(QWidget* widget, double points);

// Gives a button whose text nearly fills it one blank on each side.
void padButtonText(QAbstractButton* button);

// Geometry and dock/toolbar state under "WindowGeometry" and "WindowState";
// restoring is true only when both were applied.
bool restoreWindowState(QMainWindow* window, AppSettings* settings);
void saveWindowState(QMainWindow* window, AppSettings* settings);

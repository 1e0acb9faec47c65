#pragma once

class QDialog;
class QHBoxLayout;
class QIcon;

// The layout both update dialogs share: one row in the dialog whose left
// column holds the application icon at 64 x 64, kept at the top. The caller
// adds the right-hand column to the returned row.
QHBoxLayout* addIconRow(QDialog* dialog, const QIcon& icon);

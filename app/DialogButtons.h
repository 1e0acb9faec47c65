#pragma once

class QBoxLayout;
class QPushButton;
class QWidget;

// The bottom row of a small dialog: its "Close" button at the right, the
// default button; the caller connects it.
QPushButton* addCloseButtonRow(QBoxLayout* layout, QWidget* dialog);

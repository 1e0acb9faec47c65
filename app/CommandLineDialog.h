#pragma once

#include "QDialogEx.h"

class QPlainTextEdit;
class QPushButton;

// The command-line help, the same text the console tool prints, in a
// read-only fixed-width box that scrolls instead of wrapping.
class CommandLineDialog : public QDialogEx
{
    Q_OBJECT

public:
    explicit CommandLineDialog(QWidget* parent = nullptr);

private:
    void setupUi();

    QPlainTextEdit* textEdit = nullptr;
    QPushButton* closeButton = nullptr;
};

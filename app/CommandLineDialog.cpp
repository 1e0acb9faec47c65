#include "CommandLineDialog.h"

#include "CommandLine.h"
#include "DialogButtons.h"

#include <QFontDatabase>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

CommandLineDialog::CommandLineDialog(QWidget* parent)
    : QDialogEx(parent)
{
    setupUi();
    setWindowTitle(QStringLiteral("Command line"));
    textEdit->setPlainText(helpText());
    connect(closeButton, &QPushButton::clicked, this, &QDialog::accept);
}

void CommandLineDialog::setupUi()
{
    auto* layout = new QVBoxLayout(this);
    textEdit = new QPlainTextEdit(this);
    textEdit->setObjectName(QStringLiteral("textEdit"));
    textEdit->setReadOnly(true);
    textEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
    textEdit->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    layout->addWidget(textEdit, 1);

    closeButton = addCloseButtonRow(layout, this);

    resize(620, 380);
}

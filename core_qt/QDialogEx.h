#pragma once

#include "CmdWClosable.h"
#include "FlagsAdjusted.h"
#include "WinDarkMode.h"

#include <QDialog>

// Base of every dialog: follows dark mode and has no context-help button.
class QDialogEx : public QDialog, public WinDarkMode, public CmdWClosable, public FlagsAdjusted
{
public:
    explicit QDialogEx(QWidget* parent = nullptr, Qt::WindowFlags flags = Qt::WindowFlags());
    ~QDialogEx() override;
};

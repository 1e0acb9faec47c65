#include "QDialogEx.h"

QDialogEx::QDialogEx(QWidget* parent, Qt::WindowFlags flags)
    : QDialog(parent, flags)
    , WinDarkMode(this)
    , CmdWClosable(this)
    , FlagsAdjusted(this)
{
}

QDialogEx::~QDialogEx() = default;

#pragma once

#include "QMessageBoxLocalized.h"

// The update service's message box: pads tight button texts and shows the
// main text in bold.
class QMessageBoxEx : public QMessageBoxLocalized
{
    Q_OBJECT

public:
    explicit QMessageBoxEx(QWidget* parent = nullptr);
    ~QMessageBoxEx() override;

    int exec() override;

protected:
    void showEvent(QShowEvent* event) override;
};

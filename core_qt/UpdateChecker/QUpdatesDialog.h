#pragma once

#include "QDialogEx.h"

class QCloseEvent;
class QUpdateChecker;

// The "new version" window: the release notes of every newer version, the
// automatic-check box and three choices. exec() returns 0 remind later (also
// closing the window), 1 skip this version, 2 install.
class QUpdatesDialog : public QDialogEx
{
    Q_OBJECT

public:
    QUpdatesDialog(QUpdateChecker* checker, QWidget* parent);
    ~QUpdatesDialog() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private slots:
    void slotRemindLater();
    void slotAutoUpdateToggle(bool bToggle);
    void slotSkip();
    void slotInstall();

private:
    void setupUi();

    QUpdateChecker* checker;
};

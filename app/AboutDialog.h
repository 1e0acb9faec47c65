#pragma once

#include "QDialogEx.h"

class QLabel;
class QPushButton;

// The About box: icon, product name with version and build, description,
// maker and a link to the home page.
class AboutDialog : public QDialogEx
{
    Q_OBJECT

public:
    explicit AboutDialog(QWidget* parent = nullptr);

private:
    void setupUi();

    QLabel* iconLabel = nullptr;
    QLabel* titleLabel = nullptr;
    QLabel* textLabel = nullptr;
    QPushButton* closeButton = nullptr;
};

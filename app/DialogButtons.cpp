#include "DialogButtons.h"

#include <QBoxLayout>
#include <QPushButton>

QPushButton* addCloseButtonRow(QBoxLayout* layout, QWidget* dialog)
{
    auto* row = new QHBoxLayout;
    row->addStretch(1);
    auto* button = new QPushButton(QStringLiteral("Close"), dialog);
    button->setObjectName(QStringLiteral("closeButton"));
    button->setDefault(true);
    row->addWidget(button);
    layout->addLayout(row);
    return button;
}

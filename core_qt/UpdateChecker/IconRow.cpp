#include "IconRow.h"

#include <QDialog>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QSpacerItem>
#include <QVBoxLayout>

QHBoxLayout* addIconRow(QDialog* dialog, const QIcon& icon)
{
    auto* dialogLayout = new QVBoxLayout(dialog);
    auto* row = new QHBoxLayout();
    dialogLayout->addLayout(row);

    auto* left = new QVBoxLayout();
    auto* iconLabel = new QLabel(dialog);
    iconLabel->setObjectName("iconLabel");
    if (!icon.isNull())
        iconLabel->setPixmap(icon.pixmap(64, 64, QIcon::Normal, QIcon::Off));
    iconLabel->setSizePolicy(QSizePolicy::Minimum, QSizePolicy::Minimum);
    iconLabel->setFixedSize(64, 64);
    iconLabel->setMaximumWidth(64);
    left->addWidget(iconLabel);
    left->addItem(new QSpacerItem(-1, -1, QSizePolicy::Fixed, QSizePolicy::Expanding));
    row->addLayout(left);
    return row;
}

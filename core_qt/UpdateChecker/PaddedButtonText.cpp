#include "PaddedButtonText.h"

#include <QAbstractButton>

void setPaddedButtonText(QAbstractButton* button)
{
    const QString padding(4, QChar(' '));
    button->setText(padding + button->text() + padding);
}

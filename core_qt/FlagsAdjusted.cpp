#include "FlagsAdjusted.h"

#include <QWidget>

FlagsAdjusted::FlagsAdjusted(QWidget* widget)
{
    widget->setWindowFlags(widget->windowFlags() & ~Qt::WindowContextHelpButtonHint);
}

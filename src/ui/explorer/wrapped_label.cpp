#include "ui/explorer/wrapped_label.h"

#include <QLabel>

void fitWrappedLabel(QLabel* label, int width)
{
    label->setWordWrap(true);
    label->setFixedWidth(width);
    label->setFixedHeight(label->heightForWidth(width));
}

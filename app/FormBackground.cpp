#include "app/FormBackground.h"

#include <QColor>
#include <QPalette>
#include <QWidget>

void UseFormBackground(QWidget* form)
{
    QPalette colours = form->palette();
    colours.setColor(QPalette::Window, QColor(0xF2, 0xF2, 0xF2));
    form->setPalette(colours);
}

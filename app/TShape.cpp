#include "app/TShape.h"

#include "output/WinColor.h"

#include <QMouseEvent>
#include <QPainter>

TShape::TShape(QWidget* parent) : QWidget(parent)
{
}

void TShape::SetBrushColor(std::uint32_t color)
{
    if (color == brushColor_)
        return;
    brushColor_ = color;
    update();
}

void TShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QRect box = rect().adjusted(0, 0, -1, -1);
    painter.setBrush(ColorFromWin(brushColor_));
    painter.setPen(palette().color(isEnabled() ? QPalette::Active : QPalette::Disabled, QPalette::WindowText));
    painter.drawRect(box);
}

void TShape::mousePressEvent(QMouseEvent* event)
{
    event->accept();
    emit MouseDown(event->button());
}

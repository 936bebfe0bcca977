#include "core/indicator_shape.h"

#include <QPainter>

IndicatorShape::IndicatorShape(const QString& objectName, QWidget* parent) : QWidget(parent)
{
    setObjectName(objectName);
    setFixedSize(sizeHint());
}

void IndicatorShape::SetBrushColor(const QColor& color)
{
    if (color == color_)
        return;
    color_ = color;
    update();
}

void IndicatorShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(color_);
    painter.drawEllipse(rect().adjusted(1, 1, -1, -1));
}

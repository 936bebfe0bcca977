#include "serial/tnr_semaphore.h"

#include <QPainter>
#include <QRadialGradient>

TnrSemaphore::TnrSemaphore(const QString& objectName, bool checked, QWidget* parent)
    : QWidget(parent), checked_(checked)
{
    setObjectName(objectName);
    setFixedSize(16, 16);
    setAttribute(Qt::WA_TranslucentBackground);
}

void TnrSemaphore::SetChecked(bool checked)
{
    if (checked_ == checked)
        return;
    checked_ = checked;
    update();
}

void TnrSemaphore::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor base = checked_ ? Color3DCheck : Color3DUnCheck;
    const QRectF ball = QRectF(rect()).adjusted(1, 1, -1, -1);
    QRadialGradient shade(ball.center() - QPointF(ball.width() / 5, ball.height() / 5), ball.width() / 1.6);
    shade.setColorAt(0, base.lighter(190));
    shade.setColorAt(0.6, base);
    shade.setColorAt(1, base.darker(180));
    painter.setPen(Qt::NoPen);
    painter.setBrush(shade);
    painter.drawEllipse(ball);
}

#pragma once

#include <QColor>
#include <QWidget>

// A 16 x 16 line indicator drawn as a shaded sphere: `Color3DCheck` while
// checked, `Color3DUnCheck` otherwise. The serial engine sets "Checked" by
// property name.
class TnrSemaphore : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(bool Checked READ Checked WRITE SetChecked)

public:
    TnrSemaphore(const QString& objectName, bool checked, QWidget* parent = nullptr);

    bool Checked() const { return checked_; }
    void SetChecked(bool checked);

    QColor Color3DCheck = Qt::red;
    QColor Color3DUnCheck = Qt::gray;

    QSize sizeHint() const override { return QSize(16, 16); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool checked_;
};

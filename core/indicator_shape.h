#pragma once

#include <QColor>
#include <QWidget>

// The round state indicator of a channel page: green while the link is open
// or active, white when it is closed, red when it failed and waits to be
// closed.
class IndicatorShape : public QWidget
{
    Q_OBJECT

public:
    static inline const QColor kOpen = QColor(0, 128, 0);
    static inline const QColor kClosed = QColor(255, 255, 255);
    static inline const QColor kFailed = QColor(255, 0, 0);

    explicit IndicatorShape(const QString& objectName, QWidget* parent = nullptr);

    QColor BrushColor() const { return color_; }
    void SetBrushColor(const QColor& color);

    QSize sizeHint() const override { return QSize(18, 18); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QColor color_ = kClosed;
};

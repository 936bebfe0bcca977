#pragma once

#include <QLineEdit>

// An edit that reports a click with the left button, for read-only fields
// that open a chooser when clicked.
class ClickableEdit : public QLineEdit
{
    Q_OBJECT

public:
    using QLineEdit::QLineEdit;

signals:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
};

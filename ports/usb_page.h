#pragma once

#include <QWidget>

// The "USB" page.
class UsbPage : public QWidget
{
    Q_OBJECT

public:
    explicit UsbPage(QWidget* parent = nullptr);
};

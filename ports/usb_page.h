#pragma once

#include <QWidget>

class QComboBox;
class QPushButton;
class QTreeWidget;

// The "USB" page: the attached devices, the properties of the one picked,
// and its eject button.
class UsbPage : public QWidget
{
    Q_OBJECT

public:
    explicit UsbPage(QWidget* parent = nullptr);

    QComboBox* nrDeviceBox3;
    QPushButton* bEject;
    QTreeWidget* lvProperties;
};

#pragma once

#include <QWidget>

class QPushButton;
class QTreeWidget;
class TnrDeviceBox;
class TnrUSB;
class TnrUSBPipePair;

// The "USB" page: the attached devices, the properties of the one picked,
// and its eject button. It drives the component `nrUSB1`, which its window
// owns, and gives the picked device's bulk pipes to `nrUSBPipePair1`.
class UsbPage : public QWidget
{
    Q_OBJECT

public:
    explicit UsbPage(TnrUSB& nrUSB1, QWidget* parent = nullptr);

    // Shows the picked device: "弹出" enabled exactly when one is picked, and
    // its property rows.
    void nrDeviceBox3Change();
    // "弹出": a refusal is shown in the error box.
    void bEjectClick();
    // The window's route for device changes: the tree is walked again and
    // the device now at the same position in the list is shown.
    void WMDeviceChange();

    TnrDeviceBox* nrDeviceBox3;
    QPushButton* bEject;
    QTreeWidget* lvProperties;
    TnrUSBPipePair* nrUSBPipePair1;

private:
    TnrUSB& nrUSB1_;
};

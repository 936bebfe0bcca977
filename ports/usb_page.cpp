#include "ports/usb_page.h"

#include "core/message_box.h"
#include "io/tnr_device_box.h"
#include "ports/tnr_usb.h"
#include "ports/usb_property_rows.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <exception>

UsbPage::UsbPage(TnrUSB& nrUSB1, QWidget* parent) : QWidget(parent), nrUSB1_(nrUSB1)
{
    setObjectName(QStringLiteral("tsUSB"));
    nrDeviceBox3 = new TnrDeviceBox(this);
    nrDeviceBox3->setObjectName(QStringLiteral("nrDeviceBox3"));
    bEject = new QPushButton(QStringLiteral("弹出"), this);
    bEject->setObjectName(QStringLiteral("bEject"));
    bEject->setEnabled(false);

    lvProperties = new QTreeWidget(this);
    lvProperties->setObjectName(QStringLiteral("lvProperties"));
    lvProperties->setColumnCount(2);
    lvProperties->setHeaderLabels({QStringLiteral("Property"), QStringLiteral("Value")});
    lvProperties->setRootIsDecorated(false);
    lvProperties->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvProperties->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvProperties->setAlternatingRowColors(true);
    lvProperties->header()->resizeSection(0, 100);
    lvProperties->header()->setStretchLastSection(true);

    nrUSBPipePair1 = new TnrUSBPipePair(this);
    nrUSBPipePair1->setObjectName(QStringLiteral("nrUSBPipePair1"));
    nrUSBPipePair1->SetUsbDevice(&nrUSB1_);

    auto* pickRow = new QHBoxLayout;
    pickRow->addWidget(nrDeviceBox3, 1);
    pickRow->addWidget(bEject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pickRow);
    layout->addWidget(lvProperties, 1);

    nrDeviceBox3->SetnrComm(&nrUSB1_);
    connect(nrDeviceBox3, &TnrDeviceBox::changed, this, &UsbPage::nrDeviceBox3Change);
    connect(bEject, &QPushButton::clicked, this, &UsbPage::bEjectClick);
    nrDeviceBox3Change();
}

void UsbPage::nrDeviceBox3Change()
{
    TnrUsbDevice* device = nrUSB1_.SelectedDevice();
    bEject->setEnabled(device != nullptr);
    lvProperties->clear();
    if (device == nullptr)
        return;
    // The pair takes the bulk pipes by their position in the pipe list, the
    // way it reads them when opened.
    const auto bulkPipe = [this](const TnrUsbPipe& pipe) {
        if (pipe.GetDirectIn())
            nrUSBPipePair1->SetPipeIn(pipe.position);
        else
            nrUSBPipePair1->SetPipeOut(pipe.position);
    };
    for (const UsbPropertyRow& row : UsbPropertyRows(*device, bulkPipe, nrUSB1_.StringSource()))
        lvProperties->addTopLevelItem(new QTreeWidgetItem(QStringList{row.property, row.value}));
}

void UsbPage::bEjectClick()
{
    try {
        nrUSB1_.Eject();
    } catch (const std::exception& error) {
        MessageBox::Show(QString::fromStdString(error.what()));
    }
}

void UsbPage::WMDeviceChange()
{
    const int remembered = nrUSB1_.GetDeviceIndex();
    nrUSB1_.WMDeviceChange();
    nrUSB1_.SetDeviceIndex(remembered);
    nrDeviceBox3->Reload();
    nrDeviceBox3Change();
}

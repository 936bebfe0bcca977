#include "ports/usb_page.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

UsbPage::UsbPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tsUSB"));
    nrDeviceBox3 = new QComboBox(this);
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

    auto* pickRow = new QHBoxLayout;
    pickRow->addWidget(nrDeviceBox3, 1);
    pickRow->addWidget(bEject);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(pickRow);
    layout->addWidget(lvProperties, 1);
}

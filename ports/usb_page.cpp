#include "ports/usb_page.h"

UsbPage::UsbPage(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("tsUSB"));
}

#include "ports/usb_page.h"

#include "io/tnr_device_box.h"
#include "ports/tnr_usb.h"
#include "ports/usb_ejector.h"
#include "tests/ports/fake_usb_sysfs.h"
#include "tests/support/message_recorder.h"

#include <QPushButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

struct RefusingEjector : UsbEjector
{
    int requests = 0;
    bool refuse = true;
    QString Eject(const TnrUsbDevice&) override
    {
        ++requests;
        return refuse ? QStringLiteral("Operation not permitted") : QString();
    }
};

class UsbPageTest : public ::testing::Test
{
protected:
    UsbPageTest()
    {
        sysfs.AddStandardTree();
        usb.SetSysfsRoot(sysfs.Devices());
        usb.SetNameSource(nullptr);
        usb.SetEjector(ejector);
        usb.SetEjectRetryMs(0);
        // The fake tree's usbfs nodes are paths of the real machine: never ask them.
        usb.SetStringSource(nullptr);
        page = std::make_unique<UsbPage>(usb);
    }

    QString Value(const char* property) const
    {
        for (int i = 0; i < page->lvProperties->topLevelItemCount(); ++i)
            if (page->lvProperties->topLevelItem(i)->text(0) == QLatin1String(property))
                return page->lvProperties->topLevelItem(i)->text(1);
        return QString();
    }

    FakeUsbSysfs sysfs;
    std::shared_ptr<RefusingEjector> ejector = std::make_shared<RefusingEjector>();
    MessageRecorder messages;
    TnrUSB usb;
    std::unique_ptr<UsbPage> page;
};

TEST_F(UsbPageTest, NothingPickedShowsNoRowsAndNoEject)
{
    EXPECT_EQ(page->nrDeviceBox3->count(), 4);
    EXPECT_EQ(page->nrDeviceBox3->currentIndex(), -1);
    EXPECT_FALSE(page->bEject->isEnabled());
    EXPECT_EQ(page->lvProperties->topLevelItemCount(), 0);
    EXPECT_EQ(page->lvProperties->headerItem()->text(0), QStringLiteral("Property"));
    EXPECT_EQ(page->lvProperties->headerItem()->text(1), QStringLiteral("Value"));
}

TEST_F(UsbPageTest, PickingADeviceShowsItsRowsAndGivesItsBulkPipesToThePair)
{
    page->nrDeviceBox3->Pick(1);
    EXPECT_TRUE(page->bEject->isEnabled());
    EXPECT_EQ(page->lvProperties->topLevelItem(0)->text(0), QStringLiteral("Description"));
    EXPECT_EQ(Value("Description"), QStringLiteral("USB-Serial Controller"));
    EXPECT_EQ(Value("USB Version"), QStringLiteral("1.1"));
    EXPECT_EQ(Value("SerialNumber"), QString());
    EXPECT_EQ(page->nrUSBPipePair1->PipeOut(), 1);
    EXPECT_EQ(page->nrUSBPipePair1->PipeIn(), 2);

    page->nrDeviceBox3->Pick(0);
    EXPECT_EQ(Value("Vendor ID"), QStringLiteral("0x0781 1921"));
    EXPECT_EQ(Value("SerialNumber"), QStringLiteral("4C530001230512115093"));
    EXPECT_EQ(page->nrUSBPipePair1->PipeIn(), 0);
    EXPECT_EQ(page->nrUSBPipePair1->PipeOut(), 1);
}

TEST_F(UsbPageTest, ADeviceChangeKeepsThePositionNotTheDevice)
{
    page->nrDeviceBox3->Pick(1);
    sysfs.Remove(QStringLiteral("1-1.2"));
    page->WMDeviceChange();
    EXPECT_EQ(page->nrDeviceBox3->count(), 3);
    EXPECT_EQ(page->nrDeviceBox3->currentIndex(), 1);
    EXPECT_EQ(Value("Description"), QStringLiteral("USB2.0-Ser!"));
    EXPECT_TRUE(page->bEject->isEnabled());

    page->nrDeviceBox3->Pick(2);
    sysfs.Remove(QStringLiteral("1-2"));
    page->WMDeviceChange();
    EXPECT_EQ(page->nrDeviceBox3->count(), 2);
    EXPECT_EQ(page->nrDeviceBox3->currentIndex(), -1);
    EXPECT_FALSE(page->bEject->isEnabled());
    EXPECT_EQ(page->lvProperties->topLevelItemCount(), 0);
}

TEST_F(UsbPageTest, ARefusedEjectShowsTheReasonInTheErrorBox)
{
    page->nrDeviceBox3->Pick(0);
    page->bEject->click();
    EXPECT_EQ(ejector->requests, TnrUSB::kEjectRequests);
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("Operation not permitted")});

    ejector->refuse = false;
    page->bEject->click();
    EXPECT_EQ(messages.messages.size(), 1);
}

}  // namespace

#include "app/main_window.h"
#include "io/tnr_device_box.h"
#include "ports/lpt_page.h"
#include "ports/usb_page.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"

#include <QCheckBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTreeWidget>

#include <gtest/gtest.h>

namespace {

// The window's parallel port and USB pages drive the window's components.
class PortsWiringTest : public ::testing::Test
{
protected:
    PortsWiringTest() { form.FormCreate(); }

    ScratchWorkingDirectory workingDirectory;
    MessageRecorder messages;
    TForm1 form;
};

TEST_F(PortsWiringTest, EnablingAMissingParallelPortShowsTheErrorAndStaysUnchecked)
{
    QTemporaryDir dev;
    form.ParallelPort().nrLPT1.SetDeviceRoot(dev.path());
    form.lpt->CheckBox1->click();
    EXPECT_EQ(messages.messages, QStringList{QStringLiteral("Create service failed.")});
    EXPECT_FALSE(form.lpt->CheckBox1->isChecked());
    EXPECT_FALSE(form.ParallelPort().nrLPT1.Active());
}

TEST_F(PortsWiringTest, SendsToLptWhileClosedAreNeitherShownNorCounted)
{
    const qint32 before = form.Counters()[LPT].txBytes;
    EXPECT_FALSE(form.Dispatcher().SendToChannel("55", LPT, true));
    EXPECT_EQ(form.Counters()[LPT].txBytes, before);
}

TEST_F(PortsWiringTest, UsbPageFollowsTheWindowsComponent)
{
    EXPECT_EQ(form.usb->nrDeviceBox3->nrComm(), &form.nrUSB1());
    // Whatever the machine has attached, nothing is picked at start.
    EXPECT_EQ(form.nrUSB1().SelectedDevice(), nullptr);
    EXPECT_FALSE(form.usb->bEject->isEnabled());
    EXPECT_EQ(form.usb->lvProperties->topLevelItemCount(), 0);
}

}  // namespace

#include "io/tnr_device_box.h"
#include "fake_component.h"
#include "tests/support/message_recorder.h"

#include <stdexcept>

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

QStringList Items(const QComboBox& box)
{
    QStringList items;
    for (int i = 0; i < box.count(); ++i)
        items << box.itemText(i);
    return items;
}

TEST(TnrDeviceBox, ShowsTheComponentsDevicesAndSelection)
{
    FakeComponent component;
    component.AddNumbered(1);
    component.AddNumbered(4);
    component.selected = 1;
    TnrDeviceBox box;
    box.SetnrComm(&component);
    EXPECT_EQ(Items(box), (QStringList{"Dev1", "Dev4"}));
    EXPECT_EQ(box.currentIndex(), 1);
    EXPECT_FALSE(box.isEditable());
}

TEST(TnrDeviceBox, SelectedDeviceMissingFromListShowsNoSelection)
{
    FakeComponent component;
    component.AddNumbered(1);
    TnrDeviceBox box;
    box.SetnrComm(&component);
    EXPECT_EQ(box.currentIndex(), -1);
    EXPECT_EQ(box.currentText(), QString());
}

TEST(TnrDeviceBox, ReloadsOnCodeThreeOnly)
{
    FakeComponent component;
    component.AddNumbered(1);
    TnrDeviceBox box;
    box.SetnrComm(&component);
    component.AddNumbered(2);
    component.selected = 1;
    component.DoNotify(kNotifyOpened);
    EXPECT_EQ(box.count(), 1);
    component.DoNotify(kNotifyDevicesChanged);
    EXPECT_EQ(Items(box), (QStringList{"Dev1", "Dev2"}));
    EXPECT_EQ(box.currentIndex(), 1);
}

TEST(TnrDeviceBox, PickingAnEntrySetsTheComponentsDeviceThenSignals)
{
    FakeComponent component;
    component.AddNumbered(1);
    component.AddNumbered(2);
    TnrDeviceBox box;
    box.SetnrComm(&component);
    QSignalSpy changed(&box, &TnrDeviceBox::changed);
    box.Pick(1);
    EXPECT_EQ(component.selected, 1);
    EXPECT_EQ(box.currentIndex(), 1);
    EXPECT_EQ(changed.count(), 1);
}

// A component that is open reopens on the picked device; its refusal must be
// shown, not thrown out of the combo box's signal into Qt's event code.
TEST(TnrDeviceBox, RefusedReopenIsShownAndNotThrown)
{
    struct RefusingComponent : FakeComponent
    {
        void SetDeviceIndex(int) override { throw std::runtime_error("串口打开失败"); }
    } component;
    component.AddNumbered(1);
    component.AddNumbered(2);
    TnrDeviceBox box;
    box.SetnrComm(&component);
    QSignalSpy changed(&box, &TnrDeviceBox::changed);
    MessageRecorder boxes;
    EXPECT_NO_THROW(box.Pick(1));
    EXPECT_EQ(boxes.messages, QStringList{QStringLiteral("串口打开失败")});
    EXPECT_EQ(changed.count(), 1);
}

TEST(TnrDeviceBox, ExtraEntryRunsItsActionInsteadOfPicking)
{
    FakeComponent component;
    component.AddNumbered(1);
    component.selected = 0;
    TnrDeviceBox box;
    box.SetnrComm(&component);
    int actions = 0;
    box.SetExtraEntry(QStringLiteral("more"), [&] { ++actions; });
    EXPECT_EQ(Items(box), (QStringList{"Dev1", "more"}));
    box.Pick(1);
    EXPECT_EQ(actions, 1);
    EXPECT_EQ(component.selected, 0);
    EXPECT_EQ(box.currentIndex(), 0);
    component.Update();
    EXPECT_EQ(Items(box), (QStringList{"Dev1", "more"}));
}

TEST(TnrDeviceBox, DestroyedComponentLeavesAnInertBox)
{
    TnrDeviceBox box;
    {
        FakeComponent component;
        component.AddNumbered(1);
        box.SetnrComm(&component);
    }
    EXPECT_EQ(box.nrComm(), nullptr);
    EXPECT_EQ(box.currentIndex(), -1);
    box.Pick(0);
    EXPECT_EQ(box.count(), 0);
}

TEST(TnrDeviceBox, DestroyedBoxUnsubscribes)
{
    FakeComponent component;
    component.AddNumbered(1);
    {
        TnrDeviceBox box;
        box.SetnrComm(&component);
    }
    component.Update();  // would reach a dead box if it were still subscribed
    SUCCEED();
}

}  // namespace

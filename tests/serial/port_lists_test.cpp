#include "serial/port_lists.h"

#include <QComboBox>
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

SerialPortInfo Port(const char* path)
{
    SerialPortInfo port;
    port.path = QString::fromUtf8(path);
    return port;
}

TEST(LoadPortLists, FillsBothListsWithRefreshThenPathsAndSelectsEntryZero)
{
    QComboBox a;
    QComboBox b;
    a.addItems({QStringLiteral("old")});
    b.addItems({QStringLiteral("x"), QStringLiteral("y")});
    b.setCurrentIndex(1);
    QSignalSpy changes(&a, &QComboBox::currentIndexChanged);

    LoadPortLists(&a, &b, {Port("/dev/ttyS0"), Port("/dev/ttyUSB0")});

    const QStringList expected = {QStringLiteral("刷新"), QStringLiteral("/dev/ttyS0()"), QStringLiteral("/dev/ttyUSB0()")};
    EXPECT_EQ(Items(a), expected);
    EXPECT_EQ(Items(b), expected);
    EXPECT_EQ(a.currentIndex(), 0);
    EXPECT_EQ(b.currentIndex(), 0);
    EXPECT_EQ(changes.count(), 0);
}

TEST(LoadPortLists, NoPortsLeavesOnlyRefreshAndToleratesMissingBox)
{
    QComboBox b;
    LoadPortLists(nullptr, &b, {});
    EXPECT_EQ(Items(b), QStringList{QStringLiteral("刷新")});
}

}  // namespace

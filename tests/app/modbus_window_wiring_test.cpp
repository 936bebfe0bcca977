// "Modbus" on port A's page: the window it creates and destroys, and its
// engine on port A against the libmodbus RTU slave.

#include "app/main_window.h"
#include "data/display_line_store.h"
#include "modbus/form_modbus.h"
#include "serial/serial_a_page.h"
#include "tests/modbus/modbus_test_support.h"
#include "tests/serial/socat_pair.h"
#include "tests/streams/modbus_slave_peer.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"

#include <QCheckBox>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

class ModbusWindowWiringTest : public testing::Test
{
protected:
    ModbusWindowWiringTest() { form.FormCreate(); }

    QCheckBox* chkModbus() { return form.serialA->chkModbus; }
    TnrCustomDataProcessor* PortAProcessor() { return form.ComA().nrComm1->DataProcessor(); }

    ScratchWorkingDirectory workingDirectory;
    MessageRecorder messages;
    TForm1 form;
};

TEST_F(ModbusWindowWiringTest, CheckingCreatesAnAttachedWindowAndUncheckingDestroysIt)
{
    EXPECT_EQ(form.FormModbus, nullptr);
    EXPECT_EQ(PortAProcessor(), nullptr);

    chkModbus()->click();
    ASSERT_NE(form.FormModbus, nullptr);
    QPointer<TFormModbus> first = form.FormModbus;
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->parent(), &form);
    EXPECT_EQ(PortAProcessor(), first->nrModbus1);
    EXPECT_EQ(first->nrModbus1->Device(), form.ComA().nrComm1);

    // The window's own close box only hides it.
    first->close();
    EXPECT_FALSE(first.isNull());
    EXPECT_EQ(PortAProcessor(), first->nrModbus1);

    chkModbus()->click();
    EXPECT_TRUE(first.isNull());
    EXPECT_EQ(form.FormModbus, nullptr);
    EXPECT_EQ(PortAProcessor(), nullptr);

    chkModbus()->click();
    ASSERT_NE(form.FormModbus, nullptr);
    EXPECT_TRUE(form.FormModbus->isVisible());
    EXPECT_EQ(PortAProcessor(), form.FormModbus->nrModbus1) << "a fresh window attached again";
    EXPECT_EQ(form.FormModbus->txtPollResultReg->text(), QStringLiteral("???"));
}

TEST_F(ModbusWindowWiringTest, ReadsARegisterOfARealSlaveOnPortA)
{
    SocatPair pair;
    ASSERT_TRUE(pair.Ready());
    ModbusSlavePeer slave(QStringLiteral(SERIALNET_MODBUS_RTU_SLAVE), {pair.B()});
    ASSERT_TRUE(slave.Ready()) << slave.Errors().toStdString();
    form.ComA().PickPortPath(pair.A());
    form.ComA().Open();
    ASSERT_TRUE(form.ComA().IsOpen()) << messages.messages.join(QLatin1Char('|')).toStdString();

    chkModbus()->click();
    ASSERT_NE(form.FormModbus, nullptr);
    const qsizetype linesBefore = form.DisplayLines().LineCount();
    form.FormModbus->bReadReg->click();
    ASSERT_TRUE(WaitFor([&] { return form.FormModbus->txtPollResultReg->text() != QStringLiteral("???"); }, 5000));
    EXPECT_EQ(form.FormModbus->txtPollResultReg->text(), QStringLiteral("Device: 7 Reg:4A00 = 1000\r\n"));
    EXPECT_GT(form.DisplayLines().LineCount(), linesBefore) << "the reply still reaches the receive display";
    EXPECT_TRUE(messages.messages.isEmpty()) << messages.messages.join(QLatin1Char('|')).toStdString();
}

}  // namespace

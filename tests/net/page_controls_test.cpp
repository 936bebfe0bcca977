#include "app/main_window.h"
#include "core/indicator_shape.h"
#include "net/tcp_client_channel.h"
#include "net/tcp_server_channel.h"
#include "net/udp_server_channel.h"
#include "net/udp_server_page.h"
#include "tests/net/net_test_support.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// The window as built, before the settings file replaces any field.
TEST(NetPageControlsTest, ControlsCarryTheirNamesCaptionsAndDesignDefaults)
{
    ScratchWorkingDirectory workingDirectory;
    TForm1 form;
    enum Kind { kLabel, kEdit, kPortEdit, kCheck, kGroup, kCombo };
    const struct
    {
        const char* name;
        Kind kind;
        const char* text;
    } controls[] = {
        {"GroupBox4", kGroup, "TCP服务器"},
        {"Label1", kLabel, "监听端口:  "},
        {"edtTCPPort", kPortEdit, "10008"},
        {"cbListClient", kCombo, "客户端列表"},
        {"chkTCPSrv", kCheck, "启用"},
        {"chknewlinetcpsrv", kCheck, "换行符\\r\\n"},
        {"GroupBox5", kGroup, "TCP客户端"},
        {"Label8", kLabel, "服务端IP:  "},
        {"edtTCPClientHost", kEdit, "127.0.0.1"},
        {"Label2", kLabel, "端口:  "},
        {"edtTCPClientPort", kPortEdit, "10002"},
        {"lblTcpClientPort", kLabel, "本地端口: "},
        {"chkTCPClient", kCheck, "启用"},
        {"chkReconn", kCheck, "自动重连"},
        {"GroupBox2", kGroup, "UDP服务器"},
        {"lblUDPIP", kLabel, "对方IP:  "},
        {"edtUDPRemoteHost", kEdit, "127.0.0.1"},
        {"Label5", kLabel, "："},
        {"edtUDPRemotePort", kPortEdit, "10009"},
        {"Label6", kLabel, "监听端口:  "},
        {"edtLocalPort", kPortEdit, "10008"},
        {"chkUDPSrv", kCheck, "启用"},
        {"GroupBox6", kGroup, "UDP客户端"},
        {"Label3", kLabel, "对方IP:  "},
        {"edtUDPClientRemoteHost", kEdit, "127.0.0.1"},
        {"Label7", kLabel, "："},
        {"edtUDPClientRemotePort", kPortEdit, "10008"},
        {"Label4", kLabel, "本地端口:  "},
        {"edtUDPClientLocalPort", kPortEdit, "10009"},
        {"chkUDPClient", kCheck, "启用"},
    };
    for (const auto& control : controls) {
        SCOPED_TRACE(control.name);
        const QString name = QString::fromLatin1(control.name);
        const QString text = QString::fromUtf8(control.text);
        switch (control.kind) {
        case kLabel:
            ASSERT_NE(form.findChild<QLabel*>(name), nullptr);
            EXPECT_EQ(form.findChild<QLabel*>(name)->text(), text);
            break;
        case kEdit:
        case kPortEdit: {
            auto* edit = form.findChild<QLineEdit*>(name);
            ASSERT_NE(edit, nullptr);
            EXPECT_EQ(edit->text(), text);
            if (control.kind == kPortEdit) {
                // Typed text keeps only digits, five at most.
                QString typed = QStringLiteral("12a");
                int position = 0;
                ASSERT_NE(edit->validator(), nullptr);
                EXPECT_EQ(edit->validator()->validate(typed, position), QValidator::Invalid);
                typed = QStringLiteral("01234");
                EXPECT_EQ(edit->validator()->validate(typed, position), QValidator::Acceptable);
                typed = QStringLiteral("56789");
                EXPECT_EQ(edit->validator()->validate(typed, position), QValidator::Acceptable);
                typed = QStringLiteral("123456");
                EXPECT_EQ(edit->validator()->validate(typed, position), QValidator::Invalid);
            }
            break;
        }
        case kCheck:
            ASSERT_NE(form.findChild<QCheckBox*>(name), nullptr);
            EXPECT_EQ(form.findChild<QCheckBox*>(name)->text(), text);
            EXPECT_FALSE(form.findChild<QCheckBox*>(name)->isChecked());
            break;
        case kGroup:
            ASSERT_NE(form.findChild<QGroupBox*>(name), nullptr);
            EXPECT_EQ(form.findChild<QGroupBox*>(name)->title(), text);
            break;
        case kCombo: {
            auto* combo = form.findChild<QComboBox*>(name);
            ASSERT_NE(combo, nullptr);
            EXPECT_TRUE(combo->isEditable());
            EXPECT_EQ(combo->currentText(), text);
            EXPECT_EQ(combo->currentIndex(), -1);
            break;
        }
        }
    }
    EXPECT_EQ(form.udpServer->edtUDPRemoteHost->toolTip(), QStringLiteral("留空或255.255.255.255为广播"));
    for (const char* shape : {"ShapeTCP", "ShapeTCPClient", "ShapeUDP", "ShapeUDPClient"})
        EXPECT_EQ(form.findChild<IndicatorShape*>(QString::fromLatin1(shape))->BrushColor(), IndicatorShape::kClosed)
            << shape;

    auto* timer = form.TcpClient().findChild<QTimer*>(QStringLiteral("tmrReconn"));
    ASSERT_NE(timer, nullptr);
    EXPECT_EQ(timer->interval(), 1500);
    EXPECT_FALSE(timer->isActive());
    EXPECT_TRUE(form.TcpClient().OpensAutomatically());
    EXPECT_FALSE(form.TcpServer().IsListening());
    EXPECT_FALSE(form.UdpServer().IsListening());
}

}  // namespace

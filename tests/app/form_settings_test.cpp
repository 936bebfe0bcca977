#include "app/form_settings.h"
#include "app/main_window.h"
#include "app/snippet_text.h"
#include "core/text_codec.h"
#include "send/channel_page.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTableWidget>

#include <gtest/gtest.h>

namespace {

// Each test runs in a fresh working directory, where config.ini lives.
class FormSettingsTest : public ::testing::Test
{
protected:
    static void WriteConfig(const QByteArray& text)
    {
        QFile file(QString::fromLatin1(FormSettings::kFileName));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    static QStringList ConfigLines()
    {
        QFile file(QString::fromLatin1(FormSettings::kFileName));
        if (!file.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = TextCodec::Decode(file.readAll()).split(QStringLiteral("\r\n"));
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        return lines;
    }

    template <typename T>
    static T* Find(TForm1& form, const char* name)
    {
        return form.findChild<T*>(QString::fromLatin1(name));
    }

    ScratchWorkingDirectory workingDirectory_;
    MessageRecorder messages_;
};

TEST_F(FormSettingsTest, FirstStartShowsTheFileDefaultsAndClosingWritesEveryKey)
{
    {
        TForm1 form;
        form.FormCreate();
        for (ChannelId channel = COMA; channel <= UDPC; ++channel)
            EXPECT_TRUE(form.Page(channel)->Panel()->memo->toPlainText().isEmpty()) << int(channel);
        const struct
        {
            const char* edit;
            const char* text;
        } edits[] = {{"edtTCPPort", "10002"},          {"edtTCPClientPort", "10002"},
                     {"edtUDPRemoteHost", "127.0.0.1"}, {"edtUDPRemotePort", "7000"},
                     {"edtLocalPort", "8000"},          {"edtUDPClientRemoteHost", "127.0.0.1"},
                     {"edtUDPClientRemotePort", "8000"}, {"edtUDPClientLocalPort", "7000"}};
        for (const auto& edit : edits) {
            QLineEdit* field = Find<QLineEdit>(form, edit.edit);
            ASSERT_NE(field, nullptr) << edit.edit;
            EXPECT_EQ(field->text(), QString::fromLatin1(edit.text)) << edit.edit;
        }
        EXPECT_FALSE(form.chkHexShow->isChecked());
        EXPECT_EQ(form.ValueListEditor1->rowCount(), 20);
        form.close();
    }
    QStringList keys;
    for (const QString& line : ConfigLines().mid(1))
        keys << line.section(QLatin1Char('='), 0, 0);
    EXPECT_EQ(ConfigLines().value(0), QStringLiteral("[FORM]"));
    EXPECT_EQ(keys, QStringList({"MMOCOM1", "MMOCOM2", "MMOTCP", "MMOTCPCLIENT", "MMOUDP", "MMOUDPCLIENT", "USERSTR",
                                 "COMA", "COMB", "TCPS_PORT", "TCPC_HOST", "TCPC_PORT", "UDPS_HOST", "UDPS_RPORT",
                                 "UDPS_LPORT", "UDPC_HOST", "UDPC_RPORT", "UDPC_LPORT", "REV_HEXSHOW"}));
}

TEST_F(FormSettingsTest, SnippetTableIsStoredAsBase64AndRestoredWithFiftyRows)
{
    {
        TForm1 form;
        form.FormCreate();
        form.close();
    }
    const QString expectedText = QStringLiteral("1=11 22 33 44 55\r\n2=123456789\r\nAT=AT\r\n信号强度=AT+CSQ\r\n") +
                                 QStringLiteral("\r\n").repeated(16);
    EXPECT_TRUE(ConfigLines().contains(QStringLiteral("USERSTR=") +
                                       QString::fromLatin1(TextCodec::Encode(expectedText).toBase64())));

    TForm1 restored;
    restored.FormCreate();
    ASSERT_EQ(restored.ValueListEditor1->rowCount(), 50);
    EXPECT_EQ(restored.ValueListEditor1->item(3, 0)->text(), QStringLiteral("信号强度"));
    EXPECT_EQ(restored.ValueListEditor1->item(3, 1)->text(), QStringLiteral("AT+CSQ"));
    EXPECT_TRUE(restored.ValueListEditor1->item(49, 0)->text().isEmpty());
}

TEST_F(FormSettingsTest, ValuesSurviveARestartWhole)
{
    QString longValue;
    {
        TForm1 form;
        form.FormCreate();
        form.Page(COMA)->Panel()->memo->setPlainText(QStringLiteral("AT+CSQ\\r\\n 串口"));
        form.Page(UDPC)->Panel()->memo->setPlainText(QStringLiteral("first line\nsecond line"));
        QLineEdit* host = Find<QLineEdit>(form, "edtTCPClientHost");
        ASSERT_NE(host, nullptr);
        host->setText(QStringLiteral("192.0.2.7"));
        form.chkHexShow->setChecked(true);
        // A table of about 3000 bytes of text: far beyond 2047 characters of Base64.
        form.ValueListEditor1->setRowCount(200);
        for (int row = 0; row < 200; ++row) {
            form.ValueListEditor1->setItem(row, 0, new QTableWidgetItem(QStringLiteral("k%1").arg(row)));
            form.ValueListEditor1->setItem(row, 1, new QTableWidgetItem(QStringLiteral("value %1").arg(row)));
        }
        form.close();
    }
    TForm1 form;
    form.FormCreate();
    EXPECT_EQ(form.Page(COMA)->Panel()->memo->toPlainText(), QStringLiteral("AT+CSQ\\r\\n 串口"));
    EXPECT_EQ(form.Page(UDPC)->Panel()->memo->toPlainText(), QStringLiteral("first line"));
    ASSERT_NE(Find<QLineEdit>(form, "edtTCPClientHost"), nullptr);
    EXPECT_EQ(Find<QLineEdit>(form, "edtTCPClientHost")->text(), QStringLiteral("192.0.2.7"));
    EXPECT_TRUE(form.chkHexShow->isChecked());
    ASSERT_EQ(form.ValueListEditor1->rowCount(), 200);
    EXPECT_EQ(form.ValueListEditor1->item(199, 1)->text(), QStringLiteral("value 199"));
}

TEST_F(FormSettingsTest, HandEditedValues)
{
    WriteConfig("[FORM]\r\nREV_HEXSHOW=2\r\nCOMB=abc\r\nTCPS_PORT=  9000  \r\n");
    TForm1 form;
    form.FormCreate();
    EXPECT_TRUE(form.chkHexShow->isChecked());
    QComboBox* portB = Find<QComboBox>(form, "cbb2_COM");
    ASSERT_NE(portB, nullptr);
    EXPECT_EQ(portB->currentIndex(), 0);
    ASSERT_NE(Find<QLineEdit>(form, "edtTCPPort"), nullptr);
    EXPECT_EQ(Find<QLineEdit>(form, "edtTCPPort")->text(), QStringLiteral("9000"));
}

TEST(SnippetTextTest, RowsFromStoredPadsAndSplits)
{
    const QString stored = SnippetText::Encode(QStringLiteral("a=1\rnoequals\nb=x=y\r\n"));
    const auto rows = SnippetText::RowsFromStored(stored);
    // Padding counts line feeds only: the lone CR ends a row on top of 50.
    ASSERT_EQ(rows.size(), 51);
    EXPECT_EQ(rows[0], qMakePair(QStringLiteral("a"), QStringLiteral("1")));
    EXPECT_EQ(rows[1], qMakePair(QStringLiteral("noequals"), QString()));
    EXPECT_EQ(rows[2], qMakePair(QStringLiteral("b"), QStringLiteral("x=y")));
    EXPECT_EQ(rows[3], qMakePair(QString(), QString()));
    EXPECT_EQ(SnippetText::RowsToText({{"k", "v"}, {"", ""}, {"only", ""}}), QStringLiteral("k=v\r\n\r\nonly=\r\n"));
}

}  // namespace

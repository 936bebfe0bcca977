#include "app/form_settings.h"
#include "app/main_window.h"
#include "app/memo_text.h"
#include "app/snippet_text.h"
#include "core/combo_index.h"
#include "core/text_codec.h"
#include "io/tnr_device_box.h"
#include "send/channel_page.h"
#include "serial/cn_rs232.h"
#include "serial/serial_a_page.h"
#include "serial/serial_b_page.h"
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

    static QByteArray ConfigBytes()
    {
        QFile file(QString::fromLatin1(FormSettings::kFileName));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
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
    EXPECT_EQ(form.Page(UDPC)->Panel()->memo->toPlainText(), QStringLiteral("first line\nsecond line"));
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

TEST_F(FormSettingsTest, MemoTextsComeBackWholeNextToSingleLinesWrittenAsBefore)
{
    const QString single = QStringLiteral("AT+CSQ\\r\\n 串口");
    const QString lines = QStringLiteral("first line\n  second 行\n\nlast ");
    const QString padded = QStringLiteral("  padded  ");
    const auto setMemos = [&](TForm1& form, const QString& comB, const QString& tcps) {
        form.Page(COMA)->Panel()->memo->setPlainText(single);
        form.Page(COMB)->Panel()->memo->setPlainText(comB);
        form.Page(TCPS)->Panel()->memo->setPlainText(tcps);
    };
    {
        TForm1 form;
        form.FormCreate();
        setMemos(form, lines, padded);
        form.close();
    }
    const QByteArray bytes = ConfigBytes();
    // "FORM" holds each memo's first line, byte for byte as a single line is written.
    EXPECT_TRUE(bytes.startsWith("[FORM]\r\nMMOCOM1=" + TextCodec::Encode(single) + "\r\nMMOCOM2=first line\r\n" +
                                 "MMOTCP=  padded  \r\nMMOTCPCLIENT=\r\n"));
    const QStringList config = ConfigLines();
    const qsizetype own = config.indexOf(QStringLiteral("[SERIALNET]"));
    ASSERT_GT(own, 0);
    EXPECT_EQ(config.mid(own), QStringList({QStringLiteral("[SERIALNET]"),
                                            QStringLiteral("MMOCOM2=") + MemoText::WholeValue(lines),
                                            QStringLiteral("MMOTCP=") + MemoText::WholeValue(padded)}));
    EXPECT_EQ(QByteArray::fromBase64(MemoText::WholeValue(lines).toLatin1()), TextCodec::Encode(lines));

    {
        TForm1 form;
        form.FormCreate();
        EXPECT_EQ(form.Page(COMA)->Panel()->memo->toPlainText(), single);
        EXPECT_EQ(form.Page(COMB)->Panel()->memo->toPlainText(), lines);
        EXPECT_EQ(form.Page(TCPS)->Panel()->memo->toPlainText(), padded);
        // Back to single lines: the file is the one these texts gave before.
        setMemos(form, QStringLiteral("one"), QStringLiteral("two"));
        form.close();
    }
    const QByteArray singleLinesOnly = ConfigBytes();
    // The same two runs with single lines only: the snippet table grows to 50 rows on the second.
    QFile::remove(QString::fromLatin1(FormSettings::kFileName));
    for (int run = 0; run < 2; ++run) {
        TForm1 form;
        form.FormCreate();
        setMemos(form, QStringLiteral("one"), QStringLiteral("two"));
        form.close();
    }
    EXPECT_EQ(singleLinesOnly, ConfigBytes());
    EXPECT_FALSE(singleLinesOnly.contains("[SERIALNET]"));
}

TEST_F(FormSettingsTest, AHandEditOfTheFormKeyWinsOverAStaleWholeText)
{
    WriteConfig("[FORM]\r\nMMOUDP=edited\r\n\r\n[SERIALNET]\r\nMMOUDP=" +
                MemoText::WholeValue(QStringLiteral("old\ntext")).toLatin1() + "\r\n");
    TForm1 form;
    form.FormCreate();
    EXPECT_EQ(form.Page(UDPS)->Panel()->memo->toPlainText(), QStringLiteral("edited"));
}

TEST_F(FormSettingsTest, TypedDevicePathsOfBothPortsComeBack)
{
    const QString pathA = QStringLiteral("/dev/serialnet-test-a");
    const QString pathB = QStringLiteral("/dev/serialnet-test-b");
    {
        TForm1 form;
        form.FormCreate();
        form.ComA().PickPortPath(pathA);
        form.serialB->cbb2_COM->setEditText(pathB);
        form.close();
        const QStringList config = ConfigLines();
        EXPECT_TRUE(config.contains(QStringLiteral("COMA=%1").arg(form.serialA->cbb_COM->currentIndex())));
        EXPECT_TRUE(config.contains(QStringLiteral("COMB=%1").arg(form.serialB->cbb2_COM->currentIndex())));
        EXPECT_TRUE(config.contains(QStringLiteral("COMA_DEVICE=") + pathA));
        EXPECT_TRUE(config.contains(QStringLiteral("COMB_DEVICE=") + pathB));
    }
    TForm1 form;
    form.FormCreate();
    EXPECT_EQ(form.ComA().nrComm1->GetPortName(), pathA);
    EXPECT_EQ(form.serialA->nrDeviceBox1->currentText(), pathA);
    EXPECT_TRUE(form.ComA().DescribePortA().startsWith(pathA));
    EXPECT_EQ(form.serialB->cbb2_COM->currentText(), pathB);
    EXPECT_EQ(SelectedIndex(form.serialB->cbb2_COM), -1);
    // The open button (or a send) takes the typed device; it does not exist here.
    form.ComB().Open();
    EXPECT_EQ(form.ComB().Comm2->CommName, pathB);
    EXPECT_FALSE(messages_.messages.isEmpty());

    // Once the list names port B's device, its entry is selected.
    form.serialB->cbb2_COM->addItem(pathB + QStringLiteral("()"));
    FormSettings(form).Load();
    EXPECT_EQ(SelectedIndex(form.serialB->cbb2_COM), form.serialB->cbb2_COM->count() - 1);
    EXPECT_EQ(form.ComA().nrComm1->GetPortName(), pathA);
    form.close();
    // A listed port is the "COMA"/"COMB" keys' business: no path is kept for it.
    EXPECT_FALSE(ConfigLines().contains(QStringLiteral("COMB_DEVICE=") + pathB));
}

TEST_F(FormSettingsTest, TextEncodingIsKeptWhileTheFilesStayGbk)
{
    {
        TForm1 form;
        form.FormCreate();
        EXPECT_EQ(form.cbbTextEncoding->currentText(), QStringLiteral("GBK"));
        form.cbbTextEncoding->setCurrentIndex(1);
        form.Page(COMA)->Panel()->memo->setPlainText(QStringLiteral("串口"));
        form.close();
    }
    EXPECT_TRUE(ConfigLines().contains(QStringLiteral("TEXT_ENCODING=UTF-8")));
    EXPECT_TRUE(ConfigBytes().contains("MMOCOM1=" + TextCodec::Encode(QStringLiteral("串口")) + "\r\n"));

    TForm1 form;
    form.FormCreate();
    EXPECT_EQ(form.cbbTextEncoding->currentText(), QStringLiteral("UTF-8"));
    EXPECT_EQ(TextCodec::PayloadEncoding(), TextCodec::Encoding::kUtf8);
    EXPECT_EQ(form.Page(COMA)->Panel()->memo->toPlainText(), QStringLiteral("串口"));
    form.cbbTextEncoding->setCurrentIndex(0);
    EXPECT_EQ(TextCodec::PayloadEncoding(), TextCodec::Encoding::kGbk);
    form.close();
    EXPECT_FALSE(ConfigBytes().contains("SERIALNET"));
}

TEST(MemoTextTest, OnlyWhatTheFormKeyLosesIsKeptWhole)
{
    const struct
    {
        const char* behaviour;
        const char* text;
        bool keptWhole;
    } rows[] = {
        {"empty text needs nothing more", "", false},
        {"one line needs nothing more", "AT+CSQ\\r\\n", false},
        {"line feed", "a\nb", true},
        {"CR LF", "a\r\nb", true},
        {"lone CR", "a\rb", true},
        {"trailing line break", "a\n", true},
        {"blank in front", " a", true},
        {"blank behind", "a ", true},
    };
    for (const auto& row : rows) {
        const QString text = QString::fromUtf8(row.text);
        const QString whole = MemoText::WholeValue(text);
        EXPECT_EQ(!whole.isEmpty(), row.keptWhole) << row.behaviour;
        EXPECT_EQ(MemoText::Restore(MemoText::LineValue(text), whole), text) << row.behaviour;
    }
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

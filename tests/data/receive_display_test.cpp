#include "data/receive_display.h"

#include "core/text_codec.h"
#include "tests/streams/event_loop_gap_meter.h"
#include "tests/streams/run_event_loop.h"

#include <QTextBlock>

#include <gtest/gtest.h>

namespace {

// What the view must show of a line, worked out from the line rendered whole.
QString ExpectedBlock(const QString& whole)
{
    if (whole.size() <= ReceiveDisplay::kMaxShownChars)
        return whole;
    return whole.left(ReceiveDisplay::kMaxShownChars) +
           QStringLiteral(" …（此行共%1字符，只显示前%2字符）").arg(whole.size()).arg(ReceiveDisplay::kMaxShownChars);
}

TEST(ReceiveDisplay, ShowsTheLinesOfKeptTextsAsTheyRenderWhole)
{
    const QByteArray chinese = TextCodec::Encode(QString(6000, QChar(0x4E2D)));
    DisplayLineStore store;
    store.Append(QStringLiteral("ready text"), kWindowText);
    store.Append(DisplayText::Decoded("short\r\nlines\n"), kBlue);
    store.Append(DisplayText::Decoded(chinese).Prefixed(QStringLiteral("stamp   ")), kBlue);
    store.Append(DisplayText::Decoded(QByteArray(5000, 'a')), kBlue);
    store.Append(DisplayText::HexStyled(QByteArray(2000, '\x5A'), 2), kBlueAlternate);
    store.Append(DisplayText::HexDump(QByteArray(100, '\x01')), kBlue);
    ReceiveDisplay view(store);
    view.Refresh();

    QStringList shown;
    for (QTextBlock block = view.document()->firstBlock(); block.isValid(); block = block.next())
        shown << block.text();
    QStringList expected;
    for (qsizetype i = 0; i < store.LineCount(); ++i)
        expected << ExpectedBlock(store.At(i).text);
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(shown.size(), 8);
}

TEST(ReceiveDisplay, AFloodOfLinesIsShownOverSeveralRefreshesWithoutFreezingTheWindow)
{
    DisplayLineStore store;
    ReceiveDisplay view(store);
    view.show();
    constexpr int kLines = 50000;
    for (int i = 0; i < kLines; ++i)
        store.Append(QStringLiteral("2024-1-2 10:00:00 0000毫秒    串口A发送HEX数据64字节：%1").arg(i), kBlack);

    EventLoopGapMeter meter;
    ASSERT_TRUE(RunEventLoopUntil([&] { return view.document()->blockCount() == kLines; }, 60000));

    EXPECT_LE(meter.WorstBusyMs(), 100) << "the view's own work between two timer ticks";
    EXPECT_EQ(view.document()->findBlockByNumber(0).text(), store.At(0).text);
    EXPECT_EQ(view.document()->lastBlock().text(), store.At(kLines - 1).text);
    // Nothing is left out or doubled where one refresh stopped and the next went on.
    for (QTextBlock block = view.document()->firstBlock(); block.isValid(); block = block.next())
        ASSERT_TRUE(block.text().endsWith(QStringLiteral("：%1").arg(block.blockNumber()))) << block.blockNumber();
}

}  // namespace

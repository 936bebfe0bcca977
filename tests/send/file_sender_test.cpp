#include "send/file_sender.h"

#include "data/codec.h"
#include "send/send_dispatcher.h"
#include "tests/net/channel_test_support.h"
#include "tests/support/fake_receive_options.h"
#include "tests/support/flow_channel.h"
#include "tests/support/info_recorder.h"
#include "tests/support/recording_receive_sink.h"
#include "tests/support/recording_target.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// A channel that becomes congested after every `every` writes and counts the
// writes that came while it was congested.
class CongestingChannel : public FlowChannel
{
public:
    CongestingChannel(ChannelId id, ReceiveSink& sink, int every) : FlowChannel(id, sink), every_(every) {}

    int writesWhileCongested = 0;

    WriteResult Write(const QByteArray& payload) override
    {
        if (congested)
            ++writesWhileCongested;
        const WriteResult result = FlowChannel::Write(payload);
        if (writes.size() % every_ == 0)
            congested = true;
        return result;
    }

private:
    size_t every_;
};

QByteArray Joined(const std::vector<QByteArray>& writes)
{
    QByteArray all;
    for (const QByteArray& write : writes)
        all += write;
    return all;
}

class FileSenderTest : public ::testing::Test
{
protected:
    FileSenderTest()
    {
        for (ChannelId channel = COMA; channel <= LPT; ++channel)
            dispatcher.SetTarget(channel, &targets[channel]);
    }

    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = directory.filePath(name);
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    QStringList Texts() const
    {
        QStringList texts;
        for (const auto& line : info.lines)
            texts << line.text;
        return texts;
    }

    // A channel of the sender's own, replacing the recording target of `id`.
    void UseChannel(Channel& channel)
    {
        dispatcher.SetTarget(channel.Id(), &channel);
        sender.SetChannel(channel.Id(), &channel);
    }

    QTemporaryDir directory;
    FakeReceiveOptions options;
    InfoRecorder info;
    ChannelCounters counters;
    SendDispatcher dispatcher{info, options, counters, [] {}};
    std::array<RecordingTarget, kChannelCount> targets;
    RecordingReceiveSink sink;
    int target = COMA;
    std::function<int()> chooseTarget;
    FileSender sender{dispatcher, info, [this] { return chooseTarget ? chooseTarget() : target; }};
};

TEST_F(FileSenderTest, FileGoesOutInChunksOf64BytesEachAFrameThenTheCompletionLine)
{
    const struct
    {
        qsizetype size;
        std::vector<qsizetype> chunks;
    } rows[] = {
        {0, {}}, {1, {1}}, {64, {64}}, {65, {64, 1}}, {130, {64, 64, 2}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.size);
        targets[COMA] = RecordingTarget();
        info.lines.clear();
        counters.ClearAll();
        const QByteArray content = Pattern(row.size);

        EXPECT_TRUE(sender.Start(WriteFile(QStringLiteral("f%1.bin").arg(row.size), content)));
        ASSERT_TRUE(WaitFor([&] { return !sender.Busy(); }));

        std::vector<qsizetype> sizes;
        QStringList expected;
        qsizetype offset = 0;
        for (const QByteArray& write : targets[COMA].writes) {
            sizes.push_back(write.size());
            expected << QStringLiteral("串口A发送HEX数据%1字节：").arg(write.size())
                     << QString::fromLatin1(BytesToHexDump(content.mid(offset, write.size())));
            offset += write.size();
        }
        expected << QStringLiteral("文件发送完成");
        EXPECT_EQ(sizes, row.chunks);
        EXPECT_EQ(Joined(targets[COMA].writes), content);
        EXPECT_EQ(counters[COMA].txFrames, static_cast<int>(row.chunks.size()));
        EXPECT_EQ(counters[COMA].txBytes, row.size);
        EXPECT_EQ(Texts(), expected);
        EXPECT_EQ(info.lines.back().color, kWindowText);
    }
}

TEST_F(FileSenderTest, MissingOrUnopenableFileDoesNothing)
{
    const QString missing = directory.filePath(QStringLiteral("missing.bin"));
    const struct
    {
        const char* behaviour;
        QString path;
    } rows[] = {
        {"no file at the path", missing},
        {"an empty path", QString()},
        {"a folder", directory.path()},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        EXPECT_FALSE(sender.Start(row.path));
        EXPECT_FALSE(sender.Busy());
    }
    Settle(20);
    EXPECT_TRUE(info.lines.empty());
    for (const RecordingTarget& t : targets)
        EXPECT_TRUE(t.writes.empty());
}

TEST_F(FileSenderTest, SizeIsFoundByOpeningTheFile)
{
    EXPECT_EQ(FileSender::SizeOf(WriteFile(QStringLiteral("a.bin"), Pattern(130))), 130);
    EXPECT_EQ(FileSender::SizeOf(WriteFile(QStringLiteral("empty.bin"), QByteArray())), 0);
    EXPECT_EQ(FileSender::SizeOf(directory.filePath(QStringLiteral("missing.bin"))), -1);
}

TEST_F(FileSenderTest, EachChunkGoesToTheChannelChosenAtItsMoment)
{
    int asked = 0;
    chooseTarget = [&] { return asked++ < 2 ? COMA : UDPC; };
    const QByteArray content = Pattern(200);

    sender.Start(WriteFile(QStringLiteral("f.bin"), content));
    ASSERT_TRUE(WaitFor([&] { return !sender.Busy(); }));

    EXPECT_EQ(Joined(targets[COMA].writes), content.left(128));
    EXPECT_EQ(Joined(targets[UDPC].writes), content.mid(128));
    EXPECT_EQ(counters[COMA].txFrames, 2);
    EXPECT_EQ(counters[UDPC].txFrames, 2);
}

TEST_F(FileSenderTest, AChunkThatDoesNotGoOutStopsTheTransferWithOneLine)
{
    const QByteArray content = Pattern(1000);
    const struct
    {
        const char* behaviour;
        int chunksBefore;  // chunks sent to UDPC before the target changes to `failing`
        int failing;
        std::function<void(RecordingTarget&)> setUp;
        QStringList reason;  // the dispatcher's own lines
    } rows[] = {
        {"a failed write shows why", 0, COMB, [](RecordingTarget& t) { t.failure = QStringLiteral("串口B 通讯中断"); },
         {QStringLiteral("串口B 通讯中断")}},
        {"no client chosen drops without a reason", 0, TCPS, [](RecordingTarget& t) { t.ready = false; }, {}},
        {"a failure after two chunks", 2, COMB, [](RecordingTarget& t) { t.failure = QStringLiteral("gone"); },
         {QStringLiteral("gone")}},
        {"no item selected is an unknown sender", 0, -1, {},
         {QStringLiteral("unknow sender!"), QString::fromLatin1(BytesToHexDump(content.left(64)))}},
    };
    options.sendInfo = false;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.behaviour);
        for (RecordingTarget& t : targets)
            t = RecordingTarget();
        if (row.setUp)
            row.setUp(targets[row.failing]);
        info.lines.clear();
        int asked = 0;
        chooseTarget = [&] { return asked++ < row.chunksBefore ? UDPC : row.failing; };
        // The unknown sender's dump is a sent-payload line, shown with send info on.
        options.sendInfo = row.failing < 0;

        sender.Start(WriteFile(QStringLiteral("f.bin"), content));
        ASSERT_TRUE(WaitFor([&] { return !sender.Busy(); }));
        Settle(20);

        const QStringList expected =
            row.reason + QStringList{QStringLiteral("文件发送中止,已发送%1字节,共1000字节").arg(row.chunksBefore * 64)};
        EXPECT_EQ(Texts(), expected);
        EXPECT_EQ(targets[UDPC].writes.size(), static_cast<size_t>(row.chunksBefore));
        if (row.failing >= 0) {
            EXPECT_TRUE(targets[row.failing].writes.empty());
        }
    }
}

TEST_F(FileSenderTest, CongestedTargetHoldsTheTransferUntilItDrains)
{
    FlowChannel channel(TCPS, sink);
    UseChannel(channel);
    target = TCPS;
    channel.congested = true;
    const QByteArray content = Pattern(1000);

    ASSERT_TRUE(sender.Start(WriteFile(QStringLiteral("f.bin"), content)));
    Settle(30);
    EXPECT_TRUE(channel.writes.empty()) << "nothing is sent to a congested channel";
    EXPECT_TRUE(sender.Busy());

    channel.Drain();
    EXPECT_TRUE(channel.writes.empty()) << "resumed from the event loop, not inside the drain";
    ASSERT_TRUE(WaitFor([&] { return !sender.Busy(); }));
    EXPECT_EQ(Joined(channel.writes), content);
    EXPECT_EQ(info.lines.back().text, QStringLiteral("文件发送完成"));
}

TEST_F(FileSenderTest, NoChunkGoesToAChannelWhileItIsCongested)
{
    CongestingChannel channel(TCPS, sink, 100);
    UseChannel(channel);
    target = TCPS;
    options.sendInfo = false;
    // The link drains a little later each time it fills.
    QTimer drainer;
    QObject::connect(&drainer, &QTimer::timeout, [&] {
        if (channel.congested)
            channel.Drain();
    });
    drainer.start(2);
    const QByteArray content = Pattern(64 * 1000 + 5);

    sender.Start(WriteFile(QStringLiteral("f.bin"), content));
    ASSERT_TRUE(WaitFor([&] { return !sender.Busy(); }));

    EXPECT_EQ(channel.writesWhileCongested, 0);
    EXPECT_EQ(Joined(channel.writes), content);
    EXPECT_EQ(channel.writes.size(), 1001u);
}

TEST_F(FileSenderTest, AStartDuringATransferIsIgnored)
{
    FlowChannel channel(TCPS, sink);
    UseChannel(channel);
    target = TCPS;
    channel.congested = true;
    const QByteArray first = Pattern(300);

    ASSERT_TRUE(sender.Start(WriteFile(QStringLiteral("first.bin"), first)));
    EXPECT_FALSE(sender.Start(WriteFile(QStringLiteral("second.bin"), QByteArray(100, 'x'))));
    EXPECT_FALSE(sender.Start(directory.filePath(QStringLiteral("first.bin"))));
    channel.Drain();
    ASSERT_TRUE(WaitFor([&] { return !sender.Busy(); }));
    Settle(20);

    EXPECT_EQ(Joined(channel.writes), first);
    EXPECT_EQ(Texts().count(QStringLiteral("文件发送完成")), 1);
    EXPECT_TRUE(sender.Start(directory.filePath(QStringLiteral("second.bin")))) << "a new transfer after the end";
}

TEST_F(FileSenderTest, ProgressComesAtMostTenTimesASecondAndAtTheEnd)
{
    CongestingChannel channel(TCPS, sink, 200);
    UseChannel(channel);
    target = TCPS;
    options.sendInfo = false;
    QTimer drainer;
    QObject::connect(&drainer, &QTimer::timeout, [&] {
        if (channel.congested)
            channel.Drain();
    });
    drainer.start(10);
    struct Report
    {
        qint64 sent;
        qint64 total;
        qint64 atMs;
    };
    std::vector<Report> reports;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&sender, &FileSender::Progress,
                     [&](qint64 sent, qint64 total) { reports.push_back({sent, total, clock.elapsed()}); });
    const qint64 size = 64 * 200 * 60;

    sender.Start(WriteFile(QStringLiteral("f.bin"), Pattern(size)));
    ASSERT_TRUE(WaitFor([&] { return !sender.Busy(); }));
    const qint64 elapsed = clock.elapsed();

    ASSERT_GE(reports.size(), 3u);
    EXPECT_EQ(reports.front().sent, 0);
    EXPECT_EQ(reports.back().sent, size);
    for (size_t i = 0; i < reports.size(); ++i) {
        EXPECT_EQ(reports[i].total, size);
        if (i == 0)
            continue;
        EXPECT_GE(reports[i].sent, reports[i - 1].sent);
        // Every report but the last comes 100 ms or more after the one before.
        if (i + 1 < reports.size()) {
            EXPECT_GE(reports[i].atMs - reports[i - 1].atMs, 99);
        }
    }
    EXPECT_LE(static_cast<qint64>(reports.size()), elapsed / 100 + 2);
}

}  // namespace

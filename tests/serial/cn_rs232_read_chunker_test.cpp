#include "serial/cn_rs232_read_chunker.h"

#include <gtest/gtest.h>

namespace {

// Bytes that arrive at one moment.
struct Arrival
{
    qint64 atMs;
    int count;
};

// Feeds the arrivals, ticking at every millisecond in between as the reader's
// waits would, up to `untilMs`; returns the chunk sizes.
std::vector<qsizetype> Chunks(const TCnRS232Timeouts& timeouts, const std::vector<Arrival>& arrivals, qint64 untilMs)
{
    CnRS232ReadChunker chunker(timeouts, 0);
    std::vector<QByteArray> chunks;
    size_t next = 0;
    for (qint64 now = 0; now <= untilMs; ++now) {
        while (next < arrivals.size() && arrivals[next].atMs == now) {
            chunker.Feed(QByteArray(arrivals[next].count, 'x'), now, chunks);
            ++next;
        }
        chunker.Tick(now, chunks);
    }
    std::vector<qsizetype> sizes;
    for (const QByteArray& chunk : chunks)
        sizes.push_back(chunk.size());
    return sizes;
}

std::vector<Arrival> Burst(qint64 startMs, int bytes, qint64 gapMs)
{
    std::vector<Arrival> arrivals;
    for (int i = 0; i < bytes; ++i)
        arrivals.push_back({startMs + i * gapMs, 1});
    return arrivals;
}

std::vector<Arrival> Join(std::vector<Arrival> a, const std::vector<Arrival>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

TEST(CnRS232ReadChunker, EndsReadsByTheirSizeAndTimeouts)
{
    const TCnRS232Timeouts portB{120, 0, 0, 0, 0};
    struct Row
    {
        const char* behaviour;
        TCnRS232Timeouts timeouts;
        std::vector<Arrival> arrivals;
        qint64 untilMs;
        std::vector<qsizetype> expected;
    };
    const Row rows[] = {
        {"10 bytes with gaps under the interval are one chunk", portB, Burst(0, 10, 100), 2000, {10}},
        {"two bursts 200 ms apart are two chunks", portB, Join(Burst(0, 5, 10), Burst(240, 5, 10)), 2000, {5, 5}},
        {"a gap of exactly the interval ends the read", portB, Join(Burst(0, 1, 1), Burst(120, 1, 1)), 2000, {1, 1}},
        {"5000 bytes at once are 2048, 2048 and 904", portB, {{0, 5000}}, 2000, {2048, 2048, 904}},
        {"the last part waits for the interval", portB, {{0, 5000}}, 119, {2048, 2048}},
        {"no interval and no total limit hand on full reads only", {0, 0, 0, 0, 0}, Burst(0, 3000, 1), 10000,
         {2048}},
        {"total constant ends a read that keeps receiving", {0, 0, 50, 0, 0}, Burst(0, 100, 1), 1000, {50, 50}},
        {"total limit counts from the start of the read", {1000, 0, 50, 0, 0}, {{10, 3}, {70, 4}}, 1000, {3, 4}},
        {"total multiplier counts per requested byte", {0, 1, 0, 0, 0}, {{0, 1}, {2047, 1}, {2048, 1}}, 5000,
         {2, 1}},
        {"the earlier of interval and total limit wins", {30, 0, 100, 0, 0}, Burst(0, 20, 10), 1000, {10, 10}},
        {"nothing received, nothing handed on", portB, {}, 1000, {}},
    };
    for (const Row& row : rows)
        EXPECT_EQ(Chunks(row.timeouts, row.arrivals, row.untilMs), row.expected) << row.behaviour;
}

TEST(CnRS232ReadChunker, SameChunksWhereverTheInputIsSplit)
{
    QByteArray input;
    for (int i = 0; i < 5000; ++i)
        input.append(static_cast<char>(i * 7));
    for (qsizetype split = 0; split <= input.size(); ++split) {
        CnRS232ReadChunker chunker({120, 0, 0, 0, 0}, 0);
        std::vector<QByteArray> chunks;
        chunker.Feed(QByteArrayView(input).first(split), 0, chunks);
        chunker.Feed(QByteArrayView(input).sliced(split), 5, chunks);
        chunker.Tick(200, chunks);
        ASSERT_EQ(chunks.size(), 3u) << "split at " << split;
        EXPECT_EQ(chunks[0].size(), 2048) << "split at " << split;
        EXPECT_EQ(chunks[1].size(), 2048) << "split at " << split;
        EXPECT_EQ(chunks[0] + chunks[1] + chunks[2], input) << "split at " << split;
    }
}

TEST(CnRS232ReadChunker, WaitTellsWhenTheReadTimesOut)
{
    CnRS232ReadChunker chunker({120, 0, 0, 0, 0}, 0);
    std::vector<QByteArray> chunks;
    EXPECT_EQ(chunker.WaitMs(0), CnRS232ReadChunker::kNoLimit) << "no byte yet, no interval running";
    chunker.Feed("ab", 10, chunks);
    EXPECT_EQ(chunker.WaitMs(50), 80);
    EXPECT_EQ(chunker.WaitMs(500), 0) << "an overdue read waits no more";
    EXPECT_EQ(chunker.Room(), 2046);

    CnRS232ReadChunker total({0, 2, 100, 0, 0}, 1000);
    EXPECT_EQ(total.WaitMs(1000), 2 * 2048 + 100);
}

TEST(CnRS232ReadChunker, TakePendingEmptiesTheRead)
{
    CnRS232ReadChunker chunker({120, 0, 0, 0, 0}, 0);
    std::vector<QByteArray> chunks;
    chunker.Feed("partial", 0, chunks);
    EXPECT_EQ(chunker.TakePending(), QByteArray("partial"));
    chunker.Tick(1000, chunks);
    EXPECT_TRUE(chunks.empty());
    EXPECT_EQ(chunker.Room(), CnRS232ReadChunker::kReadSize);
}

}  // namespace

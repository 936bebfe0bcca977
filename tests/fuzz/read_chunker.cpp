// Port B's read chunking driven by a script of arrivals, ticks, time-out
// changes and failures. The chunks must carry every byte once, in order,
// none empty or above one read, and end where the time-outs say.

#include "serial/cn_rs232_read_chunker.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"

#include <algorithm>
#include <cstdint>
#include <vector>

namespace {

constexpr qsizetype kReadSize = CnRS232ReadChunker::kReadSize;

// Small values make time-outs pass within a script; a marker byte asks for
// full 32-bit values, for the arithmetic of far deadlines.
TCnRS232Timeouts TimeoutsFrom(FuzzInput& in)
{
    TCnRS232Timeouts t;
    if (in.TakeU8() == 0xFF) {
        t.ReadIntervalTimeout = in.TakeU32();
        t.ReadTotalTimeoutMultiplier = in.TakeU32();
        t.ReadTotalTimeoutConstant = in.TakeU32();
    } else {
        t.ReadIntervalTimeout = in.TakeU16() % 512;
        t.ReadTotalTimeoutMultiplier = in.TakeU8() % 3;
        t.ReadTotalTimeoutConstant = in.TakeU16() % 4096;
    }
    return t;
}

// Bytes that arrived together: their first position in the stream and when.
struct Arrival
{
    qsizetype offset;
    qint64 atMs;
};

class Script
{
public:
    Script(const TCnRS232Timeouts& timeouts, qint64 startMs)
        : timeouts_(timeouts), chunker_(timeouts, startMs), nowMs_(startMs)
    {
    }

    void Feed(qsizetype count, qint64 afterMs)
    {
        nowMs_ += afterMs;
        QByteArray bytes(count, Qt::Uninitialized);
        for (char& byte : bytes) {
            // A different pattern than a counter: a lost run of 256 shows too.
            state_ = state_ * 1103515245u + 12345u;
            byte = static_cast<char>(state_ >> 16);
        }
        if (count > 0)
            arrivals_.push_back({fed_.size(), nowMs_});
        fed_ += bytes;
        chunker_.Feed(bytes, nowMs_, chunks_);
        Collect(true);
    }

    void Tick(qint64 afterMs)
    {
        nowMs_ += afterMs;
        chunker_.Tick(nowMs_, chunks_);
        Collect(true);
    }

    // As the reader waits: for exactly WaitMs, with no bytes coming. The read
    // ends then, not a millisecond earlier.
    void WaitForTimeout()
    {
        const qint64 wait = chunker_.WaitMs(nowMs_);
        if (wait == CnRS232ReadChunker::kNoLimit)
            return;
        if (wait > 0) {
            const qsizetype pending = fed_.size() - delivered_.size();
            Tick(wait - 1);
            FUZZ_CHECK(fed_.size() - delivered_.size() == pending);
        }
        Tick(wait > 0 ? 1 : 0);
        FUZZ_CHECK(delivered_.size() == fed_.size());
    }

    void SetTimeouts(const TCnRS232Timeouts& timeouts)
    {
        constant_ = constant_ && timeouts == timeouts_;
        timeouts_ = timeouts;
        chunker_.SetTimeouts(timeouts);
        CheckState();
    }

    // As the reader does when the port fails: what is pending goes out.
    void Fail()
    {
        if (QByteArray rest = chunker_.TakePending(); !rest.isEmpty())
            chunks_.push_back(std::move(rest));
        Collect(false);
        FUZZ_CHECK(chunker_.Room() == kReadSize);
    }

    qsizetype Room() const { return chunker_.Room(); }

    void Finish()
    {
        Fail();
        FUZZ_CHECK(delivered_ == fed_);
    }

private:
    void CheckState() const
    {
        FUZZ_CHECK(chunker_.Room() >= 1 && chunker_.Room() <= kReadSize);
        const qint64 wait = chunker_.WaitMs(nowMs_);
        FUZZ_CHECK(wait == CnRS232ReadChunker::kNoLimit || wait >= 0);
    }

    // Checks and takes the chunks the last step handed on. `byTimeouts`: the
    // reads ended by their size or a time-out, not by a failure.
    void Collect(bool byTimeouts)
    {
        for (const QByteArray& chunk : chunks_) {
            FUZZ_CHECK(!chunk.isEmpty() && chunk.size() <= kReadSize);
            const qsizetype start = delivered_.size();
            delivered_ += chunk;
            FUZZ_CHECK(delivered_.size() <= fed_.size());
            FUZZ_CHECK(QByteArrayView(fed_).sliced(start, chunk.size()) == chunk);
            if (constant_)
                CheckTiming(start, chunk.size(), byTimeouts);
        }
        chunks_.clear();
        CheckState();
        // A read whose time has come is never left waiting.
        if (byTimeouts)
            FUZZ_CHECK(chunker_.WaitMs(nowMs_) != 0);
    }

    void CheckTiming(qsizetype start, qsizetype size, bool byTimeouts) const
    {
        const TCnRS232Timeouts& t = timeouts_;
        const bool interval = t.ReadIntervalTimeout != 0;
        const qint64 total = qint64(t.ReadTotalTimeoutMultiplier) * kReadSize + t.ReadTotalTimeoutConstant;
        if (byTimeouts && !interval && total == 0)
            FUZZ_CHECK(size == kReadSize);
        // The arrivals the chunk's bytes came with.
        auto first = std::upper_bound(arrivals_.begin(), arrivals_.end(), start,
                                      [](qsizetype offset, const Arrival& a) { return offset < a.offset; });
        --first;
        auto last = first;
        qint64 widestGap = 0;
        for (auto a = first + 1; a != arrivals_.end() && a->offset < start + size; ++a) {
            widestGap = std::max(widestGap, a->atMs - last->atMs);
            last = a;
        }
        if (interval) {
            FUZZ_CHECK(widestGap < t.ReadIntervalTimeout);
            if (byTimeouts && total == 0 && size < kReadSize)
                FUZZ_CHECK(nowMs_ >= last->atMs + t.ReadIntervalTimeout);
        }
        if (total != 0)
            FUZZ_CHECK(last->atMs - first->atMs < total);
    }

    TCnRS232Timeouts timeouts_;
    bool constant_ = true;
    CnRS232ReadChunker chunker_;
    qint64 nowMs_;
    quint32 state_ = 1;
    QByteArray fed_;
    QByteArray delivered_;
    std::vector<Arrival> arrivals_;
    std::vector<QByteArray> chunks_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput in(data, size);
    const TCnRS232Timeouts timeouts = TimeoutsFrom(in);
    Script script(timeouts, in.TakeU32() % (1 << 30));
    while (!in.Empty()) {
        switch (in.TakeU8() % 6) {
        case 0:
            // Any amount at once, more than a read included.
            script.Feed(in.TakeU16() % 6000, in.TakeU8());
            break;
        case 1:
            // What one read of the device can give: 1 byte up to the room left.
            script.Feed(1 + in.TakeU16() % script.Room(), in.TakeU8());
            break;
        case 2:
            script.Tick(in.TakeU16() % 1024);
            break;
        case 3:
            script.SetTimeouts(TimeoutsFrom(in));
            break;
        case 4:
            script.Fail();
            break;
        case 5:
            script.WaitForTimeout();
            break;
        }
    }
    script.Finish();
    return 0;
}

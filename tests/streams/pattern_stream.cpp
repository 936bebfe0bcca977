#include "tests/streams/pattern_stream.h"

#include <QCryptographicHash>

#include <algorithm>
#include <cstring>

namespace {

constexpr qsizetype kBlockBytes = 64 * 1024;

// splitmix64: neighbouring positions give unrelated words.
quint64 Mix(quint64 value)
{
    value += 0x9E3779B97F4A7C15ull;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ull;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBull;
    return value ^ (value >> 31);
}

}  // namespace

PatternStream::PatternStream(quint64 seed) : seed_(Mix(seed)), block_(kBlockBytes, Qt::Uninitialized), used_(kBlockBytes)
{
}

void PatternStream::Fill(char* out, qsizetype size)
{
    while (size > 0) {
        const char* bytes;
        const qsizetype n = Next(bytes, size);
        std::memcpy(out, bytes, static_cast<size_t>(n));
        out += n;
        size -= n;
    }
}

bool PatternStream::Matches(const char* data, qsizetype size)
{
    bool equal = true;
    while (size > 0) {
        const char* bytes;
        const qsizetype n = Next(bytes, size);
        equal = equal && std::memcmp(data, bytes, static_cast<size_t>(n)) == 0;
        data += n;
        size -= n;
    }
    return equal;
}

QByteArray PatternStream::Sha256(quint64 seed, qint64 bytes)
{
    PatternStream pattern(seed);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    while (bytes > 0) {
        const char* piece;
        const qsizetype n = pattern.Next(piece, static_cast<qsizetype>(std::min<qint64>(bytes, kBlockBytes)));
        hash.addData(QByteArrayView(piece, n));
        bytes -= n;
    }
    return hash.result();
}

qsizetype PatternStream::Next(const char*& bytes, qsizetype size)
{
    if (used_ == block_.size())
        Refill();
    const qsizetype n = std::min(size, block_.size() - used_);
    bytes = block_.constData() + used_;
    used_ += n;
    return n;
}

void PatternStream::Refill()
{
    char* out = block_.data();
    for (qsizetype i = 0; i < kBlockBytes; i += 8) {
        const quint64 word = Mix(seed_ ^ word_++);
        std::memcpy(out + i, &word, 8);
    }
    used_ = 0;
}

#pragma once

#include <QByteArray>
#include <QtGlobal>

// An endless byte stream in which every 8-byte word is a hash of its position,
// so a lost, doubled or reordered piece shows at once. Sender and checker each
// hold one made with the same seed; neither keeps more than one block.
class PatternStream
{
public:
    explicit PatternStream(quint64 seed);

    // Writes the next `size` bytes of the stream to `out`.
    void Fill(char* out, qsizetype size);
    // Compares `data` with the next `size` bytes; true when they are equal.
    bool Matches(const char* data, qsizetype size);

    // SHA-256 of the first `bytes` bytes of the stream made with `seed`.
    static QByteArray Sha256(quint64 seed, qint64 bytes);

private:
    // The bytes of the block from the current position on, at most `size`.
    qsizetype Next(const char*& bytes, qsizetype size);
    void Refill();

    quint64 seed_;
    quint64 word_ = 0;
    QByteArray block_;
    qsizetype used_;
};

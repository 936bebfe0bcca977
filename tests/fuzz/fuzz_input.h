#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QtGlobal>

// Reads a fuzz input front to back as the numbers and byte strings a target
// builds its case from. Past the end every number is 0 and every string
// empty, so any input, the empty one included, makes a whole case.
class FuzzInput
{
public:
    FuzzInput(const quint8* data, size_t size) : rest_(reinterpret_cast<const char*>(data), qsizetype(size)) {}

    bool Empty() const { return rest_.isEmpty(); }

    quint8 TakeU8();
    quint16 TakeU16();
    quint32 TakeU32();
    bool TakeBool() { return TakeU8() & 1; }

    // Up to `count` bytes.
    QByteArrayView TakeBytes(qsizetype count);

    // Everything not taken yet.
    QByteArrayView TakeRest() { return TakeBytes(rest_.size()); }

private:
    QByteArrayView rest_;
};

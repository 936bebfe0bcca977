#include "tests/fuzz/fuzz_input.h"

#include <algorithm>

quint8 FuzzInput::TakeU8()
{
    const QByteArrayView byte = TakeBytes(1);
    return byte.isEmpty() ? 0 : static_cast<quint8>(byte[0]);
}

quint16 FuzzInput::TakeU16()
{
    const quint16 low = TakeU8();
    return static_cast<quint16>(low | (TakeU8() << 8));
}

quint32 FuzzInput::TakeU32()
{
    const quint32 low = TakeU16();
    return low | (quint32(TakeU16()) << 16);
}

QByteArrayView FuzzInput::TakeBytes(qsizetype count)
{
    const QByteArrayView taken = rest_.first(std::min(count, rest_.size()));
    rest_ = rest_.sliced(taken.size());
    return taken;
}

#include "data/split_character_carry.h"

DisplayText SplitCharacterCarry::Decoded(const QByteArray& chunk, TextCodec::Encoding encoding)
{
    const QByteArray bytes = held_.isEmpty() ? chunk : held_ + chunk;
    const qsizetype tail = TextCodec::IncompleteTail(bytes, encoding);
    held_ = tail > 0 ? bytes.last(tail) : QByteArray();
    return DisplayText::Decoded(bytes, encoding, bytes.size() - tail);
}

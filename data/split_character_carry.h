#pragma once

#include "core/text_codec.h"
#include "data/display_text.h"

#include <QByteArray>

// One channel's received text, which arrives cut into chunks anywhere: a
// character whose bytes fall into two chunks would be shown as two broken
// halves. The leading bytes of such a character are held back from the
// chunk's display line and shown in front of the next chunk of the channel.
class SplitCharacterCarry
{
public:
    // The display text of `chunk` with the bytes held back from the previous
    // chunk in front and the leading bytes of a cut last character left out.
    // Shares the chunk's bytes unless bytes were held back.
    DisplayText Decoded(const QByteArray& chunk, TextCodec::Encoding encoding);

    // Forgets the held-back bytes (the channel's chunks are shown as hex now).
    void Clear() { held_.clear(); }

private:
    QByteArray held_;
};

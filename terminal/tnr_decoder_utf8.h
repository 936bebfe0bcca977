#pragma once

#include "terminal/tnr_decoder.h"

#include <algorithm>

// UTF-8 (RFC 3629) to UTF-16 code units. A byte below 0x80 always yields
// itself and drops an unfinished sequence; a stray continuation byte yields
// nothing; code points above 0xFFFF yield their low 16 bits.
class TnrDecoderUTF8 : public TnrDecoder
{
public:
    void Reset() override
    {
        expected_ = 0;
        received_ = 0;
        value_ = 0;
    }

    bool Decode(unsigned char byte, char16_t& character) override
    {
        if (byte < 0x80) {
            Reset();
            character = byte;
            return true;
        }
        if (byte < 0xC0) {
            if (received_ >= expected_)
                return false;
            value_ = (value_ << 6) | (byte & 0x3F);
            if (++received_ < expected_)
                return false;
            character = static_cast<char16_t>(value_ & 0xFFFF);
            Reset();
            return true;
        }
        // 110xxxxx gives 2 bytes, 1110xxxx 3, and one more for every further 1 bit.
        int ones = 2;
        while (ones < 8 && (byte & (0x80 >> ones)) != 0)
            ++ones;
        expected_ = ones;
        received_ = 1;
        value_ = byte & ((1U << (7 - std::min(ones, 7))) - 1);
        return false;
    }

private:
    int expected_ = 0;
    int received_ = 0;
    // Unsigned: the 7- and 8-byte forms of 0xFE and 0xFF shift bits out of the top.
    unsigned value_ = 0;
};

#pragma once

// A byte decoder that turns a byte stream into 16-bit characters.
class TnrDecoder
{
public:
    virtual ~TnrDecoder() = default;
    virtual void Reset() = 0;
    // True when `byte` completes a character, which is written to `character`.
    virtual bool Decode(unsigned char byte, char16_t& character) = 0;
};

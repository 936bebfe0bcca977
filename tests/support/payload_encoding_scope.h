#pragma once

#include "core/text_codec.h"

// Chooses the payload text encoding for the owner's lifetime and restores
// the previous one afterwards, so tests cannot leak their choice.
class PayloadEncodingScope
{
public:
    explicit PayloadEncodingScope(TextCodec::Encoding encoding) : previous_(TextCodec::PayloadEncoding())
    {
        TextCodec::SetPayloadEncoding(encoding);
    }
    ~PayloadEncodingScope() { TextCodec::SetPayloadEncoding(previous_); }
    PayloadEncodingScope(const PayloadEncodingScope&) = delete;
    PayloadEncodingScope& operator=(const PayloadEncodingScope&) = delete;

private:
    TextCodec::Encoding previous_;
};

// The Modbus reply path in ASCII framing; see modbus_reply_fuzz.h.

#include "tests/fuzz/modbus_reply_fuzz.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    return FuzzModbusReply(true, data, size);
}

#pragma once

#include <QtGlobal>

class TnrBaseIO;

// Which later receive steps a data processor asks the component to skip.
enum TIgnoreType { itTerminal = 1, itEventList = 2, itAfterReceive = 4, itTraceState = 8 };
using TIgnoreTypes = int;

// A protocol engine fed with every received block before anybody else (the
// framing processor and the Modbus engine attach here). A processor detaches
// itself (SetDataProcessor(nullptr) on its component) before it is destroyed.
class TnrCustomDataProcessor
{
public:
    virtual ~TnrCustomDataProcessor() = default;

    // Called with the component the processor now works on, or null.
    virtual void SetDevice(TnrBaseIO* device) = 0;
    virtual void DoProcessing(const char* Buffer, quint32 Length, TIgnoreTypes& ignore) = 0;
    // The output has drained; setting `handled` keeps OnAfterSend from firing.
    virtual void DoAfterSendComplete(bool& handled) = 0;
};

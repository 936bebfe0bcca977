#pragma once

#include <QByteArrayView>

class TnrBaseIO;

// The link between a component and an attached terminal control: what the
// component needs of the terminal. The terminal tells
// the component about typed characters through TnrBaseIO::TerminalKeyPressed.
class TnrTerminalLink
{
public:
    virtual ~TnrTerminalLink() = default;

    // The component the terminal is attached to, or null when detached.
    virtual void AttachDevice(TnrBaseIO* device) = 0;
    // One received byte, acted on as a typed character (backspace, CR ...).
    virtual void ReceiveChar(char c) = 0;
    // A run of received text without zero bytes.
    virtual void InsertText(QByteArrayView text) = 0;
};

#include "protocol/tnr_data_protocol.h"

#include <exception>

TnrDataProtocol::TnrDataProtocol(QObject* parent) : TnrCustomDataProcessor(parent), packets_(this)
{
    SetLogPrefix(QStringLiteral("nrDataProt: "));
}

void TnrDataProtocol::DoProcessing(const char* Buffer, quint32 Length, TIgnoreTypes& ignore)
{
    quint32 timeout = timeout_;
    if (Active() && packets_.Count() > 0) {
        for (quint32 i = 0; i < Length; ++i) {
            const char* decoded = nullptr;
            const qsizetype count = DecodeEscSequence(static_cast<quint8>(Buffer[i]), decoded);
            for (qsizetype k = 0; k < count; ++k)
                IsPacket(static_cast<quint8>(decoded[k]));
            if (!Active()) {
                timeout = 0;
                break;
            }
        }
    }
    ResetTimeout(timeout);
    TnrCustomDataProcessor::DoProcessing(Buffer, Length, ignore);
}

int TnrDataProtocol::IsPacket(quint8 byte)
{
    const int index = packets_.IsPacket(byte);
    if (index >= 0) {
        DoHandlePacket(index);
        ResetTimeout(0);
        // The handler may have changed the collection.
        if (index < packets_.Count())
            packets_.Item(index)->Reset();
    }
    return index;
}

qsizetype TnrDataProtocol::DecodeEscSequence(quint8 byte, const char*& decoded)
{
    decodeBuffer_[0] = static_cast<char>(byte);
    decoded = decodeBuffer_;
    return 1;
}

void TnrDataProtocol::DoHandlePacket(int index)
{
    if (index < 0 || index >= packets_.Count())
        return;
    TnrDataPacket* packet = packets_.Item(index);
    Logging(dlDebug, QStringLiteral("DataPacket is detected: ") + packet->DisplayName());
    if (!OnDataPacket)
        return;
    try {
        OnDataPacket(this, packet);
    } catch (const std::exception& error) {
        DoFatalErrors(15, 1,
                      QStringLiteral("EXCEPTION in DataPacket handler [") + packet->DisplayName() + QStringLiteral("]") +
                          QString::fromUtf8(error.what()));
    } catch (...) {
        DoFatalErrors(15, 1,
                      QStringLiteral("EXCEPTION in DataPacket handler [") + packet->DisplayName() + QStringLiteral("]"));
    }
}

void TnrDataProtocol::DoTimeoutError()
{
    if (!OnTimeout)
        return;
    try {
        OnTimeout(this);
    } catch (const std::exception& error) {
        DoFatalErrors(15, 1, QStringLiteral("EXCEPTION in OnTimout handler.") + QString::fromUtf8(error.what()));
    } catch (...) {
        DoFatalErrors(15, 1, QStringLiteral("EXCEPTION in OnTimout handler."));
    }
}

void TnrDataProtocol::DoAsyncTimeout()
{
    TnrCustomDataProcessor::DoAsyncTimeout();
    const int index = packets_.IsTimeoutHandle();
    if (index < 0) {
        DoTimeoutError();
    } else {
        if (OnDataPacket)
            DoHandlePacket(index);
        if (index < packets_.Count())
            packets_.Item(index)->Reset();
    }
    // The timer stays off unless a handler restarted it (a protocol that sent
    // its next request from OnTimeout waits for that request's answer).
}

void TnrDataProtocol::DoMediumOpened()
{
    Reset();
    TnrCustomDataProcessor::DoMediumOpened();
}

void TnrDataProtocol::DoMediumClosed()
{
    TnrCustomDataProcessor::DoMediumClosed();
    Reset();
}

TnrDataProcessor::TnrDataProcessor(QObject* parent) : TnrDataProtocol(parent)
{
    SetLogPrefix(QStringLiteral("nrDataProc: "));
    SetActive(true);
}

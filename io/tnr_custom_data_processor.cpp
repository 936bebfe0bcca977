#include "io/tnr_custom_data_processor.h"

#include "io/tnr_base_io.h"
#include "io/tnr_timer.h"

#include <stdexcept>

TnrCustomDataProcessor::TnrCustomDataProcessor(QObject* parent) : QObject(parent), timer_(new TnrTimer(this))
{
    timer_->SetEnabled(false);
    timer_->SetOnTimer([this](TnrTimer*) { DoAsyncTimeout(); });
}

TnrCustomDataProcessor::~TnrCustomDataProcessor()
{
    if (device_ && device_->DataProcessor() == this)
        device_->SetDataProcessor(nullptr);
    else
        SetDevice(nullptr);
}

void TnrCustomDataProcessor::SetDevice(TnrBaseIO* device)
{
    if (device == device_)
        return;
    if (device_)
        device_->NotifyDelete(this);
    device_ = device;
    if (device_)
        device_->NotifyAdd(this);
}

void TnrCustomDataProcessor::SetDataProcessor(TnrCustomDataProcessor* next)
{
    if (next == this)
        return;
    next_ = next;
    if (next_)
        next_->SetDevice(device_);
}

void TnrCustomDataProcessor::DoHandleNotify(TnrBaseIO*, int Code)
{
    if (Code == kNotifyClosed)
        DoMediumClosed();
    else if (Code == kNotifyOpened)
        DoMediumOpened();
}

void TnrCustomDataProcessor::DoMediumClosed()
{
    Logging(dlDebug, QStringLiteral("Medium Closed"));
}

void TnrCustomDataProcessor::DoMediumOpened()
{
    Logging(dlDebug, QStringLiteral("Medium Opened"));
}

void TnrCustomDataProcessor::DoProcessing(const char* Buffer, quint32 Length, TIgnoreTypes& ignore)
{
    if (next_)
        next_->DoProcessing(Buffer, Length, ignore);
}

void TnrCustomDataProcessor::DataReceive(const char* Buffer, quint32 Length)
{
    TIgnoreTypes ignore = 0;
    DoProcessing(Buffer, Length, ignore);
}

void TnrCustomDataProcessor::DoAfterSendComplete(bool&) {}

void TnrCustomDataProcessor::DoDataSend(const char* ptrBuffer, quint32 Len)
{
    if (ptrBuffer == nullptr || Len == 0)
        return;
    try {
        bool handled = false;
        if (OnDataSend)
            OnDataSend(this, ptrBuffer, Len, false, handled);
        if (handled)
            timer_->SetEnabled(true);  // re-arms: the reply wait starts over
        else if (device_)
            device_->SendData(ptrBuffer, Len);
        Logging(dlDebug, QStringLiteral("DoDataSend: %1 bytes").arg(Len));
    } catch (...) {
    }
}

void TnrCustomDataProcessor::DoStringSend(const QByteArray& text)
{
    if (text.isEmpty())
        return;
    try {
        bool handled = false;
        if (OnDataSend)
            OnDataSend(this, text.constData(), static_cast<quint32>(text.size()), true, handled);
        if (!handled && device_)
            device_->SendString(text);
    } catch (...) {
    }
}

void TnrCustomDataProcessor::ResetTimeout(quint32 ms)
{
    timer_->SetEnabled(false);
    if (ms == 0)
        return;
    timer_->SetInterval(static_cast<int>(ms));
    timer_->SetEnabled(true);
}

void TnrCustomDataProcessor::DoAsyncTimeout()
{
    timer_->SetEnabled(false);
    bool handled = false;
    DoAfterSendComplete(handled);
}

void TnrCustomDataProcessor::DoFatalErrors(quint32 ErrorCode, quint32 Detail, const QString& ErrorMsg)
{
    bool raise = true;
    if (OnFatalError)
        OnFatalError(this, ErrorCode, Detail, ErrorMsg, raise);
    Logging(dlSimple, QStringLiteral("Fatal Error: %1, %2, %3").arg(ErrorCode).arg(Detail).arg(ErrorMsg));
    if (raise)
        throw std::runtime_error(ErrorMsg.toStdString());
}

void TnrCustomDataProcessor::Logging(TDetailLevel level, const QString& message) const
{
    if (log_)
        log_->AddLog(level, logPrefix_ + message);
}

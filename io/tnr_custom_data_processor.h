#pragma once

#include "io/tnr_log.h"
#include "io/tnr_notify_handler.h"

#include <QByteArray>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>

class TnrBaseIO;
class TnrTimer;

// Which later receive steps a data processor asks the component to skip.
enum TIgnoreType { itTerminal = 1, itEventList = 2, itAfterReceive = 4, itTraceState = 8 };
using TIgnoreTypes = int;

// The base of the protocol engines that attach to a device component and see
// every received chunk before the component's own receive event: the device
// link, a chained further processor, the activity flag, a response or idle
// timer, sending through the device, and error and log reporting. Everything
// runs on the user-interface thread.
class TnrCustomDataProcessor : public QObject, public TnrNotifyHandler
{
    Q_OBJECT

public:
    // Setting flHandled means the handler sent the bytes itself.
    using TDataSendEvent = std::function<void(TnrCustomDataProcessor* Sender, const char* ptrBuffer, quint32 Len,
                                              bool flSynchro, bool& flHandled)>;
    // Clearing RaiseException cancels the error.
    using TOnFatalErrorEvent = std::function<void(TnrCustomDataProcessor* Sender, quint32 ErrorCode, quint32 Detail,
                                                  const QString& ErrorMsg, bool& RaiseException)>;

    explicit TnrCustomDataProcessor(QObject* parent = nullptr);
    // Detaches from the device.
    ~TnrCustomDataProcessor() override;

    bool Active() const { return active_; }
    virtual void SetActive(bool active) { active_ = active; }

    TnrBaseIO* Device() const { return device_; }
    // Leaves the previous device's subscribers and joins the new one's; the
    // device feeds the processor once it is its DataProcessor.
    virtual void SetDevice(TnrBaseIO* device);

    TnrCustomDataProcessor* DataProcessor() const { return next_; }
    // Chains a further processor on the same device; the processor itself is refused.
    virtual void SetDataProcessor(TnrCustomDataProcessor* next);

    TnrLog* Log() const { return log_; }
    void SetLog(TnrLog* log) { log_ = log; }

    // Called by the device for every received chunk. The base passes it on to
    // the chained processor.
    virtual void DoProcessing(const char* Buffer, quint32 Length, TIgnoreTypes& ignore);
    // Feeds a chunk by hand, as if the device had received it.
    void DataReceive(const char* Buffer, quint32 Length);
    // The device's output has drained, or the timer ran out; setting `handled`
    // keeps the device's own after-send event from firing.
    virtual void DoAfterSendComplete(bool& handled);

    // Sends through the device unless OnDataSend handles the bytes. The
    // device's writer keeps the order of sends; send failures are swallowed,
    // the device reports them on its own path.
    virtual void DoDataSend(const char* ptrBuffer, quint32 Len);
    virtual void DoStringSend(const QByteArray& text);

    // Stops the timer; a non-zero `ms` restarts it with that interval.
    virtual void ResetTimeout(quint32 ms);
    // Raises std::runtime_error(ErrorMsg) unless OnFatalError cancels it.
    virtual void DoFatalErrors(quint32 ErrorCode, quint32 Detail, const QString& ErrorMsg);

    // Hands the log sink, when one is attached, the prefix and the message.
    void Logging(TDetailLevel level, const QString& message) const;
    QString LogPrefix() const { return logPrefix_; }

    TOnFatalErrorEvent OnFatalError;
    TDataSendEvent OnDataSend;

protected:
    void TnrNotifyEvent(TnrBaseIO* Sender, int Code) override { DoHandleNotify(Sender, Code); }
    virtual void DoHandleNotify(TnrBaseIO* Sender, int Code);
    virtual void DoMediumClosed();
    virtual void DoMediumOpened();
    // The timer's handler: stops it and reports completion.
    virtual void DoAsyncTimeout();

    TnrTimer* Timer() const { return timer_; }
    void SetLogPrefix(const QString& prefix) { logPrefix_ = prefix; }

private:
    bool active_ = false;
    QPointer<TnrBaseIO> device_;
    QPointer<TnrCustomDataProcessor> next_;
    TnrLog* log_ = nullptr;
    TnrTimer* timer_;
    QString logPrefix_;
};

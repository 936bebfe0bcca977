#pragma once

#include "io/tnr_custom_data_processor.h"
#include "io/tnr_device.h"
#include "io/tnr_notify_handler.h"
#include "io/tnr_terminal_link.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <vector>

class TnrTimer;

enum TTerminalUsage { tuNone, tuSend, tuReceive, tuBoth };

// The base of every hardware link component: the open device and the Active
// switch, fatal-error reporting, the device list, subscribers, the dispatch of
// received bytes (data processor, then terminal, then OnAfterReceive) and the
// reconnect timer. Everything runs on the user-interface thread.
class TnrBaseIO : public QObject
{
    Q_OBJECT

public:
    using Handle = int;
    static constexpr Handle kInvalidHandle = -1;

    using TOnReceived = std::function<void(TnrBaseIO* Com, const char* Buffer, quint32 Received)>;
    using TNotifyEvent = std::function<void(TnrBaseIO* Sender)>;
    // Clearing RaiseException cancels the error.
    using TOnFatalErrorEvent = std::function<void(TnrBaseIO* Sender, quint32 ErrorCode, quint32 Detail,
                                                  const QString& ErrorMsg, bool& RaiseException)>;

    explicit TnrBaseIO(QObject* parent = nullptr);
    ~TnrBaseIO() override;

    bool Active() const { return IsHandleValid(); }
    // Writing the current state does nothing.
    void SetActive(bool active);

    virtual bool IsHandleValid() const { return handle_ != kInvalidHandle; }
    virtual void Open();
    virtual void Close();

    // Reports a fatal error: raises std::runtime_error(ErrorMsg) unless the
    // OnFatalError handler cancels it; with ShowOnly it is shown in a message
    // box instead.
    virtual void DoFatalErrors(quint32 ErrorCode, quint32 Detail, const QString& ErrorMsg, bool ShowOnly);

    // Subscribers.
    int NotifyAdd(TnrNotifyHandler* handler);
    void NotifyDelete(TnrNotifyHandler* handler);
    virtual void DoNotify(int Code);
    virtual void Update() { DoNotify(kNotifyDevicesChanged); }

    // Device list.
    virtual void SetDeviceIndex(int i);
    virtual int GetDeviceIndex() const { return -1; }
    int AddDevice(std::unique_ptr<TnrDevice> device);
    // Keeps the list in ascending PortNumber; a duplicate number is refused (-1).
    int AddDeviceSorted(std::unique_ptr<TnrDevice> device);
    virtual void DeviceListLoad() {}
    void DeviceListClear();
    const TnrDevice* GetDevice(int i) const;
    int GetDeviceCount() const { return static_cast<int>(devices_.size()); }
    int IndexOfDeviceData(int key) const;
    int IndexOfDevice(const TnrDevice* device) const;
    // Display texts in list order; loads the list first when it is empty.
    QStringList GetDeviceList();

    // Receive dispatch.
    virtual bool IsReadNeeded() const;
    virtual void DoInputData(const char* Buffer, quint32 Length);
    virtual bool DoOutputData();
    TnrCustomDataProcessor* DataProcessor() const { return dataProcessor_; }
    void SetDataProcessor(TnrCustomDataProcessor* processor);

    // Terminal link.
    TnrTerminalLink* Terminal() const { return terminal_; }
    void SetTerminal(TnrTerminalLink* terminal);
    TTerminalUsage TerminalUsage() const { return terminalUsage_; }
    void SetTerminalUsage(TTerminalUsage usage) { terminalUsage_ = usage; }
    bool TerminalEcho() const { return terminalEcho_; }
    void SetTerminalEcho(bool echo) { terminalEcho_ = echo; }
    // Feeds received bytes to the terminal: one byte as a character, more as
    // text runs split at zero bytes (which are not shown).
    virtual void UpdateTerminalByChars(const char* Buffer, quint32 Length);
    // The terminal reports a typed character. Sends it when the usage carries
    // typed text; returns whether the terminal should show it itself.
    bool TerminalKeyPressed(char c);

    // Writing and purging; derived components that carry data override these.
    virtual void SendChar(char) {}
    virtual void SendString(const QByteArray&) {}
    virtual void SendData(const char*, quint32) {}
    virtual void ClearDeviceInput() {}
    virtual void ClearDeviceOutput() {}
    virtual void ClearDeviceBuffers() {}

    // Reconnect timer.
    bool KeepConnection() const { return keepConnection_; }
    void SetKeepConnection(bool keep) { keepConnection_ = keep; }
    virtual void TryConnectHandle(TnrTimer* sender);
    void TryConnectRestart();
    void TryConnectStop();
    bool TryConnectRunning() const;

    TOnReceived OnAfterReceive;
    TNotifyEvent OnClose;
    TNotifyEvent OnOpen;
    TOnFatalErrorEvent OnFatalError;

protected:
    // Opens the device; kInvalidHandle when it cannot be opened (the derived
    // component reports why).
    virtual Handle RequestDeviceHandle() { return kInvalidHandle; }
    virtual void RequestDeviceHandleClose(Handle handle);
    Handle DeviceHandle() const { return handle_; }

private:
    Handle handle_ = kInvalidHandle;
    std::vector<TnrNotifyHandler*> subscribers_;
    std::vector<std::pair<QString, std::unique_ptr<TnrDevice>>> devices_;
    TnrCustomDataProcessor* dataProcessor_ = nullptr;
    TnrTerminalLink* terminal_ = nullptr;
    TTerminalUsage terminalUsage_ = tuNone;
    bool terminalEcho_ = false;
    bool feeding_ = false;
    bool keepConnection_ = false;
    TnrTimer* reconnectTimer_ = nullptr;
};

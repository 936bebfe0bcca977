#include "io/tnr_base_io.h"

#include "core/message_box.h"
#include "io/tnr_timer.h"

#include <algorithm>
#include <stdexcept>

TnrBaseIO::TnrBaseIO(QObject* parent) : QObject(parent) {}

TnrBaseIO::~TnrBaseIO()
{
    if (terminal_ != nullptr)
        terminal_->AttachDevice(nullptr);
    if (dataProcessor_ != nullptr)
        dataProcessor_->SetDevice(nullptr);
}

void TnrBaseIO::SetActive(bool active)
{
    if (active == Active())
        return;
    if (active)
        Open();
    else
        Close();
}

void TnrBaseIO::Open()
{
    const Handle handle = RequestDeviceHandle();
    if (handle == kInvalidHandle)
        return;
    handle_ = handle;
    if (OnOpen) {
        try {
            OnOpen(this);
        } catch (...) {
        }
    }
}

void TnrBaseIO::Close()
{
    if (handle_ == kInvalidHandle)
        return;
    const Handle old = handle_;
    handle_ = kInvalidHandle;
    RequestDeviceHandleClose(old);
    if (OnClose) {
        try {
            OnClose(this);
        } catch (...) {
        }
    }
}

void TnrBaseIO::RequestDeviceHandleClose(Handle) {}

void TnrBaseIO::DoFatalErrors(quint32 ErrorCode, quint32 Detail, const QString& ErrorMsg, bool ShowOnly)
{
    bool raise = true;
    if (OnFatalError)
        OnFatalError(this, ErrorCode, Detail, ErrorMsg, raise);
    if (!raise)
        return;
    if (ShowOnly)
        MessageBox::Show(ErrorMsg);
    else
        throw std::runtime_error(ErrorMsg.toStdString());
}

int TnrBaseIO::NotifyAdd(TnrNotifyHandler* handler)
{
    const auto found = std::find(subscribers_.begin(), subscribers_.end(), handler);
    if (found != subscribers_.end())
        return static_cast<int>(found - subscribers_.begin());
    subscribers_.push_back(handler);
    return static_cast<int>(subscribers_.size()) - 1;
}

void TnrBaseIO::NotifyDelete(TnrNotifyHandler* handler)
{
    subscribers_.erase(std::remove(subscribers_.begin(), subscribers_.end(), handler), subscribers_.end());
}

void TnrBaseIO::DoNotify(int Code)
{
    // A handler may unsubscribe while being told.
    const std::vector<TnrNotifyHandler*> handlers = subscribers_;
    for (TnrNotifyHandler* handler : handlers)
        if (std::find(subscribers_.begin(), subscribers_.end(), handler) != subscribers_.end())
            handler->TnrNotifyEvent(this, Code);
}

void TnrBaseIO::SetDeviceIndex(int)
{
    DoNotify(kNotifyDevicesChanged);
}

int TnrBaseIO::AddDevice(std::unique_ptr<TnrDevice> device)
{
    device->index = GetDeviceCount();
    device->owner = this;
    const QString text = device->NameFriendly;
    devices_.emplace_back(text, std::move(device));
    return GetDeviceCount() - 1;
}

int TnrBaseIO::AddDeviceSorted(std::unique_ptr<TnrDevice> device)
{
    if (devices_.empty() || device->PortNumber > devices_.back().second->PortNumber)
        return AddDevice(std::move(device));
    for (size_t i = 0; i < devices_.size(); ++i) {
        const int number = devices_[i].second->PortNumber;
        if (number == device->PortNumber)
            return -1;
        if (number > device->PortNumber) {
            device->index = static_cast<int>(i);
            device->owner = this;
            const QString text = device->NameFriendly;
            devices_.emplace(devices_.begin() + static_cast<std::ptrdiff_t>(i), text, std::move(device));
            return static_cast<int>(i);
        }
    }
    return -1;
}

void TnrBaseIO::DeviceListClear()
{
    devices_.clear();
}

const TnrDevice* TnrBaseIO::GetDevice(int i) const
{
    if (i < 0 || i >= GetDeviceCount())
        return nullptr;
    return devices_[static_cast<size_t>(i)].second.get();
}

int TnrBaseIO::IndexOfDeviceData(int key) const
{
    for (int i = 0; i < GetDeviceCount(); ++i)
        if (devices_[static_cast<size_t>(i)].second->PortNumber == key)
            return i;
    return -1;
}

int TnrBaseIO::IndexOfDevice(const TnrDevice* device) const
{
    for (int i = 0; i < GetDeviceCount(); ++i)
        if (devices_[static_cast<size_t>(i)].second.get() == device)
            return i;
    return -1;
}

QStringList TnrBaseIO::GetDeviceList()
{
    if (devices_.empty())
        DeviceListLoad();
    QStringList texts;
    for (const auto& entry : devices_)
        texts << entry.first;
    return texts;
}

bool TnrBaseIO::IsReadNeeded() const
{
    return terminal_ != nullptr || OnAfterReceive != nullptr || dataProcessor_ != nullptr;
}

void TnrBaseIO::DoInputData(const char* Buffer, quint32 Length)
{
    TIgnoreTypes ignore = 0;
    if (dataProcessor_ != nullptr)
        dataProcessor_->DoProcessing(Buffer, Length, ignore);
    if (terminal_ != nullptr && (ignore & itTerminal) == 0)
        UpdateTerminalByChars(Buffer, Length);
    if (OnAfterReceive)
        OnAfterReceive(this, Buffer, Length);
}

bool TnrBaseIO::DoOutputData()
{
    bool handled = false;
    if (dataProcessor_ != nullptr)
        dataProcessor_->DoAfterSendComplete(handled);
    return handled;
}

void TnrBaseIO::SetDataProcessor(TnrCustomDataProcessor* processor)
{
    if (dataProcessor_ != nullptr && dataProcessor_ != processor)
        dataProcessor_->SetDevice(nullptr);
    dataProcessor_ = processor;
    if (processor != nullptr)
        processor->SetDevice(this);
}

void TnrBaseIO::SetTerminal(TnrTerminalLink* terminal)
{
    if (terminal_ != nullptr && terminal_ != terminal)
        terminal_->AttachDevice(nullptr);
    terminal_ = terminal;
    if (terminal != nullptr)
        terminal->AttachDevice(this);
}

void TnrBaseIO::UpdateTerminalByChars(const char* Buffer, quint32 Length)
{
    if (terminal_ == nullptr || (terminalUsage_ != tuReceive && terminalUsage_ != tuBoth))
        return;
    feeding_ = true;
    if (Length == 1) {
        terminal_->ReceiveChar(Buffer[0]);
    } else {
        const QByteArrayView data(Buffer, Length);
        qsizetype start = 0;
        while (start < data.size()) {
            qsizetype end = data.indexOf('\0', start);
            if (end < 0)
                end = data.size();
            if (end > start)
                terminal_->InsertText(data.sliced(start, end - start));
            start = end + 1;
        }
    }
    feeding_ = false;
}

bool TnrBaseIO::TerminalKeyPressed(char c)
{
    if (feeding_ || (terminalUsage_ != tuSend && terminalUsage_ != tuBoth))
        return true;
    SendChar(c);
    return terminalEcho_;
}

void TnrBaseIO::TryConnectHandle(TnrTimer*)
{
    TryConnectStop();
}

void TnrBaseIO::TryConnectRestart()
{
    if (reconnectTimer_ == nullptr) {
        reconnectTimer_ = new TnrTimer(this);
        reconnectTimer_->SetEnabled(false);
        reconnectTimer_->SetInterval(2000);
        reconnectTimer_->SetOnTimer([this](TnrTimer* sender) { TryConnectHandle(sender); });
    }
    reconnectTimer_->SetEnabled(true);
}

void TnrBaseIO::TryConnectStop()
{
    if (reconnectTimer_ != nullptr)
        reconnectTimer_->SetEnabled(false);
}

bool TnrBaseIO::TryConnectRunning() const
{
    return reconnectTimer_ != nullptr && reconnectTimer_->Enabled();
}

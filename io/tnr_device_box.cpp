#include "io/tnr_device_box.h"

#include "core/message_box.h"

#include <QSignalBlocker>

#include <exception>

TnrDeviceBox::TnrDeviceBox(QWidget* parent) : QComboBox(parent)
{
    setEditable(false);
    connect(this, &QComboBox::activated, this, &TnrDeviceBox::Pick);
}

TnrDeviceBox::~TnrDeviceBox()
{
    if (comm_ != nullptr)
        comm_->NotifyDelete(this);
}

void TnrDeviceBox::SetnrComm(TnrBaseIO* comm)
{
    const QSignalBlocker blocker(this);
    clear();
    setCurrentIndex(-1);
    if (comm_ != nullptr) {
        disconnect(comm_, nullptr, this, nullptr);
        if (comm_ != comm)
            comm_->NotifyDelete(this);
    }
    if (comm != nullptr) {
        addItems(comm->GetDeviceList());
        if (!extraText_.isEmpty())
            addItem(extraText_);
        setCurrentIndex(comm->GetDeviceIndex());
        comm->NotifyAdd(this);
        // A destroyed component leaves the box empty and without selection.
        connect(comm, &QObject::destroyed, this, [this] {
            const QSignalBlocker destroyedBlocker(this);
            clear();
        });
    }
    comm_ = comm;
}

void TnrDeviceBox::SetExtraEntry(const QString& text, std::function<void()> action)
{
    extraText_ = text;
    extraAction_ = std::move(action);
    Reload();
}

void TnrDeviceBox::Pick(int index)
{
    if (comm_ == nullptr)
        return;
    if (!extraText_.isEmpty() && index == count() - 1) {
        // Back to the component's own selection before the action may change it.
        {
            const QSignalBlocker blocker(this);
            setCurrentIndex(comm_->GetDeviceIndex());
        }
        if (extraAction_)
            extraAction_();
        return;
    }
    {
        const QSignalBlocker blocker(this);
        setCurrentIndex(index);
    }
    // An open component reopens on its new device; a refusal is shown here,
    // since nothing may be thrown through the combo box's signal.
    try {
        comm_->SetDeviceIndex(index);
    } catch (const std::exception& error) {
        MessageBox::Show(QString::fromUtf8(error.what()));
    }
    emit changed();
}

void TnrDeviceBox::TnrNotifyEvent(TnrBaseIO*, int Code)
{
    if (Code == kNotifyDevicesChanged)
        Reload();
}

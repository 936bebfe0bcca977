#pragma once

#include "io/tnr_base_io.h"
#include "io/tnr_notify_handler.h"

#include <QComboBox>
#include <QPointer>

#include <functional>


// A list-only drop-down that picks the device of a component. It follows the
// component's device list and selection (notification code 3) and sets the
// component's device when the user picks an entry.
class TnrDeviceBox : public QComboBox, private TnrNotifyHandler
{
    Q_OBJECT

public:
    explicit TnrDeviceBox(QWidget* parent = nullptr);
    ~TnrDeviceBox() override;

    TnrBaseIO* nrComm() const { return comm_; }
    void SetnrComm(TnrBaseIO* comm);
    // Refills the entries from the component and re-synchronises the selection.
    void Reload() { SetnrComm(comm_); }

    // An extra last entry that runs `action` instead of picking a device.
    void SetExtraEntry(const QString& text, std::function<void()> action);

    // Picks entry `index` as a user would.
    void Pick(int index);

signals:
    // The user picked a device entry (after the component was told).
    void changed();

private:
    void TnrNotifyEvent(TnrBaseIO* Sender, int Code) override;

    QPointer<TnrBaseIO> comm_;
    QString extraText_;
    std::function<void()> extraAction_;
};

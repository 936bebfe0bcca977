#pragma once

#include "send/send_panel.h"
#include "send/send_target.h"

#include <QWidget>

// A channel page of the main window: its own settings controls, the shared
// send controls, and the channel's side of the send dispatcher.
class ChannelPage : public QWidget, public SendTarget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    virtual SendPanel* Panel() const = 0;

    // Start-up work of the page, run once after the window is built.
    virtual void Start() {}
    // Stops the channel's timers and sockets when the window closes.
    virtual void Shutdown() {}
};

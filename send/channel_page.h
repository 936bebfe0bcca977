#pragma once

#include "send/send_panel.h"

#include <QWidget>

// A channel page of the main window: its own settings controls and the
// shared send controls.
class ChannelPage : public QWidget
{
    Q_OBJECT

public:
    using QWidget::QWidget;

    virtual SendPanel* Panel() const = 0;

    // Start-up work of the page, run once after the window is built.
    virtual void Start() {}
};

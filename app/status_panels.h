#pragma once

#include "core/channel_counters.h"

#include <QStatusBar>
#include <QTimer>

#include <array>

class QLabel;

// The status bar "StatusBar1": six panels of per-channel byte counts and an
// empty last one. A click anywhere on it emits clicked(). Counts change with
// every chunk; the panels take them over at most about 60 times a second, as
// a repaint per chunk would cost more than the chunk itself.
class StatusPanels : public QStatusBar
{
    Q_OBJECT

public:
    static constexpr int kPanelCount = 7;

    explicit StatusPanels(QWidget* parent = nullptr);

    // The text the panel shows, pending counts included.
    QString PanelText(int panel);
    // Shows "COMA: 发/收:3/10  " for each of the six channels from now on.
    void UpdateFrom(const ChannelCounters& counters);

    // "COMA: 发/收: 1帧3字节/1帧10字节  ", the statistics line of one record.
    static QString StatisticsLine(int channel, const CONN_INFO& record);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    void ShowCounts();

    std::array<QLabel*, kPanelCount> panels_{};
    const ChannelCounters* counters_ = nullptr;
    QTimer refreshTimer_;
};

#pragma once

#include <array>

#include <QStatusBar>

#include "app/channel_counters.h"

class QLabel;

// The status bar "StatusBar1": six panels of per-channel byte counts and an
// empty last one. A click anywhere on it emits clicked().
class StatusPanels : public QStatusBar
{
    Q_OBJECT

public:
    static constexpr int kPanelCount = 7;

    explicit StatusPanels(QWidget* parent = nullptr);

    QString PanelText(int panel) const;
    // "COMA: 发/收:3/10  " for each of the six channels.
    void UpdateFrom(const ChannelCounterTable& counters);

    // "COMA: 发/收: 1帧3字节/1帧10字节  ", the statistics line of one record.
    static QString StatisticsLine(int channel, const CONN_INFO& record);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;

private:
    std::array<QLabel*, kPanelCount> panels_{};
};

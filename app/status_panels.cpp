#include "app/status_panels.h"

#include "core/channel_id.h"

#include <QLabel>
#include <QMouseEvent>

StatusPanels::StatusPanels(QWidget* parent) : QStatusBar(parent)
{
    setObjectName(QStringLiteral("StatusBar1"));
    setSizeGripEnabled(false);
    static const char* const kDesignTexts[kPanelCount] = {"串口A", "串口B", "TCP服务器", "TCP客户端",
                                                          "UDP服务器", "UDP客户端", ""};
    for (int i = 0; i < kPanelCount; ++i) {
        panels_[i] = new QLabel(QString::fromUtf8(kDesignTexts[i]), this);
        panels_[i]->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panels_[i]->setFixedWidth(i < kDataChannelCount ? 150 : 50);
        panels_[i]->setFrameShape(QFrame::StyledPanel);
        addWidget(panels_[i]);
    }
    refreshTimer_.setSingleShot(true);
    refreshTimer_.setInterval(16);
    connect(&refreshTimer_, &QTimer::timeout, this, &StatusPanels::ShowCounts);
}

QString StatusPanels::PanelText(int panel)
{
    if (refreshTimer_.isActive())
        ShowCounts();
    return panels_.at(panel)->text();
}

void StatusPanels::UpdateFrom(const ChannelCounters& counters)
{
    counters_ = &counters;
    if (!refreshTimer_.isActive())
        refreshTimer_.start();
}

void StatusPanels::ShowCounts()
{
    refreshTimer_.stop();
    for (int i = 0; i < kDataChannelCount; ++i)
        panels_[i]->setText(QStringLiteral("%1: 发/收:%2/%3  ")
                                .arg(ChannelName(i))
                                .arg((*counters_)[i].txBytes)
                                .arg((*counters_)[i].rxBytes));
}

QString StatusPanels::StatisticsLine(int channel, const CONN_INFO& record)
{
    return QStringLiteral("%1: 发/收: %2帧%3字节/%4帧%5字节  ")
        .arg(ChannelName(channel))
        .arg(record.txFrames)
        .arg(record.txBytes)
        .arg(record.rxFrames)
        .arg(record.rxBytes);
}

void StatusPanels::mousePressEvent(QMouseEvent* event)
{
    QStatusBar::mousePressEvent(event);
    if (event->button() == Qt::LeftButton)
        emit clicked();
}

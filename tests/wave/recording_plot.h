#pragma once

#include "wave/wave_plot.h"

#include <QList>
#include <QPointF>

#include <array>

// A plot that records the points of each channel.
struct RecordingPlot : WavePlot
{
    struct Channel : WavePlotChannel
    {
        QList<QPointF> points;
        int clears = 0;
        qint64 AddXY(double x, double y) override
        {
            points.append(QPointF(x, y));
            return points.size() - 1;
        }
        void Clear() override
        {
            points.clear();
            ++clears;
        }
    };

    int ChannelCount() const override { return int(channels.size()); }
    WavePlotChannel* GetChannel(int index) override
    {
        return index >= 0 && index < ChannelCount() ? &channels[index] : nullptr;
    }

    std::array<Channel, 8> channels;
};

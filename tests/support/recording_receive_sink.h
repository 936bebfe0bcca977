#pragma once

#include "core/receive_sink.h"

#include <QByteArray>
#include <QString>

#include <vector>

// Records what a channel delivers, in order: status lines and received chunks.
struct RecordingReceiveSink : ReceiveSink
{
    struct Line
    {
        QString text;
        LineColor color;
    };
    struct Chunk
    {
        QByteArray data;
        QString label;
        ChannelId channel;
    };
    std::vector<Line> lines;
    std::vector<Chunk> chunks;

    void ShowInfo(const QString& text, LineColor color) override { lines.push_back({text, color}); }
    void ProcessReceived(QByteArrayView data, const QString& label, ChannelId channel) override
    {
        chunks.push_back({data.toByteArray(), label, channel});
    }

    // All received bytes of one channel, joined.
    QByteArray Received(ChannelId channel) const
    {
        QByteArray bytes;
        for (const Chunk& chunk : chunks)
            if (chunk.channel == channel)
                bytes += chunk.data;
        return bytes;
    }
};

#pragma once

#include "core/receive_sink.h"
#include "data/display_text_sink.h"

#include <QByteArray>
#include <QStringList>

#include <vector>

// Stands in for the receive pipeline: records every status line with its
// colour and every received chunk with its label and channel, in order. The
// send dispatcher may report into it too.
struct RecordingReceiveSink : ReceiveSink, DisplayTextSink
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
    void ShowInfo(const DisplayText& text, LineColor color) override { lines.push_back({text.ToString(), color}); }
    void ProcessReceived(QByteArrayView data, const QString& label, ChannelId channel) override
    {
        chunks.push_back({data.toByteArray(), label, channel});
    }

    // The texts of the lines from index `mark` on.
    QStringList Texts(size_t mark = 0) const
    {
        QStringList texts;
        for (size_t i = mark; i < lines.size(); ++i)
            texts << lines[i].text;
        return texts;
    }
    // Everything received so far, chunks joined.
    QByteArray Received() const
    {
        QByteArray all;
        for (const Chunk& chunk : chunks)
            all += chunk.data;
        return all;
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

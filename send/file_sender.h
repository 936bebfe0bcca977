#pragma once

#include "core/channel_id.h"
#include "data/display_text_sink.h"

#include <QElapsedTimer>
#include <QFile>
#include <QObject>
#include <QTimer>

#include <array>
#include <functional>

class Channel;
class SendDispatcher;

// "发送文件": sends a file through the dispatcher as hex sends of 64 bytes
// each, to the channel chosen at the moment of each chunk, and ends with
// "文件发送完成". It runs from the event loop in short slices, so the window
// answers between them however large the file; while the target channel is
// congested it waits for the channel to drain instead of piling the file up
// in the channel's queue.
class FileSender : public QObject
{
    Q_OBJECT

public:
    static constexpr int kChunkBytes = 64;
    // Longest run of sends before the event loop gets its turn.
    static constexpr int kSliceMs = 10;
    // Progress is reported at most this often, and once at the end.
    static constexpr int kProgressMs = 100;

    // `target` gives the item index of the channel combo, read for every chunk.
    FileSender(SendDispatcher& dispatcher, DisplayTextSink& info, std::function<int()> target,
               QObject* parent = nullptr);

    // The channel whose congestion holds the transfer back while it is the target.
    void SetChannel(ChannelId id, Channel* channel);

    // The size of the file at `path` as opening it and seeking to its end
    // finds it; -1 when it cannot be opened.
    static qint64 SizeOf(const QString& path);

    // Starts sending the file at `path`; the first slice goes out before this
    // returns. A missing or unreadable file does nothing. While a transfer
    // runs a new one is not started: the request is ignored and false returned.
    bool Start(const QString& path);
    bool Busy() const { return file_.isOpen(); }

signals:
    // `sent` bytes of the file's `total` have gone out.
    void Progress(qint64 sent, qint64 total);

private:
    void SendSlice();
    Channel* ChannelAt(int index) const;
    void ReportProgress(bool last);
    // Closes the file and shows how the transfer ended.
    void End(const QString& line);

    SendDispatcher& dispatcher_;
    DisplayTextSink& info_;
    std::function<int()> target_;
    std::array<Channel*, kDataChannelCount> channels_{};
    QFile file_;
    QTimer nextSlice_;
    QElapsedTimer sinceProgress_;
    qint64 sent_ = 0;
    qint64 total_ = 0;
};

#include "send/file_sender.h"

#include "data/codec.h"
#include "send/channel.h"
#include "send/send_dispatcher.h"

FileSender::FileSender(SendDispatcher& dispatcher, DisplayTextSink& info, std::function<int()> target,
                       QObject* parent)
    : QObject(parent), dispatcher_(dispatcher), info_(info), target_(std::move(target))
{
    nextSlice_.setSingleShot(true);
    nextSlice_.setInterval(0);
    connect(&nextSlice_, &QTimer::timeout, this, &FileSender::SendSlice);
}

void FileSender::SetChannel(ChannelId id, Channel* channel)
{
    channels_.at(id) = channel;
}

qint64 FileSender::SizeOf(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.size();
}

bool FileSender::Start(const QString& path)
{
    if (Busy())
        return false;
    file_.setFileName(path);
    if (!file_.exists() || !file_.open(QIODevice::ReadOnly))
        return false;
    sent_ = 0;
    total_ = file_.size();
    sinceProgress_.invalidate();
    ReportProgress(false);
    SendSlice();
    return true;
}

Channel* FileSender::ChannelAt(int index) const
{
    return index >= 0 && index < kDataChannelCount ? channels_[index] : nullptr;
}

void FileSender::SendSlice()
{
    QElapsedTimer slice;
    slice.start();
    while (!slice.hasExpired(kSliceMs)) {
        const int target = target_();
        if (Channel* channel = ChannelAt(target); channel && channel->Congested()) {
            // Resumed from the event loop, not from inside whatever write
            // made the channel drain.
            connect(channel, &Channel::Drained, &nextSlice_, qOverload<>(&QTimer::start), Qt::SingleShotConnection);
            return;
        }
        const QByteArray chunk = file_.read(kChunkBytes);
        // The end of the file or a read error.
        if (chunk.isEmpty()) {
            End(QStringLiteral("文件发送完成"));
            return;
        }
        if (!dispatcher_.SendToChannel(BytesToHexDump(chunk), static_cast<ChannelId>(target), true)) {
            // The dispatcher has shown why, if there was anything to say; the
            // rest of the file would only fail the same way, chunk by chunk.
            End(QStringLiteral("文件发送中止,已发送%1字节,共%2字节").arg(sent_).arg(total_));
            return;
        }
        sent_ += chunk.size();
        ReportProgress(false);
    }
    nextSlice_.start();
}

void FileSender::ReportProgress(bool last)
{
    if (!last && sinceProgress_.isValid() && !sinceProgress_.hasExpired(kProgressMs))
        return;
    sinceProgress_.start();
    emit Progress(sent_, total_);
}

void FileSender::End(const QString& line)
{
    file_.close();
    ReportProgress(true);
    info_.ShowInfo(line, kWindowText);
}

#include "serial/chunk_handoff.h"

bool ChunkHandoff::WaitForRoom()
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || (!paused_ && chunks_.size() < kCapacity); });
    return !stopped_;
}

bool ChunkHandoff::Push(QByteArray chunk, bool& first)
{
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return stopped_ || chunks_.size() < kCapacity; });
    if (stopped_)
        return false;
    chunks_.push_back(std::move(chunk));
    first = chunks_.size() == 1;
    return true;
}

std::optional<QByteArray> ChunkHandoff::Take()
{
    std::optional<QByteArray> chunk;
    {
        const std::lock_guard lock(mutex_);
        if (paused_ || chunks_.empty())
            return chunk;
        chunk = std::move(chunks_.front());
        chunks_.pop_front();
    }
    changed_.notify_all();
    return chunk;
}

void ChunkHandoff::SetPaused(bool paused)
{
    {
        const std::lock_guard lock(mutex_);
        paused_ = paused;
    }
    changed_.notify_all();
}

bool ChunkHandoff::Paused() const
{
    const std::lock_guard lock(mutex_);
    return paused_;
}

int ChunkHandoff::Count() const
{
    const std::lock_guard lock(mutex_);
    return static_cast<int>(chunks_.size());
}

void ChunkHandoff::Stop()
{
    {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        chunks_.clear();
    }
    changed_.notify_all();
}

void ChunkHandoff::Reset()
{
    const std::lock_guard lock(mutex_);
    stopped_ = false;
    chunks_.clear();
}

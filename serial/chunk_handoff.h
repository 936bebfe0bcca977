#pragma once

#include <QByteArray>

#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>

// Received chunks on their way from a reader thread to the user-interface
// thread. At most kCapacity chunks wait: the reader asks for room before it
// reads the device again, so while the window is busy the rest stays in the
// device's own buffer, held back by its flow control. A pause stops the
// reader the same way and holds back the chunks already taken. Order is kept
// and nothing is dropped but by Stop.
class ChunkHandoff
{
public:
    static constexpr int kCapacity = 8;

    // Reader side. Waits, without spinning, until a chunk may be read: there
    // is room and no pause. False once stopped.
    bool WaitForRoom();
    // Adds a chunk, waiting for room (not for the end of a pause). False once
    // stopped (the chunk is dropped). `first` tells whether the chunk is the
    // only one waiting, so that the user-interface thread is to be woken.
    bool Push(QByteArray chunk, bool& first);

    // User-interface side: the oldest chunk, or nothing when none waits or
    // delivery is paused.
    std::optional<QByteArray> Take();
    void SetPaused(bool paused);
    bool Paused() const;
    int Count() const;

    // Ends every wait and drops what waits; Reset makes the hand-off usable
    // again for the next open (a pause stays as it was).
    void Stop();
    void Reset();

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::deque<QByteArray> chunks_;
    bool paused_ = false;
    bool stopped_ = false;
};

#pragma once

#include "data/receive_hooks.h"

#include <condition_variable>
#include <mutex>
#include <thread>

// Plays tones through the ALSA "default" device on a thread of its own, so a
// beep never holds up the receive path. With no sound device nothing is
// played and nothing is reported. Requests that arrive while a tone plays are
// dropped: a stream of chunks gives a steady tone, not a growing queue.
class AlsaBeeper : public Beeper
{
public:
    AlsaBeeper();
    ~AlsaBeeper() override;

    void Beep(int frequencyHz, int durationMs) override;

private:
    void Run();

    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    bool pending_ = false;
    int frequencyHz_ = 0;
    int durationMs_ = 0;
    std::thread worker_;
};

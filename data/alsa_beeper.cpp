#include "data/alsa_beeper.h"

#include <cmath>
#include <vector>
#include <alsa/asoundlib.h>

namespace {

constexpr unsigned kSampleRate = 48000;

// ALSA prints its own complaints (no card, no config) to stderr; a missing
// sound device is normal for this program.
void QuietAlsaErrors(const char*, int, const char*, int, const char*, ...) {}

void PlayTone(int frequencyHz, int durationMs)
{
    snd_pcm_t* pcm = nullptr;
    if (snd_pcm_open(&pcm, "default", SND_PCM_STREAM_PLAYBACK, 0) < 0)
        return;
    if (snd_pcm_set_params(pcm, SND_PCM_FORMAT_S16_LE, SND_PCM_ACCESS_RW_INTERLEAVED, 1, kSampleRate, 1,
                           100000) == 0) {
        const size_t frames = static_cast<size_t>(kSampleRate) * durationMs / 1000;
        std::vector<int16_t> samples(frames);
        for (size_t i = 0; i < frames; ++i)
            samples[i] = static_cast<int16_t>(12000 * std::sin(2 * M_PI * frequencyHz * i / kSampleRate));
        snd_pcm_sframes_t written = snd_pcm_writei(pcm, samples.data(), frames);
        if (written < 0)
            snd_pcm_recover(pcm, static_cast<int>(written), 1);
        snd_pcm_drain(pcm);
    }
    snd_pcm_close(pcm);
}

}  // namespace

AlsaBeeper::AlsaBeeper()
{
    snd_lib_error_set_handler(QuietAlsaErrors);
    worker_ = std::thread([this] { Run(); });
}

AlsaBeeper::~AlsaBeeper()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    worker_.join();
}

void AlsaBeeper::Beep(int frequencyHz, int durationMs)
{
    {
        std::lock_guard lock(mutex_);
        if (pending_)
            return;
        pending_ = true;
        frequencyHz_ = frequencyHz;
        durationMs_ = durationMs;
    }
    wake_.notify_one();
}

void AlsaBeeper::Run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stopping_ || pending_; });
        if (stopping_)
            return;
        const int frequency = frequencyHz_;
        const int duration = durationMs_;
        lock.unlock();
        PlayTone(frequency, duration);
        lock.lock();
        pending_ = false;
    }
}

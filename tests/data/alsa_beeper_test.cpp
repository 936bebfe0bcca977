#include "data/alsa_beeper.h"

#include <chrono>
#include <gtest/gtest.h>

namespace {

// Whether or not the machine has a sound device, a beep never holds up the
// caller for its length, and the beeper shuts down cleanly with tones queued.
TEST(AlsaBeeper, BeepsReturnAtOnceAndShutdownIsClean)
{
    const auto start = std::chrono::steady_clock::now();
    {
        AlsaBeeper beeper;
        for (int i = 0; i < 20; ++i)
            beeper.Beep(1000, 500);
        const auto afterBeeps = std::chrono::steady_clock::now() - start;
        EXPECT_LT(afterBeeps, std::chrono::milliseconds(400)) << "twenty half-second tones must not be waited for";
    }
}

}  // namespace

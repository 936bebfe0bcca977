#pragma once

#include <QtGlobal>

// This process's resident memory, as the kernel counts it.
class ResidentMemory
{
public:
    // Now, from /proc/self/statm.
    static qint64 CurrentBytes();
    // The most since the process started or since ResetPeak (VmHWM).
    static qint64 PeakBytes();
    // Gives the memory malloc holds free back to the system, so that a
    // figure taken next is not lowered by what earlier work left behind.
    static void ReleaseFreed();
    // Starts the peak again from the current figure; false where the kernel
    // does not allow it.
    static bool ResetPeak();
};

#pragma once

#include <functional>

// Runs the event loop, as the program's own loop runs, until `condition`
// holds (looked at every `checkMs`) or `timeoutMs` has passed; returns the
// condition.
bool RunEventLoopUntil(const std::function<bool()>& condition, int timeoutMs, int checkMs = 10);

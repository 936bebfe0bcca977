#pragma once

#include <QByteArray>
#include <QString>

#include <functional>

// Helpers of the network tests that need an event loop but no window.

// Handles events until `condition` holds or `timeoutMs` passes.
bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000);
// Handles events for `ms`: the bounded quiet time of "nothing more happens".
void Settle(int ms = 200);
// A port that nothing on 127.0.0.1 uses right now.
quint16 FreePort(bool tcp);
// `size` bytes of a fixed pattern that covers every byte value.
QByteArray Pattern(qsizetype size, quint32 seed = 1);
// A display line without the time stamp the pipeline puts in front of it.
QString WithoutTimeStamp(const QString& line);

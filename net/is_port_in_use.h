#pragma once

// 0 when a TCP (`tcp` true) or UDP socket can be bound to 127.0.0.1 at `port`
// (taken modulo 65536), 1 when it cannot or the check itself fails.
int IsPortInUse(int port, bool tcp);

#pragma once

#include <QString>

// The system's text for a socket error number (errno). The one place where
// the network channels turn an error number into words.
QString SocketErrorText(int error);

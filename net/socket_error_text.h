#pragma once

#include <QString>

// The system's text for a socket error number (errno). The one place where
// the network channels turn an error number into words.
QString SocketErrorText(int error);

// The system's text for a host lookup error (h_errno, such as HOST_NOT_FOUND).
QString HostErrorText(int error);

// A line telling the user what failed, where and why: `text` as the window
// always shows it, then the address and the reason, as in
// "TCP Client连接出错 127.0.0.1:1: Connection refused".
QString FailureLine(const QString& text, const QString& host, quint16 port, const QString& reason);

#pragma once

#include <QtGlobal>

#include <array>

// Line settings as the kernel keeps them: the fields of struct termios2, whose
// own speed fields carry any baud rate.
struct TtySettings
{
    quint32 iflag = 0;
    quint32 oflag = 0;
    quint32 cflag = 0;
    quint32 lflag = 0;
    quint8 line = 0;
    std::array<quint8, 19> cc{};
    quint32 ispeed = 0;
    quint32 ospeed = 0;

    bool operator==(const TtySettings&) const = default;
};

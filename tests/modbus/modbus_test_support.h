#pragma once

#include "modbus/tnr_modbus.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QString>
#include <QTimer>

#include <functional>
#include <string>
#include <vector>

// Bytes written in hex, blanks ignored: "07 03 4A 00".
inline QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A reply frame with its check: the CRC low byte first, or as ASCII text.
inline QByteArray RtuFrame(const QByteArray& body)
{
    const quint16 crc = ModbusCrc16(reinterpret_cast<const quint8*>(body.constData()), int(body.size()));
    return body + char(crc & 0xFF) + char(crc >> 8);
}

inline QByteArray AsciiFrame(const QByteArray& body)
{
    const quint8 lrc = ModbusLrc(reinterpret_cast<const quint8*>(body.constData()), int(body.size()));
    return ":" + (body + char(lrc)).toHex().toUpper() + "\r\n";
}

// Runs the event loop until `done` holds or `limitMs` passed. It sleeps
// between events (a 5 ms tick bounds each wait), so the port's own threads
// keep the processors.
inline bool WaitFor(const std::function<bool()>& done, int limitMs)
{
    QElapsedTimer clock;
    clock.start();
    QTimer tick;
    tick.start(5);
    while (!done() && clock.elapsed() < limitMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return done();
}

// What one OnModbusReply call carried.
struct SeenReply
{
    quint8 address = 0;
    quint8 function = 0;
    bool exception = false;
    QString message;
    std::vector<std::pair<quint16, quint16>> registers;
    std::vector<std::pair<quint16, bool>> coils;
};

inline SeenReply Capture(const TnrModbusPacket& reply, const TnrModbusRegisterList& registers,
                         const TnrModbusCoilList& coils)
{
    SeenReply seen;
    seen.address = reply.Address();
    seen.function = reply.Func();
    seen.exception = reply.IsException();
    if (seen.exception)
        seen.message = reply.GetExceptionMessage();
    for (int i = 0; i < registers.Count(); ++i)
        seen.registers.emplace_back(registers.GetRegNumber(i), registers.GetRegValue(i));
    for (int i = 0; i < coils.Count(); ++i)
        seen.coils.emplace_back(coils.GetCoilNumber(i), coils.GetCoilValue(i));
    return seen;
}

#pragma once

// The Modbus engine's reply path on any byte stream: a request of one of the
// eight functions is on the wire and whatever arrives is offered as its
// reply. Every reply the engine accepts has a good check, comes from the
// slave asked with the function asked (or its exception), decodes into no
// more items than the request allows, and the same replies are accepted
// however the stream is cut into chunks.

#include "modbus/tnr_modbus.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"

#include <QCoreApplication>

#include <cstdint>
#include <vector>

namespace {

struct SeenReply
{
    QByteArray frame;
    std::vector<quint32> registers;
    std::vector<quint32> coils;
    bool operator==(const SeenReply&) const = default;
};

struct Request
{
    quint8 function;
    quint8 address;
    quint16 start;
    quint16 count;
};

std::vector<SeenReply> Replies(bool ascii, const Request& request, QByteArrayView stream,
                               const std::vector<qsizetype>& cuts)
{
    TnrModbus engine;
    engine.SetActive(true);
    engine.SetASCII(ascii);
    int sent = 0;
    engine.OnDataSend = [&](TnrCustomDataProcessor*, const char*, quint32, bool, bool& handled) {
        ++sent;
        handled = true;
    };
    std::vector<SeenReply> replies;
    engine.OnModbusReply = [&](TnrModbus*, const TnrModbusPacket& reply, const TnrModbusRegisterList& registers,
                               const TnrModbusCoilList& coils) {
        FUZZ_CHECK(reply.Length <= TnrModbusPacket::kBufferSize);
        FUZZ_CHECK(ascii ? reply.IsLrcOK() : reply.IsCrcOK());
        FUZZ_CHECK(reply.Address() == request.address);
        FUZZ_CHECK((reply.Func() & 0x7F) == request.function);
        if (reply.IsException()) {
            FUZZ_CHECK(reply.Length == 5);
            FUZZ_CHECK(registers.IsEmpty() && coils.IsEmpty());
        }
        FUZZ_CHECK(registers.Count() <= 127);
        if (request.function <= 2)
            FUZZ_CHECK(coils.Count() <= request.count);
        SeenReply seen{QByteArray(reinterpret_cast<const char*>(reply.Buffer), reply.Length), {}, {}};
        for (int i = 0; i < registers.Count(); ++i)
            seen.registers.push_back(registers.Item(i));
        for (int i = 0; i < coils.Count(); ++i)
            seen.coils.push_back(coils.Item(i));
        replies.push_back(seen);
        FUZZ_CHECK(int(replies.size()) <= sent);
    };
    const bool bits[16] = {true, false, true};
    const quint16 values[4] = {1, 2, 3, 4};
    switch (request.function) {
    case 1:
        engine.ReadCoils(request.start, request.count, request.address, true);
        break;
    case 2:
        engine.ReadInputs(request.start, request.count, request.address, true);
        break;
    case 3:
        engine.ReadRegisters(request.start, request.count, request.address, true);
        break;
    case 4:
        engine.ReadInputRegisters(request.start, request.count, request.address, true);
        break;
    case 5:
        engine.WriteCoil(request.start, request.count & 1, request.address);
        break;
    case 6:
        engine.WriteRegister(request.start, request.count, request.address);
        break;
    case 15:
        engine.WriteCoils(request.start, bits, 1 + request.count % 16, request.address);
        break;
    default:
        engine.WriteRegisters(request.start, values, 1 + request.count % 4, request.address);
        break;
    }
    FUZZ_CHECK(sent == 1);
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        engine.DataReceive(stream.data() + from, quint32(cut - from));
        from = cut;
    }
    engine.DataReceive(stream.data() + from, quint32(stream.size() - from));
    return replies;
}

int FuzzModbusReply(bool ascii, const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_modbus_reply";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    static const quint8 functions[] = {1, 2, 3, 4, 5, 6, 15, 16};
    FuzzInput in(data, size);
    Request request;
    request.function = functions[in.TakeU8() % 8];
    request.address = in.TakeU8();
    request.start = in.TakeU16();
    request.count = in.TakeU16();
    const quint8 step = in.TakeU8();
    const QByteArrayView stream = in.TakeRest();

    const std::vector<SeenReply> whole = Replies(ascii, request, stream, {});
    std::vector<qsizetype> cuts;
    for (qsizetype at = 1 + step % 5; at < stream.size(); at += 1 + (at * 17 + step) % 7)
        cuts.push_back(at);
    FUZZ_CHECK(Replies(ascii, request, stream, cuts) == whole);
    return 0;
}

}  // namespace

#include "modbus/tnr_modbus.h"


#include <QMutexLocker>

#include <exception>
#include <stdexcept>

namespace {

QString Hex(unsigned value, int digits)
{
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

struct ReplyKind
{
    quint8 function;
    const char* caption;
    int length;  // 0: from the byte count
};

// Writes first: their replies have fixed lengths.
constexpr ReplyKind kReplyKinds[] = {
    {6, "Preset single register", 8}, {16, "Preset multiple registers", 8}, {5, "Set single coil", 8},
    {15, "Set multiply coils", 8},    {3, "Read holding registers", 0},     {1, "Read coil statuses", 0},
    {2, "Read input statuses", 0},    {4, "Read input registers", 0},
};

// The longest reply: address, function, byte count, 255 data bytes, two checks.
constexpr int kReplyLengthMax = 260;

}  // namespace

TnrModbus::TnrModbus(QObject* parent) : TnrDataProtocol(parent), asciiFrame_(nullptr, kAsciiFrameMax)
{
    SetLogPrefix(QStringLiteral("nrModbus: "));
    SetTimeout(3000);
    clock_.start();
    // Precise: a coarse timer may end a pause up to 5 % early.
    pollTimer_.setTimerType(Qt::PreciseTimer);
    pollTimer_.setSingleShot(true);
    connect(&pollTimer_, &QTimer::timeout, this, &TnrModbus::PauseEnded);

    asciiFrame_.PacketBegin = ":";
    asciiFrame_.PacketEnd = "\r\n";
    asciiFrame_.ResetOthers = true;
    asciiFrame_.Reset();

    InitPackets();
}

TnrModbus::~TnrModbus() = default;

void TnrModbus::SetASCII(bool ascii)
{
    if (ascii == ascii_)
        return;
    ascii_ = ascii;
    asciiFrame_.Reset();
}

void TnrModbus::SetActive(bool active)
{
    const bool wasActive = Active();
    TnrDataProtocol::SetActive(active);
    if (active && !wasActive && !onWire_ && !pausing_)
        SendHead();
}

void TnrModbus::CheckActive() const
{
    if (!Active())
        throw std::runtime_error("Modbus is not Active");
}

std::unique_ptr<TnrModbusPacket> TnrModbus::NewRequest(quint8 address, quint8 function, quint16 first,
                                                      quint16 second, int length)
{
    auto request = std::make_unique<TnrModbusPacket>();
    request->Buffer[0] = address;
    request->Buffer[1] = function;
    request->Buffer[2] = static_cast<quint8>(first >> 8);
    request->Buffer[3] = static_cast<quint8>(first & 0xFF);
    request->Buffer[4] = static_cast<quint8>(second >> 8);
    request->Buffer[5] = static_cast<quint8>(second & 0xFF);
    request->Length = length;
    return request;
}

void TnrModbus::PushRead(quint8 function, const char* name, quint16 start, quint16 count, quint8 address, bool poll)
{
    CheckActive();
    auto request = NewRequest(address, function, start, count, 8);
    request->Poll = poll;
    Logging(dlDebug, QString::fromLatin1(name) + QLatin1Char(' ') + Hex(start, 4) + QStringLiteral(" count: ") +
                         QString::number(count) + QStringLiteral(" addr:") + Hex(address, 2));
    PushRequest(std::move(request));
}

void TnrModbus::ReadCoils(quint16 start, quint16 count, quint8 address, bool poll)
{
    PushRead(1, "ReadCoil", start, count, address, poll);
}

void TnrModbus::ReadInputs(quint16 start, quint16 count, quint8 address, bool poll)
{
    PushRead(2, "ReadInput", start, count, address, poll);
}

void TnrModbus::ReadRegisters(quint16 start, quint16 count, quint8 address, bool poll)
{
    PushRead(3, "ReadRegisters", start, count, address, poll);
}

void TnrModbus::ReadInputRegisters(quint16 start, quint16 count, quint8 address, bool poll)
{
    PushRead(4, "ReadInputRegisters", start, count, address, poll);
}

void TnrModbus::WriteCoil(quint16 coil, bool value, quint8 address)
{
    CheckActive();
    auto request = NewRequest(address, 5, coil, value ? 0xFF00 : 0x0000, 8);
    Logging(dlDebug, QStringLiteral("WrtieCoil ") + Hex(coil, 4) + (value ? QStringLiteral(" -1 ") : QStringLiteral(" 0 ")) +
                         Hex(address, 2));
    PushRequest(std::move(request));
}

void TnrModbus::WriteRegister(quint16 reg, quint16 value, quint8 address)
{
    CheckActive();
    auto request = NewRequest(address, 6, reg, value, 8);
    Logging(dlDebug, QStringLiteral("WriteRegister ") + Hex(reg, 4) + QLatin1Char(' ') + Hex(value, 4) +
                         QLatin1Char(' ') + Hex(address, 2));
    PushRequest(std::move(request));
}

void TnrModbus::WriteCoils(quint16 start, const bool* values, int count, quint8 address)
{
    CheckActive();
    count = values != nullptr && count > 0 ? count : 0;
    const int byteCount = (count + 7) / 8;
    if (9 + byteCount > TnrModbusPacket::kBufferSize)
        throw std::runtime_error("Modbus data length too long");
    auto request = NewRequest(address, 15, start, static_cast<quint16>(count), 9 + byteCount);
    request->Buffer[6] = static_cast<quint8>(byteCount);
    for (int i = 0; i < count; ++i)
        if (values[i])
            request->Buffer[7 + i / 8] |= static_cast<quint8>(1 << (i % 8));
    Logging(dlDebug, QStringLiteral("WriteCoils ") + Hex(start, 4) + QStringLiteral(" bits: ") +
                         QString::number(count) + QStringLiteral(" addr:") + Hex(address, 2));
    PushRequest(std::move(request));
}

void TnrModbus::WriteRegisters(quint16 start, const quint16* values, int count, quint8 address)
{
    CheckActive();
    if (count > 127)
        throw std::runtime_error("Modbus data length too long");
    count = values != nullptr && count > 0 ? count : 0;
    auto request = NewRequest(address, 16, start, static_cast<quint16>(count), 9 + 2 * count);
    request->Buffer[6] = static_cast<quint8>(2 * count);
    for (int i = 0; i < count; ++i) {
        request->Buffer[7 + 2 * i] = static_cast<quint8>(values[i] >> 8);
        request->Buffer[8 + 2 * i] = static_cast<quint8>(values[i] & 0xFF);
    }
    PushRequest(std::move(request));
}

void TnrModbus::PushRequest(std::unique_ptr<TnrModbusPacket> request)
{
    bool sendNow = false;
    {
        QMutexLocker locker(&lock_);
        bool replaced = false;
        if (ignoreRepeatFunc_) {
            // The head may be on the wire: it is never replaced.
            for (size_t i = 1; i < queue_.size(); ++i) {
                const TnrModbusPacket& queued = *queue_[i];
                if (queued.Address() == request->Address() && queued.Poll == request->Poll &&
                    queued.Func() == request->Func() && queued.Buffer[2] == request->Buffer[2] &&
                    queued.Buffer[3] == request->Buffer[3]) {
                    queue_[i] = std::move(request);
                    replaced = true;
                    break;
                }
            }
        }
        if (!replaced) {
            locker.unlock();
            InitPacketsByAddress(request->Address());
            locker.relock();
            queue_.push_back(std::move(request));
        }
        sendNow = queue_.size() == 1 && !onWire_ && !pausing_;
    }
    if (sendNow)
        SendHead();
}

void TnrModbus::SendHead()
{
    TnrModbusPacket* head = nullptr;
    {
        QMutexLocker locker(&lock_);
        if (!queue_.empty())
            head = queue_.front().get();
    }
    if (head != nullptr)
        SendRequest(*head);
}

void TnrModbus::SendRequest(TnrModbusPacket& request)
{
    // Only the reply to this request, or its exception reply, can be recognised;
    // whatever an earlier request left half collected is forgotten.
    const qint32 key = request.Func() * 256 + request.Address();
    TnrDataPackets& packets = DataPackets();
    for (int i = 0; i < packets.Count(); ++i)
        packets[i]->Active = packets[i]->Tag == key;
    Reset();
    if (!Active())
        return;
    Framing().Frame(request, wire_);
    onWire_ = true;
    DoDataSend(wire_.constData(), static_cast<quint32>(wire_.size()));
    ResetTimeout(Timeout());
}

void TnrModbus::PopNextRequest()
{
    onWire_ = false;
    bool pause = false;
    {
        QMutexLocker locker(&lock_);
        if (queue_.size() == 1 && queue_.front()->Poll) {
            TnrModbusPacket* head = queue_.front().get();
            locker.unlock();
            SendRequest(*head);
            return;
        }
        if (queue_.empty()) {
            pause = delayWrite_ > 0;
        } else {
            std::unique_ptr<TnrModbusPacket> head = std::move(queue_.front());
            queue_.pop_front();
            if (head->Poll)
                queue_.push_back(std::move(head));
            else
                pause = delayWrite_ > 0;
        }
    }
    if (pause)
        StartPause(delayWrite_, paSendHead);
    else
        SendHead();
}

void TnrModbus::StartPause(qint32 ms, AfterPause then)
{
    pausing_ = true;
    afterPause_ = then;
    pollTimer_.start(ms);
}

void TnrModbus::PauseEnded()
{
    pausing_ = false;
    if (afterPause_ == paAdvance)
        PopNextRequest();
    else
        SendHead();
}

void TnrModbus::StopPolling()
{
    QMutexLocker locker(&lock_);
    for (auto& request : queue_)
        request->Poll = false;
    registers_.Clear();
    coils_.Clear();
}

void TnrModbus::StackRequestClear()
{
    QMutexLocker locker(&lock_);
    queue_.clear();
    registers_.Clear();
    coils_.Clear();
}

const TnrModbusPacket* TnrModbus::GetCurrentRequest() const
{
    QMutexLocker locker(&lock_);
    return queue_.empty() ? nullptr : queue_.front().get();
}

int TnrModbus::RequestCount() const
{
    QMutexLocker locker(&lock_);
    return static_cast<int>(queue_.size());
}

bool TnrModbus::IsConnectedDevice(quint8 address) const
{
    for (quint8 id : connected_)
        if (id == address)
            return true;
    return false;
}

void TnrModbus::InitPackets()
{
    InitPacketsByAddress(address_);
    Reset();
}

void TnrModbus::InitPacketsByAddress(quint8 address)
{
    TnrDataPackets& packets = DataPackets();
    for (int i = 0; i < packets.Count(); ++i)
        if ((packets[i]->Tag & 0xFF) == address)
            return;
    for (const ReplyKind& kind : kReplyKinds) {
        for (int exception = 0; exception < 2; ++exception) {
            TnrDataPacket* packet = packets.AddItem(new TnrDataPacket(nullptr, kReplyLengthMax), -1);
            packet->PacketBegin = QByteArray(1, static_cast<char>(address)) +
                                  QByteArray(1, static_cast<char>(kind.function | (exception ? 0x80 : 0)));
            packet->Caption = QString::fromLatin1(kind.caption);
            packet->Active = true;
            packet->ResetOthers = true;
            packet->Tag = kind.function * 256 + address;
            if (exception) {
                packet->PacketLength = 5;
            } else if (kind.length > 0) {
                packet->PacketLength = kind.length;
            } else {
                packet->OnPacketLength = [this](TnrDataPacket* p, quint8 byte, bool& handled) {
                    HandlePacketLength(p, byte, handled);
                };
            }
        }
    }
    Reset();
}

void TnrModbus::HandlePacketLength(TnrDataPacket* packet, quint8 byte, bool& handled)
{
    // The byte count: address, function and count are collected, two checks follow.
    packet->PacketLength = byte + packet->Pos() + 2;
    handled = true;
    TnrDataPackets& packets = DataPackets();
    for (int i = 0; i < packets.Count(); ++i) {
        TnrDataPacket* other = packets[i];
        if (other != packet && other->Active) {
            other->Active = false;
            other->Reset();
        }
    }
}

void TnrModbus::Reset()
{
    TnrDataProtocol::Reset();
    asciiFrame_.Reset();
}

qsizetype TnrModbus::DecodeEscSequence(quint8 byte, const char*& decoded)
{
    if (!ascii_)
        return TnrDataProtocol::DecodeEscSequence(byte, decoded);
    if (!asciiFrame_.IsPacket(byte))
        return 0;
    const QByteArrayView frame = asciiFrame_.Data();
    const int count = DecodeAsciiFrame(frame.sliced(1, frame.size() - 3), asciiArea_, kAsciiAreaSize);
    asciiFrame_.Reset();
    decoded = asciiArea_;
    return count < 0 ? 0 : count;
}

void TnrModbus::CountReply()
{
    ++repliesInWindow_;
    const qint64 now = clock_.elapsed();
    if (now > windowEnd_) {
        repliesPerSecond_ = repliesInWindow_;
        repliesInWindow_ = 0;
        windowEnd_ = now + 1000;
    }
}

void TnrModbus::DoHandlePacket(int index)
{
    TnrDataProtocol::DoHandlePacket(index);
    if (!onWire_) {
        // A late or repeated reply while nothing is awaited: the request it
        // answered has already been dealt with.
        return;
    }
    pollTimer_.stop();
    pausing_ = false;
    const TnrDataPacket* packet = DataPackets()[index];
    reply_.AssignData(packet->Data().data(), static_cast<int>(packet->Data().size()));
    if (!Framing().CheckOK(reply_)) {
        Logging(dlDetail, QStringLiteral("Modbus: CRC WRONG! "));
        PopNextRequest();
        return;
    }
    Logging(dlDebug, QStringLiteral("crc/lrc OK"));
    CountReply();
    AddConnected(reply_.Address());

    QString handlerError;
    bool handlerFailed = false;
    if (OnModbusReply) {
        quint16 start = 0;
        quint16 quantity = 0;
        bool haveHead = false;
        {
            QMutexLocker locker(&lock_);
            registers_.Clear();
            coils_.Clear();
            if (!queue_.empty()) {
                start = queue_.front()->Word(2);
                quantity = queue_.front()->Word(4);
                haveHead = true;
            }
        }
        DecodeReply(start, quantity, haveHead);
        try {
            OnModbusReply(this, reply_, registers_, coils_);
        } catch (const std::exception& error) {
            handlerFailed = true;
            handlerError = QString::fromUtf8(error.what());
        } catch (...) {
            handlerFailed = true;
        }
    }

    // The next request goes out even when the handler failed, so one bad
    // handler call does not stall the queue until a time-out.
    onWire_ = false;
    if (delayPoll_ > 0)
        StartPause(delayPoll_, paAdvance);
    else
        PopNextRequest();
    if (handlerFailed)
        DoFatalErrors(0, 0, QStringLiteral("Error on call OnModbusReply() handler. ") + handlerError);
}

void TnrModbus::DecodeReply(quint16 headStart, quint16 headCount, bool haveHead)
{
    QMutexLocker locker(&lock_);
    const int dataEnd = reply_.Length - 2;
    switch (reply_.Func()) {
    case 1:
    case 2: {
        if (!haveHead)
            break;
        const int byteCount = reply_.Buffer[2];
        for (int j = 0; j < headCount && j / 8 < byteCount && 3 + j / 8 < dataEnd; ++j)
            coils_.Add(static_cast<quint16>(headStart + j), (reply_.Buffer[3 + j / 8] >> (j % 8) & 1) != 0);
        break;
    }
    case 3:
    case 4:
        if (!haveHead)
            break;
        for (int i = 3, n = 0; i + 1 < dataEnd; i += 2, ++n)
            registers_.Add(static_cast<quint16>(headStart + n), reply_.Word(i));
        break;
    case 5:
        coils_.Add(reply_.Word(2), reply_.Word(4) == 0xFF00);
        break;
    case 6:
    case 16:
        registers_.Add(reply_.Word(2), reply_.Word(4));
        break;
    case 15:
        break;
    default:
        if (reply_.IsException()) {
            locker.unlock();
            HandleModbusException(reply_);
        }
        break;
    }
}

void TnrModbus::HandleModbusException(const TnrModbusPacket& reply)
{
    Logging(dlDetail, QStringLiteral("Modbus replies EXCEPTION: ") + reply.GetExceptionMessage());
}

void TnrModbus::DoTimeoutError()
{
    // Only a request on the wire can time out; an idle queue's timer means nothing.
    if (!onWire_)
        return;
    std::exception_ptr handlerError;
    try {
        TnrDataProtocol::DoTimeoutError();
    } catch (...) {
        handlerError = std::current_exception();
    }
    bool haveHead = false;
    quint8 address = 0;
    {
        QMutexLocker locker(&lock_);
        if (!queue_.empty()) {
            haveHead = true;
            address = queue_.front()->Address();
        }
    }
    if (haveHead)
        RemoveConnected(address);
    PopNextRequest();
    if (handlerError)
        std::rethrow_exception(handlerError);
}

void TnrModbus::DoMediumClosed()
{
    StopPolling();
    Reset();
    StackRequestClear();
    onWire_ = false;
    pausing_ = false;
    pollTimer_.stop();
    ResetTimeout(0);
    RemoveAllConnected();
    TnrDataProtocol::DoMediumClosed();
}

void TnrModbus::AddConnected(quint8 address)
{
    if (IsConnectedDevice(address))
        return;
    connected_.push_back(address);
    Logging(dlDetail, QStringLiteral("Modbus device #%1 is connected.").arg(address));
    if (OnDeviceState)
        OnDeviceState(this, address, true);
}

void TnrModbus::RemoveConnected(quint8 address)
{
    for (auto it = connected_.begin(); it != connected_.end(); ++it) {
        if (*it == address) {
            connected_.erase(it);
            Logging(dlDetail, QStringLiteral("Modbus device #%1 is disconnected.").arg(address));
            if (OnDeviceState)
                OnDeviceState(this, address, false);
            return;
        }
    }
}

void TnrModbus::RemoveAllConnected()
{
    while (!connected_.empty())
        RemoveConnected(connected_.front());
}

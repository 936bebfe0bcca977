// The framing processor on any byte stream, with the description tables of
// its tests or descriptions built from the input. Whatever arrives, a
// reported packet fits its buffer, starts with its begin marker's text and
// ends with its end marker or at its length, and the same packets are
// reported however the stream is cut into chunks.

#include "protocol/tnr_data_protocol.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"

#include <QCoreApplication>

#include <cstdint>
#include <string>
#include <vector>

namespace {

struct Description
{
    Description(QByteArray begin_ = {}, QByteArray end_ = {}, int length_ = 0, bool resetOthers_ = false,
                bool lengthCallback_ = false, quint8 wild_ = 0)
        : begin(std::move(begin_)), end(std::move(end_)), length(length_), resetOthers(resetOthers_),
          lengthCallback(lengthCallback_), wild(wild_)
    {
    }
    QByteArray begin;
    QByteArray end;
    int length;
    bool resetOthers;
    bool lengthCallback;
    quint8 wild;
};

// The tables of the framing tests: CR LF frames, begin and length, the
// escape-sequence priority pair, the length callback, begin-only, a a b,
// the wild byte, end with a length, the marker-only packet.
const std::vector<std::vector<Description>>& Tables()
{
    static const std::vector<std::vector<Description>> tables = {
        {{":", "\r\n"}},
        {{"AB", "", 8}},
        {{"\x1b[?", "h", 0, true}, {"\x1b[", "h", 0, true}},
        {{"\x02", "", 0, false, true}},
        {{"AT"}},
        {{"aab"}},
        {{"A?", "!", 0, false, false, '?'}},
        {{"", "\n", 3}},
        {{"XY", "", 2}},
        {{"", "\n"}, {"", "\n"}},
    };
    return tables;
}

std::vector<Description> DescriptionsFrom(FuzzInput& in)
{
    const quint8 choice = in.TakeU8();
    if (choice < 0xC0)
        return Tables()[choice % Tables().size()];
    std::vector<Description> built(1 + in.TakeU8() % 3);
    for (Description& d : built) {
        d.begin = in.TakeBytes(in.TakeU8() % 4).toByteArray();
        d.end = in.TakeBytes(in.TakeU8() % 3).toByteArray();
        d.length = in.TakeU8() % 12;
        const quint8 flags = in.TakeU8();
        d.resetOthers = flags & 1;
        d.lengthCallback = flags & 2;
        d.wild = (flags & 4) ? in.TakeU8() : 0;
    }
    return built;
}

struct Report
{
    int index;
    QByteArray data;
    bool operator==(const Report&) const = default;
};

std::vector<Report> Frame(const std::vector<Description>& descriptions, QByteArrayView stream,
                          const std::vector<qsizetype>& cuts)
{
    TnrDataProcessor protocol;
    for (const Description& d : descriptions) {
        TnrDataPacket* packet = protocol.DataPackets().Add();
        packet->PacketBegin = d.begin;
        packet->PacketEnd = d.end;
        packet->PacketLength = d.length;
        packet->ResetOthers = d.resetOthers;
        packet->WildChar = d.wild;
        packet->SetPacketLengthMax(TnrDataPacket::kPacketLengthMaxMinimum);
        if (d.lengthCallback) {
            packet->OnPacketLength = [](TnrDataPacket* p, quint8 byte, bool& handled) {
                p->PacketLength = byte + p->Pos() + 2;
                handled = true;
            };
        }
        packet->Reset();
    }
    std::vector<Report> reports;
    protocol.OnDataPacket = [&](TnrDataProtocol*, TnrDataPacket* packet) {
        const Description& d = descriptions[size_t(protocol.DataPackets().IndexOf(packet))];
        const QByteArray data = packet->GetDataAsString();
        FUZZ_CHECK(data.size() <= packet->PacketLengthMax());
        if (!d.begin.isEmpty())
            FUZZ_CHECK(data.startsWith(d.begin));
        // A wild end byte stands for the byte received; an end-only packet
        // with a length shorter than its end keeps the end's last bytes.
        if (!d.end.isEmpty()) {
            if (d.wild == 0 || !d.end.contains(char(d.wild)))
                FUZZ_CHECK(data.endsWith(d.end) || d.end.endsWith(data));
        } else if (!d.begin.isEmpty() && (d.length > 0 || d.lengthCallback))
            FUZZ_CHECK(data.size() == packet->PacketLength || data.size() == d.begin.size());
        reports.push_back({protocol.DataPackets().IndexOf(packet), data});
    };
    qsizetype from = 0;
    for (qsizetype cut : cuts) {
        protocol.DataReceive(stream.data() + from, quint32(cut - from));
        from = cut;
    }
    protocol.DataReceive(stream.data() + from, quint32(stream.size() - from));
    return reports;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static int argc = 1;
    static char name[] = "fuzz_data_protocol";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);

    FuzzInput in(data, size);
    const std::vector<Description> descriptions = DescriptionsFrom(in);
    const quint8 step = in.TakeU8();
    const QByteArrayView stream = in.TakeRest();

    const std::vector<Report> whole = Frame(descriptions, stream, {});
    std::vector<qsizetype> cuts;
    for (qsizetype at = 1 + step % 7; at < stream.size(); at += 1 + (at * 31 + step) % 9)
        cuts.push_back(at);
    FUZZ_CHECK(Frame(descriptions, stream, cuts) == whole);
    return 0;
}

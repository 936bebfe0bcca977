#pragma once

#include "protocol/tnr_data_packet.h"

#include <memory>
#include <vector>

class TnrDataProtocol;

// The ordered packet descriptions of a protocol. The order is a priority:
// when two packets complete on the same byte, the earlier one wins.
class TnrDataPackets
{
public:
    explicit TnrDataPackets(TnrDataProtocol* owner = nullptr) : owner_(owner) {}
    TnrDataPackets(const TnrDataPackets&) = delete;
    TnrDataPackets& operator=(const TnrDataPackets&) = delete;

    // Replaces the items with copies of `other`'s descriptions.
    void Assign(const TnrDataPackets& other);

    TnrDataPacket* Add() { return AddItem(nullptr, -1); }
    // Takes `packet` (a new one when null) at `index`; -1 or below means last.
    TnrDataPacket* AddItem(TnrDataPacket* packet, int index);
    TnrDataPacket* Insert(int index) { return AddItem(nullptr, index); }
    void Clear() { items_.clear(); }

    int Count() const { return static_cast<int>(items_.size()); }
    TnrDataPacket* Item(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
    TnrDataPacket* operator[](int index) const { return Item(index); }
    int IndexOf(const TnrDataPacket* packet) const;

    // Offers one byte to the packets in order; the index of the first one
    // that completed (the others after it do not see the byte), or -1.
    int IsPacket(quint8 byte);
    // The first packet ended by the idle timer, or -1.
    int IsTimeoutHandle();
    void Reset();
    // Resets every packet but the one at `index`.
    void ResetOthers(int index);
    // After the last byte some packet had bytes collected or a match under way.
    bool IsPossible() const { return possible_; }

    TnrDataProtocol* Owner() const { return owner_; }

private:
    TnrDataProtocol* owner_;
    std::vector<std::unique_ptr<TnrDataPacket>> items_;
    bool possible_ = false;
};

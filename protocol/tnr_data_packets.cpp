#include "protocol/tnr_data_packets.h"

void TnrDataPackets::Assign(const TnrDataPackets& other)
{
    if (&other == this)
        return;
    items_.clear();
    for (const auto& item : other.items_)
        Add()->Assign(*item);
}

TnrDataPacket* TnrDataPackets::AddItem(TnrDataPacket* packet, int index)
{
    std::unique_ptr<TnrDataPacket> owned(packet != nullptr ? packet : new TnrDataPacket(this));
    owned->collection_ = this;
    TnrDataPacket* added = owned.get();
    if (index < 0 || index >= Count())
        items_.push_back(std::move(owned));
    else
        items_.insert(items_.begin() + index, std::move(owned));
    return added;
}

int TnrDataPackets::IndexOf(const TnrDataPacket* packet) const
{
    for (int i = 0; i < Count(); ++i)
        if (items_[static_cast<size_t>(i)].get() == packet)
            return i;
    return -1;
}

int TnrDataPackets::IsPacket(quint8 byte)
{
    possible_ = false;
    // By index: a length callback may reset or deactivate other packets.
    for (int i = 0; i < Count(); ++i) {
        TnrDataPacket* packet = items_[static_cast<size_t>(i)].get();
        // Most packets of a large collection are switched off at a time.
        if (packet->Active && packet->state_ != dpsInactive && packet->IsPacket(byte)) {
            if (packet->ResetOthers)
                ResetOthers(i);
            return i;
        }
        possible_ = possible_ || packet->IsPossible();
    }
    return -1;
}

int TnrDataPackets::IsTimeoutHandle()
{
    for (int i = 0; i < Count(); ++i) {
        TnrDataPacket* packet = items_[static_cast<size_t>(i)].get();
        if (packet->IsTimeoutHandle()) {
            if (packet->ResetOthers)
                ResetOthers(i);
            return i;
        }
    }
    return -1;
}

void TnrDataPackets::Reset()
{
    for (auto& item : items_)
        item->Reset();
}

void TnrDataPackets::ResetOthers(int index)
{
    for (int i = 0; i < Count(); ++i)
        if (i != index)
            items_[static_cast<size_t>(i)]->Reset();
}

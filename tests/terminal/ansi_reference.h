#pragma once

#include "terminal/tnr_ansi.h"

#include <QByteArray>
#include <QString>

// Feeds the same bytes to two escape recognisers, one through its fast path
// and one through the descriptions one by one, and describes the first
// difference (empty when they agree on every byte: completed description,
// its collected bytes, and whether a sequence is under way).
// The pair may be reused: both are reset first.
inline QString CompareWithDescriptions(TnrAnsi& fast, TnrAnsi& reference, QByteArrayView stream)
{
    fast.Reset();
    reference.Reset();
    QByteArray fastData;
    QByteArray referenceData;
    fast.OnAnsiPacket = [&](TnrAnsi*, TnrDataPacket* packet, TnrAnsiCommands) { fastData = packet->GetDataAsString(); };
    reference.OnAnsiPacket = [&](TnrAnsi*, TnrDataPacket* packet, TnrAnsiCommands) {
        referenceData = packet->GetDataAsString();
    };
    for (qsizetype at = 0; at < stream.size(); ++at) {
        const auto byte = static_cast<unsigned char>(stream[at]);
        fastData.clear();
        referenceData.clear();
        const int a = fast.IsPacket(byte);
        const int b = reference.IsPacketByDescriptions(byte);
        if (a != b || fastData != referenceData)
            return QStringLiteral("byte %1: completed %2 [%3], descriptions %4 [%5]")
                .arg(at)
                .arg(a)
                .arg(QString::fromLatin1(fastData.toHex(' ')))
                .arg(b)
                .arg(QString::fromLatin1(referenceData.toHex(' ')));
        if (a < 0 && fast.IsPacketPossible() != reference.IsPacketPossibleByDescriptions())
            return QStringLiteral("byte %1: under way %2, descriptions %3")
                .arg(at)
                .arg(fast.IsPacketPossible())
                .arg(reference.IsPacketPossibleByDescriptions());
    }
    return {};
}

// The same with a fresh pair; `lengthMax` > 0 gives every description a
// buffer of that size, so that long sequences overflow sooner.
inline QString CompareWithDescriptions(QByteArrayView stream, int lengthMax = 0)
{
    TnrAnsi fast;
    TnrAnsi reference;
    if (lengthMax > 0) {
        for (int i = 0; i < fast.DataPackets().Count(); ++i) {
            fast.DataPackets().Item(i)->SetPacketLengthMax(lengthMax);
            reference.DataPackets().Item(i)->SetPacketLengthMax(lengthMax);
        }
    }
    return CompareWithDescriptions(fast, reference, stream);
}

#pragma once

#include "wave/wave_sample_decoder.h"

#include <QByteArray>
#include <QList>
#include <QPointF>

#include <vector>

// The sample layouts the waveform window reads, with the points each curve
// gets from one chunk (fed to a fresh counter).
struct WaveCase
{
    const char* name;
    WaveFormat format;
    QByteArray chunk;
    std::vector<QList<QPointF>> curves;
};

inline std::vector<WaveCase> WaveCases()
{
    using T = WaveSampleType;
    return {
        {"one curve 1-byte unsigned", {1, T::kInt8, false}, QByteArray::fromHex("007fff"),
         {{{0, 0}, {1, 127}, {2, 255}}}},
        {"one curve 1-byte signed", {1, T::kInt8, true}, QByteArray::fromHex("007fff"), {{{0, 0}, {1, 127}, {2, -1}}}},
        {"two curves 2-byte signed, curve 0 first", {2, T::kInt16, true}, QByteArray::fromHex("19003c001a003d00"),
         {{{0, 25}, {1, 26}}, {{2, 60}, {3, 61}}}},
        {"2-byte signed negative and unsigned top", {1, T::kInt16, true}, QByteArray::fromHex("ff7f0080ffff"),
         {{{0, 32767}, {1, -32768}, {2, -1}}}},
        {"2-byte unsigned", {1, T::kInt16, false}, QByteArray::fromHex("ffff3412"), {{{0, 65535}, {1, 0x1234}}}},
        {"7-byte chunk on two 2-byte curves is one frame", {2, T::kInt16, false}, QByteArray::fromHex("01000200030004"),
         {{{0, 1}}, {{1, 2}}}},
        {"4-byte unsigned", {1, T::kInt32, false}, QByteArray::fromHex("ffffffff"), {{{0, 4294967295.0}}}},
        {"4-byte signed", {1, T::kInt32, true}, QByteArray::fromHex("ffffffff00000080"),
         {{{0, -1}, {1, -2147483648.0}}}},
        {"4-byte float 1.0, signed choice ignored", {1, T::kFloat32, true}, QByteArray::fromHex("0000803f000020c1"),
         {{{0, 1.0}, {1, -10.0}}}},
        {"chunk shorter than a frame adds nothing", {4, T::kInt16, false}, QByteArray::fromHex("01020304050607"), {}},
        {"three curves 1-byte, two frames", {3, T::kInt8, false}, QByteArray::fromHex("0a141e0b151f"),
         {{{0, 10}, {1, 11}}, {{2, 20}, {3, 21}}, {{4, 30}, {5, 31}}}},
        {"eight curves 1-byte", {8, T::kInt8, false}, QByteArray::fromHex("0102030405060708"),
         {{{0, 1}}, {{1, 2}}, {{2, 3}}, {{3, 4}}, {{4, 5}}, {{5, 6}}, {{6, 7}}, {{7, 8}}}},
    };
}

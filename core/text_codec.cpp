#include "core/text_codec.h"

#include <QtEndian>

#include <algorithm>
#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace TextCodec {
namespace {

// One iconv conversion descriptor per direction and thread, opened once: a
// descriptor keeps state during a conversion and must not be shared.
class Converter
{
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (handle_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in` and appends the result to `out` from `used` on,
    // returning the new used size; `out` grows when it has to. A unit that
    // cannot be converted is skipped (`unitSize` bytes) and `replacement` is
    // written in its place.
    qsizetype Append(QByteArrayView in, size_t unitSize, QByteArrayView replacement, QByteArray& out,
                     qsizetype used)
    {
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        char* outPtr = out.data() + used;
        size_t outLeft = out.size() - used;
        const auto grow = [&](qsizetype extra) {
            const qsizetype done = outPtr - out.data();
            out.resize(out.size() * 2 + extra);
            outPtr = out.data() + done;
            outLeft = out.size() - done;
        };
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG) {
                grow(16);
                continue;
            }
            // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
            if (outLeft < static_cast<size_t>(replacement.size()) + 8)
                grow(replacement.size() + 8);
            memcpy(outPtr, replacement.constData(), replacement.size());
            outPtr += replacement.size();
            outLeft -= replacement.size();
            const size_t skip = std::min(unitSize, inLeft);
            inPtr += skip;
            inLeft -= skip;
        }
        return outPtr - out.data();
    }

private:
    iconv_t handle_;
};

bool IsAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

// Bytes below 0x30 never occur inside a GB18030 sequence (the later bytes of
// a sequence are 0x30 to 0x39 or 0x40 to 0xFE), so decoding is always at a
// character boundary there, and every ASCII byte from such a boundary up to
// the next byte of 0x80 or above stands for itself.
constexpr unsigned char kFirstSequenceByte = 0x30;

// ASCII stretches at least this long are copied instead of converted; shorter
// ones stay inside the converted run, where a call costs more than they save.
constexpr qsizetype kMinAsciiStretch = 16;

// End of the run that starts at `from` (a byte of 0x80 or above) and must go
// through the converter: the start of the next long ASCII stretch that
// begins at a character boundary, or the end of the bytes.
qsizetype EndOfConvertedRun(const unsigned char* data, qsizetype from, qsizetype size)
{
    qsizetype stretch = -1;
    for (qsizetype i = from; i < size; ++i) {
        const unsigned char c = data[i];
        if (c >= 0x80) {
            stretch = -1;
            continue;
        }
        if (stretch < 0) {
            if (c >= kFirstSequenceByte)
                continue;
            stretch = i;
        }
        if (i + 1 - stretch >= kMinAsciiStretch)
            return stretch;
    }
    return stretch >= 0 ? stretch : size;
}

std::atomic<Encoding> payloadEncoding{Encoding::kGbk};

QString DecodeGb18030(QByteArrayView bytes)
{
    static thread_local Converter toUtf16("UTF-16LE", "GB18030");
    static const QByteArray kReplacement = QByteArray("\xFD\xFF", 2);  // U+FFFD little-endian
    // UTF-16 units never outnumber the bytes: a four-byte sequence gives at
    // most two units, everything else one.
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QByteArray utf16(size * 2 + 16, Qt::Uninitialized);
    qsizetype used = 0;
    qsizetype i = 0;
    while (i < size) {
        // The copy below writes unchecked: make sure the rest fits.
        if (utf16.size() - used < 2 * (size - i))
            utf16.resize(used + 2 * (size - i) + 16);
        char* write = utf16.data() + used;
        for (; i < size && data[i] < 0x80; ++i) {
            *write++ = static_cast<char>(data[i]);
            *write++ = 0;
        }
        used = write - utf16.constData();
        if (i == size)
            break;
        const qsizetype end = EndOfConvertedRun(data, i, size);
        used = toUtf16.Append(bytes.sliced(i, end - i), 1, kReplacement, utf16, used);
        i = end;
    }
    return QString(reinterpret_cast<const QChar*>(utf16.constData()), used / 2);
}

// RFC 3629: the lead byte tells the length of its sequence.
qsizetype IncompleteUtf8Tail(const unsigned char* data, qsizetype size)
{
    for (qsizetype back = 1; back <= std::min<qsizetype>(3, size); ++back) {
        const unsigned char c = data[size - back];
        if ((c & 0xC0) == 0x80)
            continue;
        const qsizetype length = c < 0xC2 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : c < 0xF5 ? 4 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

bool IsGbLead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

bool IsGbDigit(unsigned char c)
{
    return c >= 0x30 && c <= 0x39;
}

// GB 18030: one byte below 0x80, two bytes (lead 0x81 to 0xFE, then 0x40 to
// 0xFE but 0x7F) or four (lead, digit, lead, digit).
qsizetype IncompleteGb18030Tail(const unsigned char* data, qsizetype size)
{
    // Back to a byte that surely starts a character: one below 0x30 never
    // belongs to a sequence, and a byte below 0x80 inside a sequence always
    // follows one of 0x81 or above. Without one, the bytes start a character.
    qsizetype i = 0;
    for (qsizetype at = size - 1; at > 0; --at) {
        if (data[at] < kFirstSequenceByte || (data[at] < 0x80 && data[at - 1] < 0x81)) {
            i = at;
            break;
        }
    }
    // Forward one character at a time; an invalid byte is skipped alone, as
    // the decoder skips it.
    while (i < size) {
        if (!IsGbLead(data[i])) {
            ++i;
            continue;
        }
        if (i + 1 == size)
            return 1;
        const unsigned char second = data[i + 1];
        if (IsGbDigit(second)) {
            if (i + 2 == size)
                return 2;
            if (!IsGbLead(data[i + 2])) {
                ++i;
                continue;
            }
            if (i + 3 == size)
                return 3;
            i += IsGbDigit(data[i + 3]) ? 4 : 1;
            continue;
        }
        i += second >= 0x40 && second != 0x7F && second != 0xFF ? 2 : 1;
    }
    return 0;
}

QChar VisibleControl(char16_t c)
{
    if (c == 0x7F)
        return QChar(0x2421);
    return QChar(static_cast<char16_t>(0x2400 + c));
}

// What a byte shows as on a display line, in the code page, when it does
// not begin a character of two or four bytes: itself, a line feed for CR,
// the control glyph, or U+FFFD for a byte that begins nothing.
struct ShownByte
{
    quint32 bytes;  // little-endian, `length` of them
    quint8 length;
};

using ShownBytes = std::array<ShownByte, 256>;

const ShownBytes& ShownByteTable()
{
    static const ShownBytes table = [] {
        ShownBytes t;
        const auto packed = [](const QByteArray& bytes) {
            quint32 word = 0;
            for (qsizetype i = 0; i < bytes.size(); ++i)
                word |= quint32(quint8(bytes[i])) << (8 * i);
            return ShownByte{word, quint8(bytes.size())};
        };
        const ShownByte replacement = packed(Encode(QString(QChar(0xFFFD))));
        for (int c = 0; c < 256; ++c) {
            if (c == '\r')
                t[c] = {'\n', 1};
            else if ((c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t')
                t[c] = {quint32(c), 1};
            else if (c < 0x80)
                t[c] = packed(Encode(QString(VisibleControl(char16_t(c)))));
            else
                t[c] = replacement;
        }
        return t;
    }();
    return table;
}

// The text is converted in blocks of this many bytes, from a copy that has
// the four bytes after the block readable.
constexpr qsizetype kDisplayBlock = 4096;

// A character's code in a block: bit 0 set when it is two bytes long, bit 2
// when it is a pair of lead and second byte, and kFourByteCode or more when
// it may be four bytes long.
constexpr unsigned kFourByteCode = 8;

// True when every byte is 0x20 to 0x7E: each stands for itself. Looks at
// eight bytes at a time; the carries of the sums can only add false alarms.
bool AllPlain(const unsigned char* data, qsizetype count)
{
    constexpr quint64 kOnes = 0x0101010101010101ull;
    constexpr quint64 kHigh = 0x8080808080808080ull;
    qsizetype i = 0;
    for (; i + 8 <= count; i += 8) {
        const quint64 word = qFromUnaligned<quint64>(data + i);
        if ((((word - kOnes * 0x20) & ~word) | word | (word + kOnes)) & kHigh)
            return false;
    }
    for (; i < count; ++i)
        if (data[i] < 0x20 || data[i] > 0x7E)
            return false;
    return true;
}

// The code-page bytes of the four-byte sequence at `in`, or nothing when it
// is not one character. Not every four-byte sequence is assigned, and a few
// assigned ones encode back differently: the converter is asked. One that is
// not assigned decodes to several characters, as its bytes are skipped one
// at a time.
QByteArray FourByteCharacter(const unsigned char* in)
{
    const QString character = Decode(QByteArrayView(reinterpret_cast<const char*>(in), 4));
    if (character.size() == 1 || (character.size() == 2 && character.at(0).isHighSurrogate()))
        return Encode(character);
    return QByteArray();
}

// Writes the character at `at` of a block at `write` and moves both past it.
// Selected by masks, not branches, which random bytes would defeat.
inline void ShowCharacter(const unsigned char* in, const quint8* codes, const ShownBytes& shownBytes, qsizetype& at,
                          char*& write)
{
    unsigned code = codes[at];
    if (code >= kFourByteCode) [[unlikely]] {
        const QByteArray character = FourByteCharacter(in + at);
        if (!character.isEmpty()) {
            memcpy(write, character.constData(), character.size());
            write += character.size();
            at += 4;
            return;
        }
        code = 0;  // shown as U+FFFD, and decoding goes on with the next byte
    }
    const unsigned c = in[at];
    const quint32 pairMask = 0u - ((code >> 2) & 1u);
    const ShownByte shown = shownBytes[c];
    qToLittleEndian((quint32(c | in[at + 1] << 8) & pairMask) | (shown.bytes & ~pairMask), write);
    write += (2u & pairMask) | (shown.length & ~pairMask);
    at += (code & 1u) + 1;
}

}  // namespace

Encoding PayloadEncoding()
{
    return payloadEncoding.load(std::memory_order_relaxed);
}

void SetPayloadEncoding(Encoding encoding)
{
    payloadEncoding.store(encoding, std::memory_order_relaxed);
}

QString Decode(QByteArrayView bytes, Encoding encoding)
{
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes.data(), bytes.size());
    if (encoding == Encoding::kUtf8)
        return QString::fromUtf8(bytes);
    return DecodeGb18030(bytes);
}

QByteArray Encode(const QString& text, Encoding encoding)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLatin1();
    if (encoding == Encoding::kUtf8)
        return text.toUtf8();
    static thread_local Converter fromUtf16("GB18030", "UTF-16LE");
    const QByteArrayView utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    // Unpaired surrogates are the only thing GB18030 cannot take; write "?".
    QByteArray out(utf16.size() * 2 + 16, Qt::Uninitialized);
    out.truncate(fromUtf16.Append(utf16, 2, "?", out, 0));
    return out;
}

QString DecodeForDisplay(QByteArrayView bytes, Encoding encoding)
{
    // Mapped in place in one pass: only a CR LF pair shrinks the text.
    QString text = Decode(bytes, encoding);
    char16_t* chars = reinterpret_cast<char16_t*>(text.data());
    const qsizetype size = text.size();
    qsizetype out = 0;
    for (qsizetype i = 0; i < size; ++i) {
        char16_t c = chars[i];
        if (c >= 0x20 && c != 0x7F) {
            chars[out++] = c;
            continue;
        }
        if (c == '\r') {
            c = '\n';
            if (i + 1 < size && chars[i + 1] == '\n')
                ++i;
        } else if (c != '\n' && c != '\t') {
            c = VisibleControl(c).unicode();
        }
        chars[out++] = c;
    }
    text.truncate(out);
    return text;
}

qsizetype IncompleteTail(QByteArrayView bytes, Encoding encoding)
{
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    if (bytes.isEmpty())
        return 0;
    // An ASCII byte ends every UTF-8 character; in GB 18030 a digit may still
    // wait for the second half of a four-byte character.
    const unsigned char last = data[bytes.size() - 1];
    if (encoding == Encoding::kUtf8)
        return last < 0x80 ? 0 : IncompleteUtf8Tail(data, bytes.size());
    return last < kFirstSequenceByte ? 0 : IncompleteGb18030Tail(data, bytes.size());
}

void AppendEncodedDisplayed(QByteArrayView bytes, Encoding encoding, QByteArray& out)
{
    if (encoding == Encoding::kUtf8) {
        out.append(Encode(DecodeForDisplay(bytes, encoding), encoding));
        return;
    }
    const ShownBytes& shownBytes = ShownByteTable();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    // No byte shows as more than four, and every character writes four.
    const qsizetype used = out.size();
    out.resize(used + 4 * size + 4);
    char* write = out.data() + used;
    // A character's end depends on its bytes: so first, for every position of
    // a block, what a character starting there would be, each found apart
    // from the others; then a walk from character to character that costs
    // one look-up a step. Blocks of plain ASCII are copied.
    alignas(64) unsigned char in[kDisplayBlock + 8];
    alignas(64) quint8 codes[kDisplayBlock];
    char later[4 * kDisplayBlock + 16];
    for (qsizetype start = 0; start < size;) {
        const qsizetype count = std::min(kDisplayBlock, size - start);
        if (AllPlain(data + start, count)) {
            memcpy(write, data + start, count);
            write += count;
            start += count;
            continue;
        }
        // Past the end of the text come zero bytes, which continue no character.
        const qsizetype readable = std::min(count + 4, size - start);
        memcpy(in, data + start, readable);
        memset(in + readable, 0, sizeof in - readable);
        // Comparisons only, over the whole block whatever its count, so that
        // the compiler can look at many positions at once. Every lead byte
        // 0x81 to 0xFE followed by a second byte of a pair decodes, and
        // encodes back to the same two bytes.
        for (qsizetype j = 0; j < kDisplayBlock; ++j) {
            const quint8 c = in[j];
            const quint8 next = in[j + 1];
            const quint8 lead = quint8(c - 0x81) <= 0xFE - 0x81;
            const quint8 pair = lead & (quint8(next - 0x40) <= 0xFE - 0x40) & (next != 0x7F);
            const quint8 four = lead & (quint8(next - 0x30) <= 9) & (quint8(in[j + 2] - 0x81) <= 0xFE - 0x81) &
                                (quint8(in[j + 3] - 0x30) <= 9);
            const quint8 crLf = (c == '\r') & (next == '\n');
            codes[j] = quint8((pair | crLf) | pair << 2 | four << 3);
        }
        // Each step waits for the one before: two walks side by side, the
        // second from a byte below 0x30 in the middle, which is always the
        // start of a character (such a byte is never part of a longer one,
        // except the LF of a CR LF). Its text goes to `later` first.
        qsizetype middle = std::max<qsizetype>(1, count / 2);
        while (middle < count && (in[middle] >= 0x30 || (in[middle] == '\n' && in[middle - 1] == '\r')))
            ++middle;
        qsizetype j = 0;
        qsizetype k = middle;
        char* laterWrite = later;
        while (j < middle && k < count) {
            ShowCharacter(in, codes, shownBytes, j, write);
            ShowCharacter(in, codes, shownBytes, k, laterWrite);
        }
        while (j < middle)
            ShowCharacter(in, codes, shownBytes, j, write);
        while (k < count)
            ShowCharacter(in, codes, shownBytes, k, laterWrite);
        memcpy(write, later, laterWrite - later);
        write += laterWrite - later;
        if (middle < count)
            j = k;
        // The last character may reach into the next block.
        start += j;
    }
    out.truncate(write - out.constData());
}

}  // namespace TextCodec

#include "core/text_codec.h"

#include <algorithm>
#include <array>
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

QChar VisibleControl(char16_t c)
{
    if (c == 0x7F)
        return QChar(0x2421);
    return QChar(static_cast<char16_t>(0x2400 + c));
}

// The second byte of a two-byte GB18030 character. Every lead byte 0x81 to
// 0xFE followed by one of these decodes, and encodes back to the same pair.
bool IsSecondOfPair(unsigned char c)
{
    return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

bool IsLead(unsigned char c)
{
    return c >= 0x81 && c <= 0xFE;
}

bool IsFourByteDigit(unsigned char c)
{
    return c >= 0x30 && c <= 0x39;
}

// Bytes that stand for themselves on a display line.
bool IsPlainAscii(unsigned char c)
{
    return (c >= 0x20 && c < 0x7F) || c == '\n' || c == '\t';
}

}  // namespace

QString Decode(QByteArrayView bytes)
{
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes.data(), bytes.size());
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

QByteArray Encode(const QString& text)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLatin1();
    static thread_local Converter fromUtf16("GB18030", "UTF-16LE");
    const QByteArrayView utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    // Unpaired surrogates are the only thing GB18030 cannot take; write "?".
    QByteArray out(utf16.size() * 2 + 16, Qt::Uninitialized);
    out.truncate(fromUtf16.Append(utf16, 2, "?", out, 0));
    return out;
}

QString DecodeForDisplay(QByteArrayView bytes)
{
    // Mapped in place in one pass: only a CR LF pair shrinks the text.
    QString text = Decode(bytes);
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

QByteArray EncodeDisplayed(QByteArrayView bytes)
{
    static const QByteArray kReplacement = Encode(QString(QChar(0xFFFD)));
    static const std::array<QByteArray, 0x80> kGlyphs = [] {
        std::array<QByteArray, 0x80> glyphs;
        for (char16_t c = 0; c < 0x20; ++c)
            glyphs[c] = Encode(QString(VisibleControl(c)));
        glyphs[0x7F] = Encode(QString(VisibleControl(0x7F)));
        return glyphs;
    }();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.data());
    const qsizetype size = bytes.size();
    QByteArray out;
    out.reserve(size + 16);
    qsizetype i = 0;
    while (i < size) {
        // Decoding is at a character boundary here, as iconv would be.
        const qsizetype start = i;
        while (i < size) {
            if (IsPlainAscii(data[i]))
                ++i;
            else if (IsLead(data[i]) && i + 1 < size && IsSecondOfPair(data[i + 1]))
                i += 2;
            else
                break;
        }
        out.append(bytes.sliced(start, i - start));
        if (i == size)
            break;
        const unsigned char c = data[i];
        if (c == '\r') {
            out.append('\n');
            i += i + 1 < size && data[i + 1] == '\n' ? 2 : 1;
        } else if (c < 0x80) {
            out.append(kGlyphs[c]);
            ++i;
        } else if (IsLead(c) && i + 3 < size && IsFourByteDigit(data[i + 1]) && IsLead(data[i + 2]) &&
                   IsFourByteDigit(data[i + 3])) {
            // Not every four-byte sequence is assigned, and a few assigned
            // ones encode back differently: ask the converter. One that is not
            // assigned decodes to several characters, as its bytes are
            // skipped one at a time.
            const QString character = Decode(bytes.sliced(i, 4));
            if (character.size() == 1 || (character.size() == 2 && character.at(0).isHighSurrogate())) {
                out.append(Encode(character));
                i += 4;
            } else {
                out.append(kReplacement);
                ++i;
            }
        } else {
            // A byte that starts no character: U+FFFD, and decoding goes on
            // with the next byte, as the converter does.
            out.append(kReplacement);
            ++i;
        }
    }
    return out;
}

}  // namespace TextCodec

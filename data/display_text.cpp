#include "data/display_text.h"

#include "core/text_codec.h"
#include "data/codec.h"
#include "data/line_breaks.h"

#include <QStringList>

#include <algorithm>
#include <cstring>

namespace {

// Position of the first CR or LF at or after `from`, or `size`. Looks at
// eight bytes at a time, as most received bytes are no line break: a word
// holds a CR or LF exactly when XOR with that byte leaves a zero byte.
qsizetype NextLineBreak(const char* data, qsizetype from, qsizetype size)
{
    constexpr quint64 kOnes = 0x0101010101010101ull;
    constexpr quint64 kHigh = 0x8080808080808080ull;
    qsizetype i = from;
    for (; i + 8 <= size; i += 8) {
        quint64 word;
        std::memcpy(&word, data + i, sizeof word);
        const quint64 lf = word ^ (kOnes * '\n');
        const quint64 cr = word ^ (kOnes * '\r');
        if ((((lf - kOnes) & ~lf) | ((cr - kOnes) & ~cr)) & kHigh)
            break;
    }
    for (; i < size; ++i)
        if (data[i] == '\n' || data[i] == '\r')
            return i;
    return size;
}

}  // namespace

DisplayText::DisplayText(QString text) : head_(std::move(text))
{
}

DisplayText::DisplayText(QString head, const QByteArray& bytes, qsizetype offset, qsizetype size,
                         Rendering rendering, TextCodec::Encoding encoding, int style)
    : head_(std::move(head)),
      bytes_(bytes),
      offset_(offset),
      size_(size),
      rendering_(rendering),
      encoding_(encoding),
      style_(style)
{
}

DisplayText DisplayText::Decoded(const QByteArray& bytes, TextCodec::Encoding encoding, qsizetype size)
{
    return DisplayText(QString(), bytes, 0, size < 0 ? bytes.size() : std::min(size, bytes.size()),
                       Rendering::kDecoded, encoding, 0);
}

DisplayText DisplayText::HexStyled(const QByteArray& bytes, int style)
{
    return DisplayText(QString(), bytes, 0, bytes.size(), Rendering::kHex, TextCodec::Encoding::kGbk, style);
}

DisplayText DisplayText::HexDump(const QByteArray& bytes)
{
    // The dump is the spaced style, trailing blank included.
    return HexStyled(bytes, kHexSpaced);
}

DisplayText DisplayText::Prefixed(const QString& head) const
{
    DisplayText text = *this;
    text.head_.prepend(head);
    return text;
}

QString DisplayText::Render(qsizetype count) const
{
    const QByteArrayView bytes = Bytes().first(count);
    switch (rendering_) {
    case Rendering::kDecoded:
        return TextCodec::DecodeForDisplay(bytes, encoding_);
    case Rendering::kHex:
        return QString::fromLatin1(BytesToHexStyled(bytes, style_));
    case Rendering::kNone:
        break;
    }
    return QString();
}

QString DisplayText::ToString() const
{
    return head_ + Render(size_);
}

void DisplayText::AppendEncoded(QByteArray& out, TextCodec::Encoding encoding) const
{
    out.append(TextCodec::Encode(head_, encoding));
    switch (rendering_) {
    case Rendering::kDecoded:
        if (encoding == encoding_)
            TextCodec::AppendEncodedDisplayed(Bytes(), encoding, out);
        else
            out.append(TextCodec::Encode(Render(size_), encoding));
        break;
    case Rendering::kHex:
        AppendHexStyled(Bytes(), style_, out);
        break;
    case Rendering::kNone:
        break;
    }
}

QString DisplayText::Left(qsizetype count) const
{
    if (count <= head_.size())
        return head_.left(count);
    const qsizetype rest = count - head_.size();
    // Decoding gives every character from at most four bytes (a cut sequence
    // at the end only spoils characters past the ones asked for); every byte
    // gives at least two hex characters, less one trailing comma.
    const qsizetype needed = rendering_ == Rendering::kDecoded ? 4 * std::min(rest, size_) : rest / 2 + 1;
    return head_ + Render(std::min(size_, needed)).left(rest);
}

qsizetype DisplayText::Size() const
{
    switch (rendering_) {
    case Rendering::kDecoded: {
        // ASCII gives a character per byte, unless a CR LF pair makes one break.
        const QByteArrayView bytes = Bytes();
        const bool oneEach = std::all_of(bytes.begin(), bytes.end(), [](char c) {
            return static_cast<unsigned char>(c) < 0x80 && c != '\r';
        });
        return head_.size() + (oneEach ? size_ : Render(size_).size());
    }
    case Rendering::kHex:
        return head_.size() + HexStyledSize(size_, style_);
    case Rendering::kNone:
        break;
    }
    return head_.size();
}

qsizetype DisplayText::SizeBound() const
{
    return rendering_ == Rendering::kDecoded ? head_.size() + size_ : Size();
}

DisplayText DisplayText::Slice(QString head, qsizetype offset, qsizetype size) const
{
    return DisplayText(std::move(head), bytes_, offset, size, rendering_, encoding_, style_);
}

void DisplayText::SplitLines(const std::function<void(DisplayText&&)>& take) const
{
    QString head = head_;
    if (head_.contains(QLatin1Char('\n')) || head_.contains(QLatin1Char('\r'))) {
        QStringList headLines = SplitAtLineBreaks(head_);
        head = headLines.takeLast();
        for (QString& line : headLines)
            take(DisplayText(std::move(line)));
    }
    if (rendering_ != Rendering::kDecoded) {
        // Hex digits, blanks and commas hold no line break.
        take(Slice(std::move(head), offset_, size_));
        return;
    }
    // Decoding turns every CR and LF byte into a break, and neither byte ever
    // occurs inside a multi-byte sequence: the bytes split where the text does.
    const char* data = bytes_.constData() + offset_;
    qsizetype start = 0;
    if (head_.endsWith(QLatin1Char('\r')) && size_ > 0 && data[0] == '\n')
        start = 1;  // the LF completes the head's CR LF
    for (qsizetype i = NextLineBreak(data, start, size_); i < size_; i = NextLineBreak(data, start, size_)) {
        take(Slice(std::move(head), offset_ + start, i - start));
        head = QString();
        if (data[i] == '\r' && i + 1 < size_ && data[i + 1] == '\n')
            ++i;
        start = i + 1;
    }
    take(Slice(std::move(head), offset_ + start, size_ - start));
}

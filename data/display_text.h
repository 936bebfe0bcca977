#pragma once

#include "core/text_codec.h"

#include <QByteArray>
#include <QString>

#include <functional>

// The text of a display line, kept as the bytes it is made of until someone
// reads it. A burst of received data fills the display far faster than anyone
// can read it, and most of its lines are emptied out again unseen: decoding
// or hex-formatting them on arrival would be wasted work. A text is a ready
// string, the head, followed by a stretch of bytes in one rendering; lines
// made of one chunk share its bytes instead of copying them.
class DisplayText
{
public:
    // A ready string (implicit: every string is a display text).
    DisplayText(QString text = QString());

    // Received or sent bytes as text in `encoding`: TextCodec::DecodeForDisplay
    // of the first `size` bytes (all of them when `size` is negative).
    static DisplayText Decoded(const QByteArray& bytes, TextCodec::Encoding encoding = TextCodec::Encoding::kGbk,
                               qsizetype size = -1);
    // BytesToHexStyled in `style`.
    static DisplayText HexStyled(const QByteArray& bytes, int style);
    // BytesToHexDump.
    static DisplayText HexDump(const QByteArray& bytes);

    // The same text with `head` in front.
    DisplayText Prefixed(const QString& head) const;

    // The whole text, rendered now.
    QString ToString() const;
    // Appends TextCodec::Encode(ToString(), encoding) to `out`; made from the
    // bytes without rendering them as text first when they were decoded in
    // the same encoding.
    void AppendEncoded(QByteArray& out, TextCodec::Encoding encoding) const;
    // The first `count` characters of ToString(); renders only the bytes they
    // come from.
    QString Left(qsizetype count) const;
    // Characters of ToString(). Decodes non-ASCII text to count it.
    qsizetype Size() const;
    // Size() without decoding: decoded bytes count as one character each,
    // which is never less than they give.
    qsizetype SizeBound() const;

    // Hands `take` one text per line of ToString() (split at CR LF, CR or
    // LF, as SplitAtLineBreaks does), each still unrendered.
    void SplitLines(const std::function<void(DisplayText&&)>& take) const;

private:
    enum class Rendering : quint8 { kNone, kDecoded, kHex };

    DisplayText(QString head, const QByteArray& bytes, qsizetype offset, qsizetype size, Rendering rendering,
                TextCodec::Encoding encoding, int style);

    QByteArrayView Bytes() const { return QByteArrayView(bytes_).sliced(offset_, size_); }
    // The rendering of the first `count` of the bytes.
    QString Render(qsizetype count) const;
    // A text of this one's rendering made of `size` bytes from `offset` on.
    DisplayText Slice(QString head, qsizetype offset, qsizetype size) const;

    QString head_;
    QByteArray bytes_;
    qsizetype offset_ = 0;
    qsizetype size_ = 0;
    Rendering rendering_ = Rendering::kNone;
    TextCodec::Encoding encoding_ = TextCodec::Encoding::kGbk;
    int style_ = 0;
};

#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The system code page of payload text, the log and the settings files is GBK.
// GB18030 is its superset and maps every Unicode character, so both directions
// use it and typed text never loses a character. Payload text may be UTF-8
// instead, as Linux peers send it; the settings files stay GBK. Every function
// may be called from any thread.
namespace TextCodec {

enum class Encoding : quint8 { kGbk, kUtf8 };

// The encoding of payload text: received text shown, typed text sent and the
// log. GBK until the user chooses otherwise ("文本编码"). Any thread may ask.
Encoding PayloadEncoding();
void SetPayloadEncoding(Encoding encoding);

// Bytes -> Unicode. A byte sequence that is not valid becomes U+FFFD (per
// offending byte in GB18030); decoding never stops early.
QString Decode(QByteArrayView bytes, Encoding encoding = Encoding::kGbk);

// Unicode -> bytes.
QByteArray Encode(const QString& text, Encoding encoding = Encoding::kGbk);

// Received bytes as display text: decoded like Decode, with line breaks (CR LF,
// CR or LF) kept as '\n' and every other control byte, the zero byte included,
// shown as its visible Control Pictures glyph so it can neither cut nor
// corrupt a display line. Tabs stay tabs.
QString DecodeForDisplay(QByteArrayView bytes, Encoding encoding = Encoding::kGbk);

// How many bytes at the end of `bytes` begin a character that they do not
// complete (0 to 3), read from a character boundary at the start: what a
// stream cut into chunks carries into its next chunk.
qsizetype IncompleteTail(QByteArrayView bytes, Encoding encoding);

// Appends Encode(DecodeForDisplay(bytes, encoding), encoding) to `out`. In
// GBK it is made from the bytes without decoding them: valid characters are
// their own bytes, only line breaks, control glyphs, bytes that do not decode
// and the rare four-byte sequences change. The log writes every display line
// so.
void AppendEncodedDisplayed(QByteArrayView bytes, Encoding encoding, QByteArray& out);

}  // namespace TextCodec

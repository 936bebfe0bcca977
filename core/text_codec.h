#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// The system code page of payload text, the log and the settings files is GBK.
// GB18030 is its superset and maps every Unicode character, so both directions
// use it and typed text never loses a character. Every function may be called
// from any thread.
namespace TextCodec {

// Bytes in the code page -> Unicode. A byte sequence that is not valid GB18030
// becomes U+FFFD per offending byte; decoding never stops early.
QString Decode(QByteArrayView bytes);

// Unicode -> code-page bytes.
QByteArray Encode(const QString& text);

// Received bytes as display text: decoded like Decode, with line breaks (CR LF,
// CR or LF) kept as '\n' and every other control byte, the zero byte included,
// shown as its visible Control Pictures glyph so it can neither cut nor
// corrupt a display line. Tabs stay tabs.
QString DecodeForDisplay(QByteArrayView bytes);

// Appends Encode(DecodeForDisplay(bytes)) to `out`, made from the bytes
// without decoding them: valid characters are their own bytes, only line
// breaks, control glyphs, bytes that do not decode and the rare four-byte
// sequences change. The log writes every display line in the code page so.
void AppendEncodedDisplayed(QByteArrayView bytes, QByteArray& out);

}  // namespace TextCodec

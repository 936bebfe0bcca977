#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

// Conversions between payload bytes and the texts users type and read.
// Payload text is an 8-bit string in the system code page; hex digits the
// program writes are always upper case, two per byte.

// Item indexes of the hex display style combo; anything else means no style.
enum HexStyle : int {
    kHexSpaced = 0,     // "11 22 33 "
    kHexPacked = 1,     // "112233"
    kHexC = 2,          // "0x11,0x22,0x33"
    kHexSuffixH = 3,    // "11h,22h,33h"
    kHexBackslash = 4,  // "\x11,\x22,\x33"
};

// 0..15 for a hex digit of either case, 16 for any other character.
int HexDigitValue(char c);

// Parses hex text pairwise. Blanks between pairs are skipped, a lone final
// character is dropped, and a non-digit enters the pair with the value 16, so
// any text yields bytes (see the tests for the resulting oddities users rely on).
QByteArray HexTextToBytes(QByteArrayView text);

// "01 02 FF": digits separated by single blanks; HexTextToBytes reverses it.
QByteArray BytesToHexPlain(QByteArrayView bytes);

// Display form of the bytes in one of the five styles; a trailing comma is
// dropped, style 0 keeps its trailing blank, no style gives the empty text.
QByteArray BytesToHexStyled(QByteArrayView bytes, int style);
// BytesToHexStyled appended to `out`.
void AppendHexStyled(QByteArrayView bytes, int style, QByteArray& out);

// Length of BytesToHexStyled of `count` bytes, without writing the text.
qsizetype HexStyledSize(qsizetype count, int style);

// "11 22 33 ": every byte followed by a blank, the same text as style 0.
QByteArray BytesToHexDump(QByteArrayView bytes);

// Expands \r \n \t \a \b \f \v \\ ^z ^Z, one replacement after another over the
// whole text, in that order.
QByteArray ExpandEscapes(QByteArrayView text);

// Items of the send-source combo.
enum SendSource : int { kSourceMemo = 0, kSourceTime = 1, kSourceRandom = 2 };

// Generated payload for the time and random sources; empty for any other item.
QByteArray SendSourceText(int sendFromIndex);

// Short date, a blank and the long time of now, e.g. "2024-5-1 12:34:56".
QString DateTimeText();

// "2024-5-1 12:34:56 0078毫秒 ": the display lines' time stamp.
QString TimeStampText();

// Today's date in the short date format.
QString DateText();

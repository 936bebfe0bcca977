#pragma once

#include <QString>

// A send memo's text as config.ini keeps it. The memo's key in section "FORM"
// holds one line, the text up to its first line break, and reads back without
// the blanks at either end: that is all a reader of that key ever gets, so it
// stays exactly so. Whatever that line loses (further lines, blanks at either
// end) is kept in a key of our own section: the whole text as the Base64
// (RFC 4648) of its code-page bytes, which holds no line break.
namespace MemoText {

// What the memo's "FORM" key gives back for `text`.
QString LineValue(const QString& text);

// The value of the memo's key in our own section: empty when the "FORM" key
// gives the text back by itself.
QString WholeValue(const QString& text);

// The memo's text from both keys: the whole text while its first line still
// reads as the "FORM" key's value; otherwise (the "FORM" key was edited by
// hand, or no whole text was kept) the "FORM" key's value.
QString Restore(const QString& lineValue, const QString& wholeValue);

}  // namespace MemoText

#include "app/memo_text.h"

#include "core/text_codec.h"

#include <QByteArray>

namespace MemoText {

QString LineValue(const QString& text)
{
    qsizetype end = 0;
    while (end < text.size() && text[end] != QLatin1Char('\r') && text[end] != QLatin1Char('\n'))
        ++end;
    return text.left(end).trimmed();
}

QString WholeValue(const QString& text)
{
    if (LineValue(text) == text)
        return QString();
    return QString::fromLatin1(TextCodec::Encode(text).toBase64());
}

QString Restore(const QString& lineValue, const QString& wholeValue)
{
    if (wholeValue.isEmpty())
        return lineValue;
    const QString whole = TextCodec::Decode(QByteArray::fromBase64(wholeValue.toLatin1()));
    return LineValue(whole) == lineValue ? whole : lineValue;
}

}  // namespace MemoText

#include "app/snippet_text.h"

#include "core/text_codec.h"
#include "data/line_breaks.h"
#include "send/snippet_rows.h"

namespace SnippetText {

namespace {

constexpr int kRestoredLines = 50;

}  // namespace

QString RowsToText(const QList<QPair<QString, QString>>& rows)
{
    QString text;
    for (const auto& [key, value] : rows) {
        if (!key.isEmpty() || !value.isEmpty())
            text += key + QLatin1Char('=') + value;
        text += QStringLiteral("\r\n");
    }
    return text;
}

QString Encode(const QString& text)
{
    return QString::fromLatin1(TextCodec::Encode(text).toBase64());
}

QList<QPair<QString, QString>> RowsFromStored(const QString& base64)
{
    QString text = TextCodec::Decode(QByteArray::fromBase64(base64.toLatin1()));
    for (qsizetype feeds = text.count(QLatin1Char('\n')); feeds < kRestoredLines; ++feeds)
        text += QLatin1Char('\n');

    QStringList lines = SplitAtLineBreaks(text);
    // The line break that ends the last line does not start another row.
    if (lines.last().isEmpty())
        lines.removeLast();
    QList<QPair<QString, QString>> rows;
    for (const QString& line : lines)
        rows.append(SnippetRows::FromLine(line));
    return rows;
}

}  // namespace SnippetText

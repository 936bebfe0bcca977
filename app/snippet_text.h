#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// The snippet table as it is kept in config.ini: its rows as "key=value"
// lines, each ended by CR LF, in the code page, encoded in Base64.
namespace SnippetText {

// One row per line; a row whose key and value are both empty is an empty line.
QString RowsToText(const QList<QPair<QString, QString>>& rows);

// The table's lines as a restore sees them: the Base64 value decoded, padded
// with line feeds to at least 50 lines, then split at CR LF, CR or LF. A line
// without "=" is a key with an empty value.
QList<QPair<QString, QString>> RowsFromStored(const QString& base64);

QString Encode(const QString& text);

}  // namespace SnippetText

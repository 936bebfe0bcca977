#pragma once

#include <QList>
#include <QPair>
#include <QString>

// The rows of the snippet table "ValueListEditor1": a key ("说明") and a
// value ("内容") each, written as one "key=value" line.
namespace SnippetRows {

using Row = QPair<QString, QString>;

// The table as the window is built: four snippets and sixteen empty rows.
QList<Row> DesignRows();

// A line split at its first "="; a line without one is a key with an empty value.
Row FromLine(const QString& line);

}  // namespace SnippetRows

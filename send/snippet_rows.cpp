#include "send/snippet_rows.h"

namespace SnippetRows {

namespace {

constexpr int kDesignRowCount = 20;

}  // namespace

QList<Row> DesignRows()
{
    QList<Row> rows = {FromLine(QStringLiteral("1=11 22 33 44 55")), FromLine(QStringLiteral("2=123456789")),
                       FromLine(QStringLiteral("AT=AT")), FromLine(QStringLiteral("信号强度=AT+CSQ"))};
    while (rows.size() < kDesignRowCount)
        rows.append(Row());
    return rows;
}

Row FromLine(const QString& line)
{
    const qsizetype equals = line.indexOf(QLatin1Char('='));
    return equals < 0 ? qMakePair(line, QString()) : qMakePair(line.left(equals), line.mid(equals + 1));
}

}  // namespace SnippetRows

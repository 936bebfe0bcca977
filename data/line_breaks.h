#pragma once

#include <QString>
#include <QStringList>

// Splits text into lines at CR LF, CR or LF. The piece after the last line
// break is always a line, empty or not: "a\n" gives "a" and "".
QStringList SplitAtLineBreaks(const QString& text);

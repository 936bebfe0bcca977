#include "data/display_line_store.h"

void DisplayLineStore::Append(const QString& text, LineColor color)
{
    chars_ += text.size();
    qsizetype start = 0;
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = text[i];
        if (c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            continue;
        lines_.push_back({text.mid(start, i - start), color});
        if (c == QLatin1Char('\r') && i + 1 < size && text[i + 1] == QLatin1Char('\n'))
            ++i;
        start = i + 1;
    }
    lines_.push_back({start == 0 ? text : text.mid(start), color});
}

void DisplayLineStore::Clear()
{
    lines_.clear();
    chars_ = 0;
    ++generation_;
}

#include "data/display_line_store.h"

#include "data/line_breaks.h"

void DisplayLineStore::Append(const QString& text, LineColor color)
{
    chars_ += text.size();
    if (!text.contains(QLatin1Char('\n')) && !text.contains(QLatin1Char('\r'))) {
        lines_.push_back({text, color});
        return;
    }
    for (const QString& line : SplitAtLineBreaks(text))
        lines_.push_back({line, color});
}

void DisplayLineStore::Clear()
{
    lines_.clear();
    chars_ = 0;
    ++generation_;
}

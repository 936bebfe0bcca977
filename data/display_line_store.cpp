#include "data/display_line_store.h"

void DisplayLineStore::Append(const DisplayText& text, LineColor color)
{
    text.SplitLines([this, color](DisplayText&& line) {
        chars_ += line.SizeBound();
        lines_.push_back({std::move(line), color});
    });
}

DisplayLineStore::Line DisplayLineStore::At(qsizetype index) const
{
    const StoredLine& line = lines_[index];
    return {line.text.ToString(), line.color};
}

void DisplayLineStore::Clear()
{
    lines_.clear();
    chars_ = 0;
    ++generation_;
}

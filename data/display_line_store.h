#pragma once

#include "core/line_color.h"
#include "data/display_text.h"

#include <QString>

#include <vector>

// The receive display's lines, kept apart from the widget so that adding a
// line costs no layout or repaint. The view shows new lines in batches and
// watches `generation` to learn that the store was emptied. Lines keep their
// text unrendered (DisplayText): only the lines the view lays out, or someone
// reads, are ever decoded or formatted.
class DisplayLineStore
{
public:
    struct Line
    {
        QString text;
        LineColor color;
    };

    // Adds `text` as one line per line break it holds (CR LF, CR or LF).
    void Append(const DisplayText& text, LineColor color);
    void Clear();

    qsizetype LineCount() const { return static_cast<qsizetype>(lines_.size()); }
    // Characters of all lines, decoded bytes counted as one each (DisplayText::SizeBound).
    qsizetype CharCount() const { return chars_; }
    // The line with its text rendered whole.
    Line At(qsizetype index) const;
    // The line's text as kept, to be rendered only as far as it is read.
    const DisplayText& TextAt(qsizetype index) const { return lines_[index].text; }
    LineColor ColorAt(qsizetype index) const { return lines_[index].color; }
    quint64 Generation() const { return generation_; }

private:
    struct StoredLine
    {
        DisplayText text;
        LineColor color;
    };

    std::vector<StoredLine> lines_;
    qsizetype chars_ = 0;
    quint64 generation_ = 0;
};

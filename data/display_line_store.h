#pragma once

#include "core/line_color.h"

#include <QString>

#include <vector>

// The receive display's lines, kept apart from the widget so that adding a
// line costs no layout or repaint. The view shows new lines in batches and
// watches `generation` to learn that the store was emptied.
class DisplayLineStore
{
public:
    struct Line
    {
        QString text;
        LineColor color;
    };

    // Adds `text` as one line per line break it holds (CR LF, CR or LF).
    void Append(const QString& text, LineColor color);
    void Clear();

    qsizetype LineCount() const { return static_cast<qsizetype>(lines_.size()); }
    qsizetype CharCount() const { return chars_; }
    const Line& At(qsizetype index) const { return lines_[index]; }
    quint64 Generation() const { return generation_; }

private:
    std::vector<Line> lines_;
    qsizetype chars_ = 0;
    quint64 generation_ = 0;
};

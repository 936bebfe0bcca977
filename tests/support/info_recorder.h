#pragma once

#include "data/display_text_sink.h"

#include <vector>

// Records ShowInfo calls in order, texts rendered.
struct InfoRecorder : DisplayTextSink
{
    struct Line
    {
        QString text;
        LineColor color;
    };
    std::vector<Line> lines;

    void ShowInfo(const QString& text, LineColor color) override { lines.push_back({text, color}); }
    void ShowInfo(const DisplayText& text, LineColor color) override { lines.push_back({text.ToString(), color}); }
};

#pragma once

#include "core/info_sink.h"

#include <vector>

// Records ShowInfo calls in order.
struct InfoRecorder : InfoSink
{
    struct Line
    {
        QString text;
        LineColor color;
    };
    std::vector<Line> lines;

    void ShowInfo(const QString& text, LineColor color) override { lines.push_back({text, color}); }
};

#pragma once

#include <QString>

#include "data/line_color.h"

// Where status and information lines go: the shared receive display.
class InfoSink
{
public:
    virtual ~InfoSink() = default;
    virtual void ShowInfo(const QString& text, LineColor color) = 0;
};

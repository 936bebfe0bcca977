#pragma once

#include "core/line_color.h"

#include <QString>

// Where status and information lines go: the shared receive display.
class InfoSink
{
public:
    virtual ~InfoSink() = default;
    virtual void ShowInfo(const QString& text, LineColor color) = 0;
};

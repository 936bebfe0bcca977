#pragma once

#include "core/line_color.h"
#include "data/display_text.h"

#include <QString>

// Where display lines go, ready strings and texts still to be rendered from
// bytes alike. The receive pipeline implements it; the send path reports
// through it.
class DisplayTextSink
{
public:
    virtual ~DisplayTextSink() = default;
    virtual void ShowInfo(const QString& text, LineColor color) = 0;
    virtual void ShowInfo(const DisplayText& text, LineColor color) = 0;
};

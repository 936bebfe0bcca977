#pragma once

#include <QString>

// The numbers typed into the Modbus window: decimal, or hexadecimal after "$"
// (or "0x"), with an optional sign.

// Throws std::runtime_error("'<text>' is not a valid integer value").
int StrToInt(const QString& text);
// `fallback` for a text that is no number.
int StrToIntDef(const QString& text, int fallback);

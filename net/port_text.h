#pragma once

#include <QString>

// "'%s' is not a valid integer value": the conversion error users see when a
// channel reads a port text that is no integer.
QString NotAnIntegerText(const QString& text);

#pragma once

#include <QString>

// "'%s' is not a valid integer value": the conversion error users see when a
// channel reads a port text that is no integer.
QString NotAnIntegerText(const QString& text);

// The port a field's text names, or the message that refuses it.
struct PortReading
{
    quint16 port = 0;
    QString refusal;  // empty when the text names a port

    bool Ok() const { return refusal.isEmpty(); }
};

// Reads a port field's text as it is (callers trim it where they must). A
// text that is no integer gets the conversion error; an integer outside 0 to
// 65535 is refused too, rather than wrapped to a port the user never named.
PortReading ReadPort(const QString& text);

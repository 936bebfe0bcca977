#pragma once

#include <QString>

// The folder of the monthly receive log: next to the executable, unless that
// folder cannot be written (a program installed in /usr/bin). Then it is
// $XDG_DATA_HOME/serialnet, by default ~/.local/share/serialnet, made when
// missing, so that the record is kept rather than lost line by line.
QString ReceiveLogFolder(const QString& executableFolder);

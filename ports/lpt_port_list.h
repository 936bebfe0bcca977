#pragma once

#include <QString>
#include <QtGlobal>

#include <vector>

// One parallel port the kernel knows: parportK is "LPT" K+1.
struct LptPortEntry
{
    QString name;        // "LPT1"
    int number = 0;      // 1 for parport0
    quint16 ioBase = 0;  // the data register's I/O address
};

// The ports under `procRoot` (normally /proc/sys/dev/parport), in the
// kernel's numbering, each with the first value of its "base-addr".
std::vector<LptPortEntry> ListParallelPorts(const QString& procRoot);

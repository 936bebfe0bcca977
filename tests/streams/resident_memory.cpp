#include "tests/streams/resident_memory.h"

#include <QFile>

#include <malloc.h>
#include <unistd.h>

qint64 ResidentMemory::CurrentBytes()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0;
    // "size resident shared ...", in pages.
    const QList<QByteArray> fields = statm.readAll().split(' ');
    return fields.size() > 1 ? fields[1].toLongLong() * ::sysconf(_SC_PAGESIZE) : 0;
}

qint64 ResidentMemory::PeakBytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong() * 1024;
    }
    return 0;
}

void ResidentMemory::ReleaseFreed()
{
    ::malloc_trim(0);
}

bool ResidentMemory::ResetPeak()
{
    // "5" resets the peak resident set size (proc(5), /proc/pid/clear_refs).
    QFile refs(QStringLiteral("/proc/self/clear_refs"));
    return refs.open(QIODevice::WriteOnly) && refs.write("5") == 1;
}

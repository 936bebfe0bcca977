#include "tests/fuzz/scratch_file.h"

#include "tests/fuzz/fuzz_check.h"

#include <QFile>

void ScratchFile::Write(QByteArrayView bytes) const
{
    QFile file(path_);
    FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    FUZZ_CHECK(file.write(bytes.data(), bytes.size()) == bytes.size());
}

QByteArray ScratchFile::Read() const
{
    QFile file(path_);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

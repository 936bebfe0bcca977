#include "tests/fuzz/scratch_file.h"

#include "tests/fuzz/fuzz_check.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

QString FolderTemplate()
{
    const QString memory = QStringLiteral("/dev/shm");
    const QString parent = QFileInfo(memory).isWritable() ? memory : QDir::tempPath();
    return parent + QStringLiteral("/serialnet-fuzz-XXXXXX");
}

}  // namespace

ScratchFile::ScratchFile(const char* name)
    : directory_(FolderTemplate()), path_(directory_.filePath(QString::fromLatin1(name)))
{
    FUZZ_CHECK(directory_.isValid());
}

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

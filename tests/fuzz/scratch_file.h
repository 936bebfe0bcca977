#pragma once

#include <QByteArrayView>
#include <QString>
#include <QTemporaryDir>

// A settings file in a private temporary folder, rewritten for every input:
// the INI module reads and writes files only. The folder is in memory where
// the system has one, since saving a settings file syncs it to disk.
class ScratchFile
{
public:
    explicit ScratchFile(const char* name);

    const QString& Path() const { return path_; }

    // Replaces the file's content.
    void Write(QByteArrayView bytes) const;

    // The file's content; empty when it is missing.
    QByteArray Read() const;

private:
    QTemporaryDir directory_;
    QString path_;
};

#pragma once

#include <QByteArrayView>
#include <QString>
#include <QTemporaryDir>

// A settings file in a private temporary folder, rewritten for every input:
// the INI module reads and writes files only.
class ScratchFile
{
public:
    explicit ScratchFile(const char* name) : path_(directory_.filePath(QString::fromLatin1(name))) {}

    const QString& Path() const { return path_; }

    // Replaces the file's content.
    void Write(QByteArrayView bytes) const;

    // The file's content; empty when it is missing.
    QByteArray Read() const;

private:
    QTemporaryDir directory_;
    QString path_;
};

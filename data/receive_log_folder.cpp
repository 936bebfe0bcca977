#include "data/receive_log_folder.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QString ReceiveLogFolder(const QString& executableFolder)
{
    const QFileInfo folder(executableFolder);
    if (folder.isDir() && folder.isWritable())
        return folder.absoluteFilePath();
    const QString fallback =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/serialnet");
    QDir().mkpath(fallback);
    return fallback;
}

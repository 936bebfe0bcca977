#pragma once

#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

// A throw-away tree laid out like /sys, /run/udev/data and /dev, for scans.
class FakeSysfs
{
public:
    QString Root() const { return dir_.path(); }
    QString Sys() const { return dir_.path() + QStringLiteral("/sys"); }
    QString UdevData() const { return dir_.path() + QStringLiteral("/udev"); }
    QString Dev() const { return dir_.path() + QStringLiteral("/dev"); }

    void WriteFile(const QString& relative, const QByteArray& content)
    {
        const QString path = dir_.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
    }

    // A symbolic link at `relative` pointing at the tree path `target`.
    void Link(const QString& relative, const QString& target)
    {
        const QString path = dir_.filePath(relative);
        QDir().mkpath(QFileInfo(path).absolutePath());
        QDir().mkpath(dir_.filePath(target));
        QFile::link(dir_.filePath(target), path);
    }

    // A tty class entry with a device link (empty: a terminal without device).
    void AddTty(const QString& name, const QString& deviceTarget, const QByteArray& majorMinor = {},
                const QByteArray& type = {})
    {
        const QString entry = QStringLiteral("sys/class/tty/") + name;
        QDir().mkpath(dir_.filePath(entry));
        if (!deviceTarget.isEmpty())
            Link(entry + QStringLiteral("/device"), deviceTarget);
        if (!majorMinor.isEmpty())
            WriteFile(entry + QStringLiteral("/dev"), majorMinor + '\n');
        if (!type.isEmpty())
            WriteFile(entry + QStringLiteral("/type"), type + '\n');
    }

private:
    QTemporaryDir dir_;
};

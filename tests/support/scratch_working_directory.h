#pragma once

#include <QDir>
#include <QTemporaryDir>

// Runs the owner in a fresh, empty working directory, where the program keeps
// config.ini and CommPort.ini, and goes back to the old one afterwards.
class ScratchWorkingDirectory
{
public:
    ScratchWorkingDirectory() : previous_(QDir::currentPath()) { QDir::setCurrent(directory_.path()); }
    ~ScratchWorkingDirectory() { QDir::setCurrent(previous_); }
    ScratchWorkingDirectory(const ScratchWorkingDirectory&) = delete;
    ScratchWorkingDirectory& operator=(const ScratchWorkingDirectory&) = delete;

    QString Path() const { return directory_.path(); }

private:
    QTemporaryDir directory_;
    QString previous_;
};

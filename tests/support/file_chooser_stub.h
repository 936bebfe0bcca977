#pragma once

#include "core/file_chooser.h"

#include <QStringList>

// Answers every file-open request with `answer` (empty: the user cancels)
// for the lifetime of the object, and records the filters asked for.
class FileChooserStub
{
public:
    FileChooserStub()
        : previous_(FileChooser::SetChooser([this](const QString& filter) {
              filters << filter;
              return answer;
          }))
    {
    }
    ~FileChooserStub() { FileChooser::SetChooser(std::move(previous_)); }
    FileChooserStub(const FileChooserStub&) = delete;
    FileChooserStub& operator=(const FileChooserStub&) = delete;

    QString answer;
    QStringList filters;

private:
    FileChooser::Chooser previous_;
};

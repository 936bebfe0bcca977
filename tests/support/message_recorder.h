#pragma once

#include "core/message_box.h"

#include <QStringList>

// Captures message boxes for the lifetime of the object instead of showing them.
class MessageRecorder
{
public:
    MessageRecorder()
        : previous_(MessageBox::SetPresenter([this](const QString& text) { messages << text; }))
    {
    }
    ~MessageRecorder() { MessageBox::SetPresenter(std::move(previous_)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    QStringList messages;

private:
    MessageBox::Presenter previous_;
};

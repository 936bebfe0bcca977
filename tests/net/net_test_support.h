#pragma once

#include "app/main_window.h"
#include "tests/net/fake_name_resolver.h"
#include "tests/net/channel_test_support.h"
#include "tests/support/message_recorder.h"
#include "tests/support/scratch_working_directory.h"

#include <QByteArray>
#include <QStringList>

#include <gtest/gtest.h>

// The main window as it starts (settings-file defaults, as on a first run),
// with a name resolver that never asks the system, and the display's lines
// without their time stamps.
class NetFormTest : public ::testing::Test
{
protected:
    NetFormTest();
    ~NetFormTest() override;

    QStringList Texts() const;
    // Lines added since `mark` (a LineCount taken earlier).
    QStringList TextsSince(qsizetype mark) const;
    qsizetype LineCount() const { return form.DisplayLines().LineCount(); }
    int CountLines(const QString& text) const { return static_cast<int>(Texts().count(text)); }
    bool HasLine(const QString& text) const { return Texts().contains(text); }
    // Waits until the display holds `text` `times` times.
    bool WaitForLine(const QString& text, int times = 1, int timeoutMs = 5000) const;

    MessageRecorder messages;
    FakeNameResolver resolver;
    ScratchWorkingDirectory workingDirectory;
    TForm1 form;
};

#pragma once

#include <QString>

#include <functional>

// The one way the program shows a message box. The application installs the
// modal dialog at start-up; until then, and in tests that do not record the
// texts, a message goes to standard error. Tests swap the presenter for a
// recorder so that nothing ever waits on a modal dialog.
namespace MessageBox {

using Presenter = std::function<void(const QString& text)>;

void Show(const QString& text);

// Replaces the presenter and returns the previous one.
Presenter SetPresenter(Presenter presenter);

}  // namespace MessageBox

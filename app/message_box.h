#pragma once

#include <QString>

#include <functional>

// The one way the program shows a message box. Tests swap the presenter for a
// recorder so that nothing ever waits on a modal dialog.
namespace MessageBox {

using Presenter = std::function<void(const QString& text)>;

void Show(const QString& text);

// Replaces the presenter and returns the previous one.
Presenter SetPresenter(Presenter presenter);

}  // namespace MessageBox

#pragma once

#include <QString>

#include <functional>

// The one way the program asks the user for a file to open. The application
// installs the modal dialog at start-up; until then, and in tests that do not
// install a chooser of their own, nothing is chosen, so no test ever waits on
// a modal dialog.
namespace FileChooser {

// The full path of the chosen file, empty when the user cancels. `filter` is
// a dialog filter such as "All files (*)".
using Chooser = std::function<QString(const QString& filter)>;

QString ChooseFileToOpen(const QString& filter);

// Replaces the chooser and returns the previous one.
Chooser SetChooser(Chooser chooser);

}  // namespace FileChooser

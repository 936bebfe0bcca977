#pragma once

// The message-box seam's presenter for the running program: a modal dialog
// over the active window.
namespace MessageBoxDialog {

void Install();

}  // namespace MessageBoxDialog

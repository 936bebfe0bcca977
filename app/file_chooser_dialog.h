#pragma once

// The file-chooser seam's dialog for the running program: a modal file-open
// dialog over the active window.
namespace FileChooserDialog {

void Install();

}  // namespace FileChooserDialog

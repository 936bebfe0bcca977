#include "core/file_chooser.h"

namespace FileChooser {
namespace {

Chooser& CurrentChooser()
{
    static Chooser chooser = [](const QString&) { return QString(); };
    return chooser;
}

}  // namespace

QString ChooseFileToOpen(const QString& filter)
{
    return CurrentChooser()(filter);
}

Chooser SetChooser(Chooser chooser)
{
    Chooser previous = std::move(CurrentChooser());
    CurrentChooser() = std::move(chooser);
    return previous;
}

}  // namespace FileChooser

#include "core/message_box.h"

#include <cstdio>

namespace MessageBox {
namespace {

void PrintToStandardError(const QString& text)
{
    std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData());
}

Presenter& CurrentPresenter()
{
    static Presenter presenter = PrintToStandardError;
    return presenter;
}

}  // namespace

void Show(const QString& text)
{
    CurrentPresenter()(text);
}

Presenter SetPresenter(Presenter presenter)
{
    Presenter previous = std::move(CurrentPresenter());
    CurrentPresenter() = std::move(presenter);
    return previous;
}

}  // namespace MessageBox

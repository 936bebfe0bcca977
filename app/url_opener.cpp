#include "app/url_opener.h"

#include <QDesktopServices>

namespace UrlOpener {

namespace {

Opener& Current()
{
    static Opener opener = [](const QUrl& url) { return QDesktopServices::openUrl(url); };
    return opener;
}

}  // namespace

bool Open(const QUrl& url)
{
    if (!url.isValid() || url.isEmpty())
        return false;
    return Current() ? Current()(url) : false;
}

Opener SetOpener(Opener opener)
{
    return std::exchange(Current(), std::move(opener));
}

}  // namespace UrlOpener

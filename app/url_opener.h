#pragma once

#include <QUrl>

#include <functional>

// The one way the program opens a web page in the desktop's browser. Tests
// swap the opener for a recorder, so that no test starts a browser.
namespace UrlOpener {

using Opener = std::function<bool(const QUrl& url)>;

// False when there is no page to open or the desktop refused it.
bool Open(const QUrl& url);

// Replaces the opener and returns the previous one.
Opener SetOpener(Opener opener);

}  // namespace UrlOpener

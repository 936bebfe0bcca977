#pragma once

#include "app/http_answer.h"

#include <QString>
#include <QUrl>

#include <optional>

class IniFile;

// Where the web links and the start-up requests go: the maker's web host
// (version check, manual, documentation) and the web host of the public TCP
// test service. Defaults are fixed when the program is built; section
// "SERIALNET" of config.ini may override them ("MAKER_HOST",
// "TCP_TEST_HOST", each "host" or "host:port") and switch the start-up
// requests off ("VERSION_CHECK=0").
struct WebSettings
{
    static inline const char* const kSection = "SERIALNET";
    static inline const char* const kVersionCheckKey = "VERSION_CHECK";
    static inline const char* const kMakerHostKey = "MAKER_HOST";
    static inline const char* const kTcpTestHostKey = "TCP_TEST_HOST";

    // A window built without settings makes no request at start-up.
    bool versionCheck = false;
    QString makerHost;
    QString tcpTestHost;

    // The built-in defaults, with the start-up requests on.
    static WebSettings Defaults();
    static WebSettings Load(const IniFile& ini);
    static WebSettings Load(const QString& path);

    // The version request, the manual page, the full-screen page, the
    // documentation index and the TCP test service's root page.
    std::optional<HttpAddress> VersionAddress(const QString& diskIdentifier) const;
    std::optional<HttpAddress> ManualAddress() const;
    QUrl ManualUrl() const;
    QUrl FullScreenUrl() const;
    QUrl DocsUrl() const;
    QUrl TcpTestUrl() const;
};

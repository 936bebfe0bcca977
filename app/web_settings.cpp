#include "app/web_settings.h"

#include "app/version_answer.h"
#include "core/ini_file.h"

#ifndef SERIALNET_MAKER_HOST
#define SERIALNET_MAKER_HOST "update.serialnet.invalid"
#endif
#ifndef SERIALNET_TCP_TEST_HOST
#define SERIALNET_TCP_TEST_HOST "tcptest.serialnet.invalid"
#endif
#ifndef SERIALNET_VERSION_CHECK
#define SERIALNET_VERSION_CHECK 1
#endif

namespace {

std::optional<HttpAddress> On(const QString& host, const QByteArray& path)
{
    std::optional<HttpAddress> address = HttpAddress::Parse(host.toLatin1());
    if (address)
        address->path = path;
    return address;
}

QUrl Page(const QString& host, const QByteArray& path)
{
    const std::optional<HttpAddress> address = On(host, path);
    if (!address)
        return {};
    return QUrl(QStringLiteral("http://") + QString::fromLatin1(address->HostHeader() + address->path));
}

}  // namespace

WebSettings WebSettings::Defaults()
{
    WebSettings settings;
    settings.versionCheck = SERIALNET_VERSION_CHECK != 0;
    settings.makerHost = QStringLiteral(SERIALNET_MAKER_HOST);
    settings.tcpTestHost = QStringLiteral(SERIALNET_TCP_TEST_HOST);
    return settings;
}

WebSettings WebSettings::Load(const IniFile& ini)
{
    WebSettings settings = Defaults();
    const QString section = QString::fromLatin1(kSection);
    const QString check = ini.ReadString(section, QString::fromLatin1(kVersionCheckKey), QString());
    if (!check.isEmpty())
        settings.versionCheck = check != QStringLiteral("0");
    settings.makerHost = ini.ReadString(section, QString::fromLatin1(kMakerHostKey), settings.makerHost);
    settings.tcpTestHost = ini.ReadString(section, QString::fromLatin1(kTcpTestHostKey), settings.tcpTestHost);
    return settings;
}

WebSettings WebSettings::Load(const QString& path)
{
    return Load(IniFile(path));
}

std::optional<HttpAddress> WebSettings::VersionAddress(const QString& diskIdentifier) const
{
    return On(makerHost, VersionAnswer::RequestPath(diskIdentifier));
}

std::optional<HttpAddress> WebSettings::ManualAddress() const
{
    return On(makerHost, "/Upgrade/travix/man/" + QByteArray::number(VersionAnswer::kRunningVersion));
}

QUrl WebSettings::ManualUrl() const
{
    return Page(makerHost, "/Upgrade/travix/man/" + QByteArray::number(VersionAnswer::kRunningVersion));
}

QUrl WebSettings::FullScreenUrl() const
{
    return Page(makerHost, "/Upgrade/travix/version/" + QByteArray::number(VersionAnswer::kRunningVersion));
}

QUrl WebSettings::DocsUrl() const
{
    return Page(makerHost, "/Docs/Index/from/travix/");
}

QUrl WebSettings::TcpTestUrl() const
{
    return Page(tcpTestHost, "/");
}

#include "net/name_resolver.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QPointer>

void NameResolver::LookupAddresses(const QString& name, QObject* context, AddressesDone done)
{
    QHostInfo::lookupHost(name, context, [done = std::move(done)](const QHostInfo& info) {
        done(info.error() == QHostInfo::NoError ? info.addresses() : QList<QHostAddress>());
    });
}

void NameResolver::LookupName(const QHostAddress& address, QObject* context, NameDone done)
{
    const QString dotted = address.toString();
    QHostInfo::lookupHost(dotted, context, [done = std::move(done), dotted](const QHostInfo& info) {
        // Without a name the lookup hands back the address text itself.
        const bool named = info.error() == QHostInfo::NoError && info.hostName() != dotted;
        done(named ? info.hostName() : QString());
    });
}

QList<QHostAddress> NameResolver::LookupAddressesWaiting(const QString& name)
{
    QEventLoop loop;
    QList<QHostAddress> result;
    bool answered = false;
    LookupAddresses(name, &loop, [&](const QList<QHostAddress>& addresses) {
        result = addresses;
        answered = true;
        loop.quit();
    });
    if (!answered)
        loop.exec();
    return result;
}

NameResolver& NameResolver::System()
{
    static NameResolver resolver;
    return resolver;
}

QHostAddress LiteralAddress(const QString& host)
{
    QHostAddress address;
    if (!address.setAddress(host))
        return QHostAddress();
    return address;
}

QHostAddress PreferredAddress(const QList<QHostAddress>& addresses)
{
    for (const QHostAddress& address : addresses) {
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
    }
    return addresses.isEmpty() ? QHostAddress() : addresses.first();
}

#pragma once

#include <QHostAddress>
#include <QList>
#include <QString>

#include <functional>

class QObject;

// Host-name lookups of the network channels. Answers always come later,
// through the event loop, so a slow name service never freezes the window.
// Tests install their own resolver, so no lookup of theirs leaves the machine.
class NameResolver
{
public:
    using AddressesDone = std::function<void(const QList<QHostAddress>& addresses)>;
    using NameDone = std::function<void(const QString& name)>;

    virtual ~NameResolver() = default;

    // The addresses of `name`, empty when it cannot be resolved. `done` is not
    // called once `context` is destroyed.
    virtual void LookupAddresses(const QString& name, QObject* context, AddressesDone done);
    // The name of `address` by reverse lookup, the empty text when it has none.
    virtual void LookupName(const QHostAddress& address, QObject* context, NameDone done);

    // Looks `name` up and handles events until the answer is in, for callers
    // that need the address before they return (the UDP sends).
    QList<QHostAddress> LookupAddressesWaiting(const QString& name);

    // The system's resolver, used unless a page is given another one.
    static NameResolver& System();
};

// The address a host text stands for by itself (dotted IPv4 or an IPv6
// literal), or a null address when it is a name that needs a lookup.
QHostAddress LiteralAddress(const QString& host);

// The address to use of a lookup's answer: the first IPv4 one, else the first.
QHostAddress PreferredAddress(const QList<QHostAddress>& addresses);

#pragma once

#include "net/name_resolver.h"

#include <QMap>
#include <QPointer>
#include <QStringList>
#include <QTimer>

// Answers lookups from its own tables, a turn of the event loop later, as a
// real name service would; nothing ever leaves the process. Records every
// question so tests can tell that none was asked.
class FakeNameResolver : public NameResolver
{
public:
    QMap<QString, QList<QHostAddress>> addresses;  // name -> addresses; absent: not found
    QMap<QString, QString> names;                  // dotted address -> name; absent: no name
    QStringList asked;

    void LookupAddresses(const QString& name, QObject* context, AddressesDone done) override
    {
        asked << name;
        const QList<QHostAddress> answer = addresses.value(name);
        QTimer::singleShot(0, context, [done = std::move(done), answer] { done(answer); });
    }

    void LookupName(const QHostAddress& address, QObject* context, NameDone done) override
    {
        asked << address.toString();
        const QString answer = names.value(address.toString());
        QTimer::singleShot(0, context, [done = std::move(done), answer] { done(answer); });
    }
};

#include "app/http_answer.h"

#include <QList>

#include <algorithm>
#include <utility>

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

QByteArrayView Trimmed(QByteArrayView text)
{
    while (!text.isEmpty() && IsBlank(text.front()))
        text = text.sliced(1);
    while (!text.isEmpty() && (IsBlank(text.back()) || text.back() == '\r'))
        text.chop(1);
    return text;
}

bool StartsWithNoCase(QByteArrayView text, QByteArrayView prefix)
{
    return text.size() >= prefix.size() && text.first(prefix.size()).compare(prefix, Qt::CaseInsensitive) == 0;
}

QByteArray SafePath(QByteArrayView path)
{
    QByteArray safe;
    for (char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte >= 0x7F)
            safe.append('%').append(QByteArray::number(byte, 16).rightJustified(2, '0').toUpper());
        else
            safe.append(c);
    }
    return safe.startsWith('/') ? safe : "/" + safe;
}

bool ValidHost(QByteArrayView host)
{
    if (host.isEmpty() || host.size() > 253)
        return false;
    if (host.front() == '[')
        return host.size() > 2 && host.back() == ']' &&
               std::all_of(host.begin() + 1, host.end() - 1, [](char c) {
                   return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F') || c == ':' ||
                          c == '.';
               });
    return std::all_of(host.begin(), host.end(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '.' || c == '-' ||
               c == '_';
    });
}

}  // namespace

std::optional<HttpAddress> HttpAddress::Parse(QByteArrayView text)
{
    text = Trimmed(text);
    if (StartsWithNoCase(text, "http://"))
        text = text.sliced(7);
    else if (text.indexOf("://") >= 0)
        return std::nullopt;
    const qsizetype slash = text.indexOf('/');
    QByteArrayView authority = slash < 0 ? text : text.first(slash);
    HttpAddress address;
    address.path = slash < 0 ? QByteArray("/") : SafePath(text.sliced(slash));
    const qsizetype colon = authority.lastIndexOf(':');
    const qsizetype bracket = authority.lastIndexOf(']');
    if (colon >= 0 && colon > bracket) {
        const QByteArrayView port = authority.sliced(colon + 1);
        if (port.isEmpty() || port.size() > 5 || !std::all_of(port.begin(), port.end(), [](char c) {
                return c >= '0' && c <= '9';
            }))
            return std::nullopt;
        const int number = port.toInt();
        if (number < 1 || number > 65535)
            return std::nullopt;
        address.port = quint16(number);
        authority = authority.first(colon);
    }
    if (!ValidHost(authority))
        return std::nullopt;
    address.host = QString::fromLatin1(authority);
    if (address.host.startsWith(QLatin1Char('[')))
        address.host = address.host.mid(1, address.host.size() - 2);
    return address;
}

std::optional<HttpAddress> HttpAddress::Redirect(const HttpAddress& current, QByteArrayView location)
{
    location = Trimmed(location);
    if (location.isEmpty())
        return std::nullopt;
    if (location.front() == '/' && !(location.size() > 1 && location[1] == '/')) {
        HttpAddress next = current;
        next.path = SafePath(location);
        return next;
    }
    if (location.indexOf('/') < 0 && location.indexOf(':') < 0) {
        HttpAddress next = current;
        next.path = SafePath(location);
        return next;
    }
    return Parse(location);
}

QByteArray HttpAddress::HostHeader() const
{
    QByteArray name = host.contains(QLatin1Char(':')) ? "[" + host.toLatin1() + "]" : host.toLatin1();
    return port == 80 ? name : name + ":" + QByteArray::number(port);
}

bool HttpAnswerParser::Feed(QByteArrayView bytes)
{
    if (overflow_)
        return false;
    while (!bytes.isEmpty() && state_ != State::kBody) {
        const qsizetype end = bytes.indexOf('\n');
        const QByteArrayView part = end < 0 ? bytes : bytes.first(end);
        headerBytes_ += part.size() + (end < 0 ? 0 : 1);
        if (headerBytes_ > kMaxHeaderBytes) {
            overflow_ = true;
            return false;
        }
        pending_.append(part);
        if (end < 0)
            return true;
        bytes = bytes.sliced(end + 1);
        if (pending_.endsWith('\r'))
            pending_.chop(1);
        const QByteArray line = std::exchange(pending_, QByteArray());
        Line(line);
    }
    if (body_.size() + bytes.size() > kMaxBodyBytes) {
        overflow_ = true;
        return false;
    }
    body_.append(bytes);
    return true;
}

void HttpAnswerParser::Line(QByteArrayView line)
{
    if (state_ == State::kStatusLine) {
        state_ = State::kHeaders;
        const QList<QByteArray> words = line.toByteArray().simplified().split(' ');
        if (words.size() >= 2) {
            const QByteArray& code = words[1];
            bool ok = !code.isEmpty() && std::all_of(code.begin(), code.end(), [](char c) {
                return c >= '0' && c <= '9';
            });
            const int value = ok ? code.toInt(&ok) : 0;
            status_ = ok ? value : 0;
        }
        return;
    }
    if (line.isEmpty()) {
        state_ = State::kBody;
        return;
    }
    if (StartsWithNoCase(line, "set-cookie:")) {
        const QByteArrayView value = Trimmed(line.sliced(11));
        // Only the name and value go back; the attributes after ";" are the
        // server's notes to itself.
        const qsizetype semicolon = value.indexOf(';');
        cookie_ = Trimmed(semicolon < 0 ? value : value.first(semicolon)).toByteArray();
    } else if (StartsWithNoCase(line, "location:")) {
        location_ = Trimmed(line.sliced(9)).toByteArray();
    }
}

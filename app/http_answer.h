#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// An HTTP address as the version check uses it: a host, a port (80 unless
// given) and a path.
struct HttpAddress
{
    QString host;
    quint16 port = 80;
    QByteArray path = "/";

    bool operator==(const HttpAddress&) const = default;

    // "http://host[:port]/path", the scheme optional; nothing for another
    // scheme, an empty or malformed host or a bad port. Bytes of the path a
    // request line cannot carry (blanks, controls, bytes above 127) are
    // written as %XX, so no answer can smuggle a line into a request.
    static std::optional<HttpAddress> Parse(QByteArrayView text);
    // Where a redirect's location leads from `current`: an address that
    // begins with "/", or holds no "/" at all, is on the same host.
    static std::optional<HttpAddress> Redirect(const HttpAddress& current, QByteArrayView location);

    // "host" or "host:port" as the Host header names it.
    QByteArray HostHeader() const;
};

// Reads an HTTP/1.0 answer as it arrives: the status line, the header lines
// up to the empty line (keeping the values of "Set-Cookie:" and "Location:"),
// then every byte of the body. Lines end with LF, a CR before it is dropped.
class HttpAnswerParser
{
public:
    static constexpr qsizetype kMaxHeaderBytes = 64 * 1024;
    static constexpr qsizetype kMaxBodyBytes = 4 * 1024 * 1024;

    // False once the answer is over a limit: the header part longer than
    // kMaxHeaderBytes or the body longer than kMaxBodyBytes.
    bool Feed(QByteArrayView bytes);

    bool Overflow() const { return overflow_; }
    bool HeadersDone() const { return state_ == State::kBody; }
    // The second blank-separated word of the status line; 0 when that is
    // not a number.
    int Status() const { return status_; }
    const QByteArray& Location() const { return location_; }
    const QByteArray& Cookie() const { return cookie_; }
    const QByteArray& Body() const { return body_; }

private:
    enum class State { kStatusLine, kHeaders, kBody };
    void Line(QByteArrayView line);

    State state_ = State::kStatusLine;
    bool overflow_ = false;
    qsizetype headerBytes_ = 0;
    QByteArray pending_;
    int status_ = 0;
    QByteArray location_;
    QByteArray cookie_;
    QByteArray body_;
};

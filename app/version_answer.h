#pragma once

#include "core/line_color.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

// What the display shows for the version service's answer body, and the
// identifier of the machine that goes into the request.
namespace VersionAnswer {

// The version this program is, in tenths (21 is V2.1).
constexpr int kRunningVersion = 21;
// The download address is at most this long; a longer one is cut.
constexpr int kMaxAddressLength = 127;

struct Line
{
    QString text;
    LineColor color;
    bool operator==(const Line&) const = default;
};

// The pattern "%d##%s" read as the C library reads it: blanks, a signed
// decimal number, "##" right after it, blanks, then the address up to the
// next blank, tab or line end.
struct Parsed
{
    bool matched = false;
    int number = 0;
    QByteArray address;
};
Parsed Parse(QByteArrayView body);

// The number shown as a version: divided by ten, rounded to two significant
// digits, one decimal (22 gives "2.2", 123 gives "12.0").
QString VersionText(int number);

// The lines for a body: none for an empty body or an older or equal version;
// "最新版本：V…" and "下载地址：…" for a newer one; the whole body otherwise.
QList<Line> Lines(QByteArrayView body, int runningVersion = kRunningVersion);

// "/Upgrade/travix/version/21/sn/" and the identifier, every byte outside
// the characters a path may carry written as %XX.
QByteArray RequestPath(const QString& diskIdentifier, int runningVersion = kRunningVersion);

// A disk's serial text made into the identifier: hex pairs (a blank counts
// as the digit 0) of printable characters decoded, text with a control
// character emptied, every two characters swapped (an odd last one dropped),
// blanks around removed. Six pairs encoding A B C D E F give BADCFE.
QString NormaliseDiskSerial(QByteArrayView raw);

}  // namespace VersionAnswer

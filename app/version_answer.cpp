#include "app/version_answer.h"

#include "core/text_codec.h"

#include <cmath>
#include <limits>

namespace VersionAnswer {

namespace {

// The C locale's white space, as scanf skips it.
bool IsSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

int HexValue(char c)
{
    if (c == ' ')
        return 0;
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

Parsed Parse(QByteArrayView body)
{
    Parsed parsed;
    qsizetype at = 0;
    const qsizetype size = body.size();
    while (at < size && IsSpace(body[at]))
        ++at;
    bool negative = false;
    if (at < size && (body[at] == '+' || body[at] == '-'))
        negative = body[at++] == '-';
    const qsizetype digits = at;
    qint64 number = 0;
    while (at < size && body[at] >= '0' && body[at] <= '9') {
        number = number * 10 + (body[at++] - '0');
        // A number no int holds does not match: it cannot be a version.
        if (number > qint64(std::numeric_limits<int>::max()) + 1)
            return parsed;
    }
    if (at == digits)
        return parsed;
    number = negative ? -number : number;
    if (number > std::numeric_limits<int>::max() || number < std::numeric_limits<int>::min())
        return parsed;
    if (size - at < 2 || body[at] != '#' || body[at + 1] != '#')
        return parsed;
    at += 2;
    while (at < size && IsSpace(body[at]))
        ++at;
    const qsizetype start = at;
    // A zero byte ends the text, as it ends a C string.
    while (at < size && !IsSpace(body[at]) && body[at] != '\0')
        ++at;
    if (at == start)
        return parsed;
    parsed.matched = true;
    parsed.number = int(number);
    parsed.address = body.sliced(start, std::min<qsizetype>(at - start, kMaxAddressLength)).toByteArray();
    return parsed;
}

QString VersionText(int number)
{
    double value = number / 10.0;
    if (value != 0) {
        const double scale = std::pow(10.0, std::floor(std::log10(std::fabs(value))) - 1);
        value = std::round(value / scale) * scale;
    }
    return QString::number(value, 'f', 1);
}

QList<Line> Lines(QByteArrayView body, int runningVersion)
{
    if (body.isEmpty())
        return {};
    const Parsed parsed = Parse(body);
    if (!parsed.matched)
        return {{TextCodec::Decode(body), kWindowText}};
    if (parsed.number <= runningVersion)
        return {};
    return {{QStringLiteral("最新版本：V") + VersionText(parsed.number), Rgb(1, 0, 0)},
            {QStringLiteral("下载地址：") + TextCodec::Decode(parsed.address), kWindowText}};
}

QByteArray RequestPath(const QString& diskIdentifier, int runningVersion)
{
    return "/Upgrade/travix/version/" + QByteArray::number(runningVersion) + "/sn/" +
           TextCodec::Encode(diskIdentifier).toPercentEncoding("-._~");
}

QString NormaliseDiskSerial(QByteArrayView raw)
{
    bool pairs = raw.size() % 2 == 0;
    for (qsizetype at = 0; pairs && at < raw.size(); at += 2) {
        const int high = HexValue(raw[at]);
        const int low = HexValue(raw[at + 1]);
        const int value = high * 16 + low;
        pairs = high >= 0 && low >= 0 && (value == 0 || (value >= 0x20 && value < 0x7F));
    }
    QByteArray text;
    // A zero pair ends the decoded text, as a zero ends a C string.
    for (qsizetype at = 0; pairs && at < raw.size(); at += 2) {
        const int value = HexValue(raw[at]) * 16 + HexValue(raw[at + 1]);
        if (value == 0)
            break;
        text.append(char(value));
    }
    if (!pairs) {
        text = raw.toByteArray();
        for (char c : text)
            if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
                text.clear();
                break;
            }
    }
    QByteArray swapped;
    swapped.reserve(text.size());
    for (qsizetype at = 0; at + 1 < text.size(); at += 2) {
        swapped.append(text[at + 1]);
        swapped.append(text[at]);
    }
    qsizetype begin = 0;
    qsizetype end = swapped.size();
    while (begin < end && swapped[begin] == ' ')
        ++begin;
    while (end > begin && swapped[end - 1] == ' ')
        --end;
    return TextCodec::Decode(QByteArrayView(swapped).sliced(begin, end - begin));
}

}  // namespace VersionAnswer

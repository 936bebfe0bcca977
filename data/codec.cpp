#include "data/codec.h"

#include <QDateTime>
#include <QRandomGenerator>
#include <QtEndian>

#include <array>

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";

void AppendHexByte(QByteArray& out, quint8 byte)
{
    out.append(kHexDigits[byte >> 4]);
    out.append(kHexDigits[byte & 0x0F]);
}

// Two digits and a blank per byte, appended to `out`; the shared loop of the
// plain, dump and spaced styles. This runs over every byte the relay forwards
// and every sent byte shown, and the log writes it again: each byte is one
// look-up and one store of four bytes, the fourth overwritten by the next.
void AppendHexSpaced(QByteArrayView bytes, QByteArray& out)
{
    static constexpr auto kSpacedPairs = [] {
        std::array<quint32, 256> pairs{};
        for (int i = 0; i < 256; ++i)
            pairs[i] = quint32(quint8(kHexDigits[i >> 4])) | quint32(quint8(kHexDigits[i & 0x0F])) << 8 |
                       quint32(' ') << 16;
        return pairs;
    }();
    const qsizetype used = out.size();
    out.resize(used + bytes.size() * 3 + 1);
    char* write = out.data() + used;
    for (char byte : bytes) {
        qToLittleEndian(kSpacedPairs[static_cast<quint8>(byte)], write);
        write += 3;
    }
    out.chop(1);
}

QByteArray HexSpaced(QByteArrayView bytes)
{
    QByteArray out;
    AppendHexSpaced(bytes, out);
    return out;
}

}  // namespace

int HexDigitValue(char c)
{
    // A table instead of three range tests: the relay parses every byte it
    // forwards back out of hex text.
    static constexpr auto kValues = [] {
        std::array<quint8, 256> values{};
        for (int i = 0; i < 256; ++i) {
            if (i >= '0' && i <= '9')
                values[i] = static_cast<quint8>(i - '0');
            else if (i >= 'A' && i <= 'F')
                values[i] = static_cast<quint8>(i - 'A' + 10);
            else if (i >= 'a' && i <= 'f')
                values[i] = static_cast<quint8>(i - 'a' + 10);
            else
                values[i] = 16;
        }
        return values;
    }();
    return kValues[static_cast<quint8>(c)];
}

QByteArray HexTextToBytes(QByteArrayView text)
{
    // Every byte takes two characters of the text, so this size is enough.
    QByteArray out(text.size() / 2 + 1, Qt::Uninitialized);
    char* write = out.data();
    const char* const data = text.data();
    const qsizetype size = text.size();
    qsizetype i = 0;
    while (i < size) {
        if (data[i] == ' ') {
            ++i;
            continue;
        }
        if (i == size - 1)
            break;
        const int value = 16 * HexDigitValue(data[i]) + HexDigitValue(data[i + 1]);
        *write++ = static_cast<char>(value % 256);
        i += 2;
    }
    out.truncate(write - out.constData());
    return out;
}

QByteArray BytesToHexPlain(QByteArrayView bytes)
{
    QByteArray out = HexSpaced(bytes);
    out.chop(1);
    return out;
}

QByteArray BytesToHexDump(QByteArrayView bytes)
{
    return HexSpaced(bytes);
}

QByteArray BytesToHexStyled(QByteArrayView bytes, int style)
{
    QByteArray out;
    AppendHexStyled(bytes, style, out);
    return out;
}

void AppendHexStyled(QByteArrayView bytes, int style, QByteArray& out)
{
    switch (style) {
    case kHexSpaced:
        AppendHexSpaced(bytes, out);
        return;
    case kHexPacked:
        out.reserve(out.size() + bytes.size() * 2);
        for (char byte : bytes)
            AppendHexByte(out, static_cast<quint8>(byte));
        return;
    case kHexC:
    case kHexSuffixH:
    case kHexBackslash:
        out.reserve(out.size() + bytes.size() * 5);
        for (char byte : bytes) {
            if (style == kHexC)
                out.append("0x");
            else if (style == kHexBackslash)
                out.append("\\x");
            AppendHexByte(out, static_cast<quint8>(byte));
            if (style == kHexSuffixH)
                out.append('h');
            out.append(',');
        }
        if (!bytes.isEmpty())
            out.chop(1);
        return;
    default:
        return;
    }
}

qsizetype HexStyledSize(qsizetype count, int style)
{
    // Characters per byte of each style; the comma styles lose their last comma.
    static constexpr qsizetype kWidths[] = {3, 2, 5, 4, 5};
    if (style < kHexSpaced || style > kHexBackslash || count == 0)
        return 0;
    const bool commas = style >= kHexC;
    return count * kWidths[style] - (commas ? 1 : 0);
}

QByteArray ExpandEscapes(QByteArrayView text)
{
    static const struct {
        const char* sequence;
        char replacement;
    } kSteps[] = {
        {"\\r", '\r'}, {"\\n", '\n'}, {"\\t", '\t'}, {"\\a", '\a'}, {"\\b", '\b'},
        {"\\f", '\f'}, {"\\v", '\v'}, {"\\\\", '\\'}, {"^z", '\x1A'}, {"^Z", '\x1A'},
    };
    QByteArray out = text.toByteArray();
    // Most payloads hold neither a backslash nor a caret: skip the ten passes.
    if (!out.contains('\\') && !out.contains('^'))
        return out;
    for (const auto& step : kSteps)
        out.replace(step.sequence, QByteArrayView(&step.replacement, 1));
    return out;
}

QString DateTimeText()
{
    return QDateTime::currentDateTime().toString(QStringLiteral("yyyy-M-d HH:mm:ss"));
}

QByteArray SendSourceText(int sendFromIndex)
{
    if (sendFromIndex == kSourceTime)
        return DateTimeText().toLatin1();
    if (sendFromIndex != kSourceRandom)
        return QByteArray();
    QRandomGenerator* random = QRandomGenerator::global();
    const int count = 1 + static_cast<int>(random->bounded(32768u) % 128);
    QByteArray out;
    for (int i = 0; i < count; ++i)
        out.append(QByteArray::number(random->bounded(32768u), 16).toUpper().rightJustified(2, '0'));
    return out;
}

QString TimeStampText()
{
    // Formatting a date, and even finding the local time (the time zone is
    // looked up again on every conversion), is costly next to the rest of a
    // display line, and the text changes only once a second: keep the last
    // one. The milliseconds are the same in every time zone.
    static qint64 cachedSecond = -1;
    static QString cachedText;
    const qint64 msecs = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = msecs / 1000;
    if (second != cachedSecond) {
        cachedSecond = second;
        cachedText = QDateTime::fromMSecsSinceEpoch(second * 1000).toString(QStringLiteral("yyyy-M-d HH:mm:ss"));
    }
    // "%s %04d毫秒 ", written by hand: this runs for every display line.
    const int milliseconds = static_cast<int>(msecs % 1000);
    const char16_t digits[] = {u' ', u'0', static_cast<char16_t>(u'0' + milliseconds / 100),
                               static_cast<char16_t>(u'0' + milliseconds / 10 % 10),
                               static_cast<char16_t>(u'0' + milliseconds % 10), u'毫', u'秒', u' '};
    QString stamp;
    stamp.reserve(cachedText.size() + std::size(digits));
    stamp.append(cachedText).append(QStringView(digits, std::size(digits)));
    return stamp;
}

QString DateText()
{
    return QDate::currentDate().toString(QStringLiteral("yyyy-M-d"));
}

#include "core/text_codec.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <iconv.h>

namespace TextCodec {
namespace {

// One iconv conversion descriptor per direction, opened once. Conversions
// run on the user-interface thread only; worker threads hand bytes over first.
class Converter
{
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (handle_ != reinterpret_cast<iconv_t>(-1))
            iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts all of `in`; a unit that cannot be converted is skipped
    // (`unitSize` bytes) and `replacement` is written in its place.
    QByteArray Run(QByteArrayView in, size_t unitSize, QByteArrayView replacement)
    {
        QByteArray out;
        out.resize(in.size() * 4 + 16);
        char* inPtr = const_cast<char*>(in.data());
        size_t inLeft = in.size();
        char* outPtr = out.data();
        size_t outLeft = out.size();
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        while (inLeft > 0) {
            if (iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<size_t>(-1))
                break;
            if (errno == E2BIG) {
                const qsizetype used = outPtr - out.data();
                out.resize(out.size() * 2);
                outPtr = out.data() + used;
                outLeft = out.size() - used;
                continue;
            }
            // EILSEQ or EINVAL (truncated sequence at the end): replace and skip.
            if (outLeft < static_cast<size_t>(replacement.size()) + 8) {
                const qsizetype used = outPtr - out.data();
                out.resize(out.size() * 2 + replacement.size());
                outPtr = out.data() + used;
                outLeft = out.size() - used;
            }
            memcpy(outPtr, replacement.constData(), replacement.size());
            outPtr += replacement.size();
            outLeft -= replacement.size();
            const size_t skip = std::min(unitSize, inLeft);
            inPtr += skip;
            inLeft -= skip;
        }
        out.resize(outPtr - out.data());
        return out;
    }

private:
    iconv_t handle_;
};

bool IsAscii(QByteArrayView bytes)
{
    for (char c : bytes)
        if (static_cast<unsigned char>(c) >= 0x80)
            return false;
    return true;
}

QChar VisibleControl(char16_t c)
{
    if (c == 0x7F)
        return QChar(0x2421);
    return QChar(static_cast<char16_t>(0x2400 + c));
}

}  // namespace

QString Decode(QByteArrayView bytes)
{
    if (IsAscii(bytes))
        return QString::fromLatin1(bytes.data(), bytes.size());
    static Converter toUtf16("UTF-16LE", "GB18030");
    static const QByteArray kReplacement = QByteArray("\xFD\xFF", 2);  // U+FFFD little-endian
    const QByteArray utf16 = toUtf16.Run(bytes, 1, kReplacement);
    return QString(reinterpret_cast<const QChar*>(utf16.constData()), utf16.size() / 2);
}

QByteArray Encode(const QString& text)
{
    bool ascii = true;
    for (QChar c : text)
        if (c.unicode() >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii)
        return text.toLatin1();
    static Converter fromUtf16("GB18030", "UTF-16LE");
    const QByteArrayView utf16(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
    // Unpaired surrogates are the only thing GB18030 cannot take; write "?".
    return fromUtf16.Run(utf16, 2, "?");
}

QString DecodeForDisplay(QByteArrayView bytes)
{
    // Mapped in place in one pass: only a CR LF pair shrinks the text.
    QString text = Decode(bytes);
    char16_t* chars = reinterpret_cast<char16_t*>(text.data());
    const qsizetype size = text.size();
    qsizetype out = 0;
    for (qsizetype i = 0; i < size; ++i) {
        char16_t c = chars[i];
        if (c >= 0x20 && c != 0x7F) {
            chars[out++] = c;
            continue;
        }
        if (c == '\r') {
            c = '\n';
            if (i + 1 < size && chars[i + 1] == '\n')
                ++i;
        } else if (c != '\n' && c != '\t') {
            c = VisibleControl(c).unicode();
        }
        chars[out++] = c;
    }
    text.truncate(out);
    return text;
}

}  // namespace TextCodec

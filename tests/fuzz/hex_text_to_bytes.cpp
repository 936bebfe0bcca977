// HexTextToBytes on any text, and the hex writers it must read back.

#include "data/codec.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdint>
#include <string>

namespace {

// The pair rule written out plainly, with its own digit test, as the oracle
// of the table-driven parser.
std::string PairwiseReference(const std::string& text)
{
    auto digit = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return 16;
    };
    std::string out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] == ' ') {
            ++i;
        } else if (i + 1 == text.size()) {
            break;
        } else {
            out.push_back(static_cast<char>((16 * digit(text[i]) + digit(text[i + 1])) % 256));
            i += 2;
        }
    }
    return out;
}

bool OnlyCharacters(const QByteArray& text, const char* allowed)
{
    for (char c : text) {
        if (!std::char_traits<char>::find(allowed, std::char_traits<char>::length(allowed), c))
            return false;
    }
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));

    // The input as typed hex text.
    const QByteArray parsed = HexTextToBytes(input);
    FUZZ_CHECK(parsed.toStdString() == PairwiseReference(input.toByteArray().toStdString()));
    FUZZ_CHECK(parsed.size() <= input.size() / 2);

    // The input as payload bytes: the relay and the echo parse their own hex
    // text back and must get every byte exactly.
    const qsizetype n = input.size();
    const QByteArray plain = BytesToHexPlain(input);
    FUZZ_CHECK(HexTextToBytes(plain) == input);
    FUZZ_CHECK(plain.size() == (n == 0 ? 0 : 3 * n - 1));
    const QByteArray dump = BytesToHexDump(input);
    FUZZ_CHECK(HexTextToBytes(dump) == input);
    FUZZ_CHECK(dump == (n == 0 ? QByteArray() : plain + ' '));

    // Display styles: upper-case digits, exact lengths, no trailing comma.
    const struct
    {
        int style;
        qsizetype perByte;
        const char* alphabet;
    } styles[] = {
        {kHexSpaced, 3, "0123456789ABCDEF "},
        {kHexPacked, 2, "0123456789ABCDEF"},
        {kHexC, 5, "0123456789ABCDEFx,"},
        {kHexSuffixH, 4, "0123456789ABCDEFh,"},
        {kHexBackslash, 5, "0123456789ABCDEF\\x,"},
    };
    for (const auto& s : styles) {
        const QByteArray styled = BytesToHexStyled(input, s.style);
        const bool dropsComma = s.style >= kHexC && n > 0;
        FUZZ_CHECK(styled.size() == s.perByte * n - (dropsComma ? 1 : 0));
        FUZZ_CHECK(OnlyCharacters(styled, s.alphabet));
        FUZZ_CHECK(!styled.endsWith(','));
    }
    FUZZ_CHECK(HexTextToBytes(BytesToHexStyled(input, kHexSpaced)) == input);
    FUZZ_CHECK(HexTextToBytes(BytesToHexStyled(input, kHexPacked)) == input);
    FUZZ_CHECK(BytesToHexStyled(input, -1).isEmpty());
    FUZZ_CHECK(BytesToHexStyled(input, 5).isEmpty());
    return 0;
}

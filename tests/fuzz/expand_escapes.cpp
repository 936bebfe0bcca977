// ExpandEscapes on any text typed into a send memo.

#include "data/codec.h"
#include "tests/fuzz/fuzz_check.h"

#include <cstdint>
#include <string>

namespace {

// Ten replace-all passes over a std::string, the oracle of the Qt version.
std::string TenPassesReference(std::string text)
{
    static const std::pair<std::string, char> kSteps[] = {
        {"\\r", '\r'}, {"\\n", '\n'}, {"\\t", '\t'}, {"\\a", '\a'}, {"\\b", '\b'},
        {"\\f", '\f'}, {"\\v", '\v'}, {"\\\\", '\\'}, {"^z", '\x1A'}, {"^Z", '\x1A'},
    };
    for (const auto& [sequence, replacement] : kSteps) {
        for (size_t at = text.find(sequence); at != std::string::npos; at = text.find(sequence, at + 1))
            text.replace(at, sequence.size(), 1, replacement);
    }
    return text;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArrayView input(reinterpret_cast<const char*>(data), qsizetype(size));
    const QByteArray expanded = ExpandEscapes(input);

    FUZZ_CHECK(expanded.toStdString() == TenPassesReference(input.toByteArray().toStdString()));
    // Every replacement shortens: two characters become one.
    FUZZ_CHECK(expanded.size() <= input.size());
    if (!input.contains('\\') && !input.contains('^'))
        FUZZ_CHECK(expanded == input);
    // The caret steps run last and their 0x1A cannot form a new pair.
    FUZZ_CHECK(!expanded.contains("^z") && !expanded.contains("^Z"));
    // Zero bytes are content: they survive, none appear.
    FUZZ_CHECK(expanded.count('\0') == input.count('\0'));
    return 0;
}

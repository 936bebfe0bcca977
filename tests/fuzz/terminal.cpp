// The terminal's decoders and screen model on any byte stream: the screen
// stays within its rows and columns, the caret on it and the scroll region
// inside it, whatever arrives; the escape recogniser's fast path completes
// what the descriptions' own scan completes, with the same bytes.

#include "terminal/tnr_decoder_utf8.h"
#include "terminal/tnr_terminal_screen.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/terminal/ansi_reference.h"

#include <cstdint>

namespace {

void CheckInvariants(const TnrTerminalScreen& screen, unsigned columns, unsigned rows)
{
    FUZZ_CHECK(screen.Columns() == columns && screen.Rows() == rows);
    FUZZ_CHECK(screen.CaretX() >= 0 && screen.CaretX() < static_cast<int>(columns));
    FUZZ_CHECK(screen.CaretY() >= 0 && screen.CaretY() < static_cast<int>(rows));
    FUZZ_CHECK(screen.ScrollTop() >= 1 && screen.ScrollBottom() <= static_cast<int>(rows));
    FUZZ_CHECK(screen.ScrollTop() <= screen.ScrollBottom());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    // Two bytes choose the screen and the decoding; the rest is the stream.
    const unsigned columns = 1 + data[0] % 100;
    const unsigned rows = 1 + (data[1] & 0x3F);
    const bool utf8 = (data[1] & 0x40) != 0;
    const QByteArrayView stream(reinterpret_cast<const char*>(data + 2), qsizetype(size - 2));

    // Made once and reset for every input: each holds 48 packet buffers.
    static TnrTerminalScreen screen;
    static QByteArray sent;
    static QByteArray telnet;
    sent.clear();
    telnet.clear();
    screen.OnSend = [](QByteArrayView bytes) { sent.append(bytes); };
    screen.OnTelnetSend = [](QByteArrayView bytes) { telnet.append(bytes); };
    screen.Utf8 = utf8;
    screen.SetTerminalSize(columns, rows);
    screen.Reset();
    CheckInvariants(screen, columns, rows);
    for (const char c : stream) {
        screen.TerminalInputChar(static_cast<unsigned char>(c));
        CheckInvariants(screen, columns, rows);
    }
    // Every cell can be read; the record of changed cells names cells of the screen.
    for (int row = 0; row < static_cast<int>(rows); ++row)
        for (int column = 0; column < static_cast<int>(columns); ++column)
            (void)screen.Cell(column, row);
    const TnrTerminalScreen::Damage damage = screen.TakeDamage();
    for (const int index : damage.cells)
        FUZZ_CHECK(index >= 0 && index < static_cast<int>(columns * rows));
    // Answers are whole: every report begins with ESC [.
    FUZZ_CHECK(sent.isEmpty() || sent.startsWith("\033["));

    static TnrAnsi fast;
    static TnrAnsi reference;
    static TnrAnsi fastSmall;
    static TnrAnsi referenceSmall;
    static const bool small = [] {
        for (int i = 0; i < fastSmall.DataPackets().Count(); ++i) {
            fastSmall.DataPackets().Item(i)->SetPacketLengthMax(512);
            referenceSmall.DataPackets().Item(i)->SetPacketLengthMax(512);
        }
        return true;
    }();
    (void)small;
    FUZZ_CHECK(CompareWithDescriptions(fast, reference, stream).isEmpty());
    FUZZ_CHECK(CompareWithDescriptions(fastSmall, referenceSmall, stream).isEmpty());

    // The UTF-8 decoder: ASCII always yields itself at once.
    TnrDecoderUTF8 decoder;
    for (const char c : stream) {
        char16_t character = 0;
        const bool yielded = decoder.Decode(static_cast<unsigned char>(c), character);
        if (static_cast<unsigned char>(c) < 0x80)
            FUZZ_CHECK(yielded && character == static_cast<unsigned char>(c));
    }
    return 0;
}

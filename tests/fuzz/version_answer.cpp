// The version service's answer: the status line, the header lines, the body
// and where a redirect leads, read from any bytes cut anywhere, and the lines
// the display shows for the body.

#include "app/http_answer.h"
#include "app/tnm_http.h"
#include "app/version_answer.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"

#include <cstdint>

namespace {

// A request can never carry a line the program did not write.
void CheckRequest(const HttpAddress& address, const QByteArray& cookie)
{
    const QByteArray request = TNMHTTP::RequestText(address, cookie);
    FUZZ_CHECK(request.endsWith("\r\n\r\n"));
    FUZZ_CHECK(request.count('\n') == request.count("\r\n"));
    FUZZ_CHECK(request.count('\r') == request.count("\r\n"));
    FUZZ_CHECK(request.count("\r\n") == 6 + (cookie.isEmpty() ? 0 : 1));
    FUZZ_CHECK(address.path.startsWith('/'));
    for (char c : address.path)
        FUZZ_CHECK(static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzInput input(data, size);
    const quint16 cut = input.TakeU16();
    const QByteArrayView answer = input.TakeRest();

    HttpAnswerParser whole;
    const bool wholeOk = whole.Feed(answer);
    HttpAnswerParser pieces;
    const qsizetype at = answer.isEmpty() ? 0 : cut % (answer.size() + 1);
    bool piecesOk = pieces.Feed(answer.first(at));
    piecesOk = pieces.Feed(answer.sliced(at)) && piecesOk;
    FUZZ_CHECK(wholeOk == piecesOk);
    if (!wholeOk)
        return 0;
    FUZZ_CHECK(whole.HeadersDone() == pieces.HeadersDone());
    FUZZ_CHECK(whole.Status() == pieces.Status());
    FUZZ_CHECK(whole.Location() == pieces.Location());
    FUZZ_CHECK(whole.Cookie() == pieces.Cookie());
    FUZZ_CHECK(whole.Body() == pieces.Body());
    FUZZ_CHECK(whole.Status() >= 0);
    FUZZ_CHECK(whole.Body().size() <= answer.size());
    if (whole.HeadersDone())
        FUZZ_CHECK(answer.endsWith(whole.Body()));

    HttpAddress current;
    current.host = QStringLiteral("127.0.0.1");
    current.port = 8080;
    if (const std::optional<HttpAddress> next = HttpAddress::Redirect(current, whole.Location()))
        CheckRequest(*next, whole.Cookie());
    if (const std::optional<HttpAddress> parsed = HttpAddress::Parse(answer.first(std::min<qsizetype>(answer.size(), 300))))
        CheckRequest(*parsed, QByteArray());

    const VersionAnswer::Parsed parsed = VersionAnswer::Parse(whole.Body());
    FUZZ_CHECK(parsed.address.size() <= VersionAnswer::kMaxAddressLength);
    const QList<VersionAnswer::Line> lines = VersionAnswer::Lines(whole.Body());
    if (whole.Body().isEmpty())
        FUZZ_CHECK(lines.isEmpty());
    else if (!parsed.matched)
        FUZZ_CHECK(lines.size() == 1 && lines[0].color == kWindowText);
    else if (parsed.number <= VersionAnswer::kRunningVersion)
        FUZZ_CHECK(lines.isEmpty());
    else {
        FUZZ_CHECK(lines.size() == 2);
        FUZZ_CHECK(lines[0].text.startsWith(QStringLiteral("最新版本：V")));
        FUZZ_CHECK(lines[0].color == Rgb(1, 0, 0));
        FUZZ_CHECK(lines[1].text.startsWith(QStringLiteral("下载地址：")));
        FUZZ_CHECK(!lines[1].text.contains(QLatin1Char('\n')));
    }
    // The identifier from the same bytes taken as a disk's serial text.
    const QString identifier = VersionAnswer::NormaliseDiskSerial(answer.first(std::min<qsizetype>(answer.size(), 64)));
    FUZZ_CHECK(identifier.size() <= 64);
    const QByteArray path = VersionAnswer::RequestPath(identifier);
    for (char c : path)
        FUZZ_CHECK(static_cast<unsigned char>(c) > 0x20 && static_cast<unsigned char>(c) < 0x7F);
    return 0;
}

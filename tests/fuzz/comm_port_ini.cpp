// CommPort.ini as port B reads and writes it: 26 keys of section COMCONFIG2,
// each read with the current setting as its default.

#include "core/ini_file.h"
#include "core/text_codec.h"
#include "serial/cn_rs232_config.h"
#include "serial/cn_rs232_ini.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/fuzz_input.h"
#include "tests/fuzz/scratch_file.h"

#include <cstdint>
#include <functional>
#include <optional>

namespace {

const QString kSection = QStringLiteral("COMCONFIG2");

// A numeric key, the width its field keeps (1 for a flag), and the field.
struct NumberKey
{
    const char* name;
    int bits;
    std::function<quint32(const CnRS232Settings&)> field;
};

const NumberKey kNumberKeys[] = {
    {"XoffChar", 8, [](const auto& s) { return s.CommConfig.XoffChar; }},
    {"ReplacedChar", 8, [](const auto& s) { return s.CommConfig.ReplacedChar; }},
    {"XonChar", 8, [](const auto& s) { return s.CommConfig.XonChar; }},
    {"Outx_CtsFlow", 1, [](const auto& s) { return s.CommConfig.Outx_CtsFlow; }},
    {"Outx_DsrFlow", 1, [](const auto& s) { return s.CommConfig.Outx_DsrFlow; }},
    {"ParityCheck", 1, [](const auto& s) { return s.CommConfig.ParityCheck; }},
    {"IgnoreNullChar", 1, [](const auto& s) { return s.CommConfig.IgnoreNullChar; }},
    {"Inx_XonXoffFlow", 1, [](const auto& s) { return s.CommConfig.Inx_XonXoffFlow; }},
    {"TxContinueOnXoff", 1, [](const auto& s) { return s.CommConfig.TxContinueOnXoff; }},
    {"ReplaceWhenParityError", 1, [](const auto& s) { return s.CommConfig.ReplaceWhenParityError; }},
    {"Outx_XonXoffFlow", 1, [](const auto& s) { return s.CommConfig.Outx_XonXoffFlow; }},
    {"DsrSensitivity", 1, [](const auto& s) { return s.CommConfig.DsrSensitivity; }},
    {"BaudRate", 32, [](const auto& s) { return s.CommConfig.BaudRate; }},
    {"ByteSize", 8, [](const auto& s) { return quint32(s.CommConfig.ByteSize); }},
    {"DtrControl", 8, [](const auto& s) { return quint32(s.CommConfig.DtrControl); }},
    {"Parity", 8, [](const auto& s) { return quint32(s.CommConfig.Parity); }},
    {"RtsControl", 8, [](const auto& s) { return quint32(s.CommConfig.RtsControl); }},
    {"StopBits", 8, [](const auto& s) { return quint32(s.CommConfig.StopBits); }},
    {"XoffLimit", 16, [](const auto& s) { return s.CommConfig.XoffLimit; }},
    {"XonLimit", 16, [](const auto& s) { return s.CommConfig.XonLimit; }},
    {"ReadTotalTimeoutConstant", 32, [](const auto& s) { return s.Timeouts.ReadTotalTimeoutConstant; }},
    {"ReadTotalTimeoutMultiplier", 32, [](const auto& s) { return s.Timeouts.ReadTotalTimeoutMultiplier; }},
    {"ReadIntervalTimeout", 32, [](const auto& s) { return s.Timeouts.ReadIntervalTimeout; }},
    {"WriteTotalTimeoutMultiplier", 32, [](const auto& s) { return s.Timeouts.WriteTotalTimeoutMultiplier; }},
    {"WriteTotalTimeoutConstant", 32, [](const auto& s) { return s.Timeouts.WriteTotalTimeoutConstant; }},
};

// The number rule read digit by digit, the oracle of ParseIniNumber: blanks
// around, an optional sign, "0x", "0X" or "$" for hexadecimal, one digit at
// least, and a magnitude within 32 bits.
std::optional<qint32> ReferenceNumber(const QString& value)
{
    QString text = value.trimmed();
    bool negative = false;
    if (text.startsWith(QLatin1Char('+')) || text.startsWith(QLatin1Char('-'))) {
        negative = text[0] == QLatin1Char('-');
        text.remove(0, 1);
    }
    quint64 base = 10;
    if (text.startsWith(QLatin1String("0x")) || text.startsWith(QLatin1String("0X"))) {
        base = 16;
        text.remove(0, 2);
    } else if (text.startsWith(QLatin1Char('$'))) {
        base = 16;
        text.remove(0, 1);
    }
    if (text.isEmpty())
        return std::nullopt;
    quint64 magnitude = 0;
    for (QChar c : text) {
        const char16_t u = c.unicode();
        quint64 digit;
        if (u >= '0' && u <= '9')
            digit = u - '0';
        else if (base == 16 && u >= 'a' && u <= 'f')
            digit = u - 'a' + 10;
        else if (base == 16 && u >= 'A' && u <= 'F')
            digit = u - 'A' + 10;
        else
            return std::nullopt;
        magnitude = magnitude * base + digit;
        if (magnitude > 0xFFFFFFFFu)
            return std::nullopt;
    }
    const auto bits = static_cast<quint32>(magnitude);
    return static_cast<qint32>(negative ? 0u - bits : bits);
}

quint32 Narrowed(qint32 value, int bits)
{
    if (bits == 1)
        return value != 0;
    return bits == 32 ? quint32(value) : quint32(value) & ((1u << bits) - 1);
}

// The name as it reads back after being written.
QString StoredName(const QString& name)
{
    qsizetype end = 0;
    while (end < name.size() && name[end] != QLatin1Char('\r') && name[end] != QLatin1Char('\n'))
        ++end;
    return name.left(end).trimmed().left(kCnRS232MaxTextLength);
}

CnRS232Settings SettingsFrom(FuzzInput& in)
{
    CnRS232Settings s;
    TCnRS232Config& c = s.CommConfig;
    c.BaudRate = in.TakeU32();
    c.ByteSize = static_cast<CnRS232::TByteSize>(in.TakeU8());
    c.Parity = static_cast<CnRS232::TParity>(in.TakeU8());
    c.StopBits = static_cast<CnRS232::TStopBits>(in.TakeU8());
    c.DtrControl = static_cast<CnRS232::TDtrControl>(in.TakeU8());
    c.RtsControl = static_cast<CnRS232::TRtsControl>(in.TakeU8());
    const quint16 flags = in.TakeU16();
    bool* const flagFields[] = {&c.ParityCheck,      &c.Outx_CtsFlow,     &c.Outx_DsrFlow,
                                &c.DsrSensitivity,   &c.TxContinueOnXoff, &c.Outx_XonXoffFlow,
                                &c.Inx_XonXoffFlow,  &c.ReplaceWhenParityError, &c.IgnoreNullChar};
    for (int i = 0; i < 9; ++i)
        *flagFields[i] = flags & (1u << i);
    c.XonLimit = in.TakeU16();
    c.XoffLimit = in.TakeU16();
    c.XonChar = in.TakeU8();
    c.XoffChar = in.TakeU8();
    c.ReplacedChar = in.TakeU8();
    s.Timeouts = {in.TakeU32(), in.TakeU32(), in.TakeU32(), in.TakeU32(), in.TakeU32()};
    s.CommName = TextCodec::Decode(in.TakeBytes(in.TakeU16()));
    return s;
}

CnRS232Settings WrittenAndReadBack(const ScratchFile& scratch, const CnRS232Settings& settings,
                                   const CnRS232Settings& defaults)
{
    IniFile ini(scratch.Path());
    WriteCnRS232Settings(ini, kSection, settings);
    FUZZ_CHECK(ini.Save());
    return ReadCnRS232Settings(IniFile(scratch.Path()), kSection, defaults);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ScratchFile scratch("CommPort.ini");
    const QByteArray original(reinterpret_cast<const char*>(data), qsizetype(size));

    // Start-up reads the file over port B's factory settings.
    scratch.Write(original);
    const CnRS232Settings factory = PortBFactorySettings();
    const IniFile ini(scratch.Path());
    const CnRS232Settings read = ReadCnRS232Settings(ini, kSection, factory);
    const QString nameText = ini.ReadString(kSection, QStringLiteral("CommName"), factory.CommName);
    FUZZ_CHECK(read.CommName == nameText.left(kCnRS232MaxTextLength));
    // A value is one line.
    FUZZ_CHECK(!nameText.contains(QLatin1Char('\r')) && !nameText.contains(QLatin1Char('\n')));
    for (const NumberKey& key : kNumberKeys) {
        const QString text = ini.ReadString(kSection, QString::fromLatin1(key.name), QString());
        const std::optional<qint32> number = ReferenceNumber(text);
        FUZZ_CHECK(ParseIniNumber(text) == number);
        FUZZ_CHECK(key.field(read) == (number ? Narrowed(*number, key.bits) : key.field(factory)));
    }
    // Out-of-range enumerations add nothing to the caption; nothing breaks.
    const QString caption = DescribeCnRS232(read.CommName, read.CommConfig);
    FUZZ_CHECK(caption.startsWith(read.CommName + QStringLiteral("  ") + QString::number(read.CommConfig.BaudRate)));

    // Confirming the dialog writes what was read; the next start reads it
    // whatever its defaults are.
    CnRS232Settings expected = read;
    expected.CommName = StoredName(read.CommName);
    CnRS232Settings other;
    other.CommName = QStringLiteral("COM1\r\n");
    FUZZ_CHECK(WrittenAndReadBack(scratch, read, other) == expected);

    // Any settings written over the file as it was read back the same.
    scratch.Write(original);
    FuzzInput in(data, size);
    CnRS232Settings any = SettingsFrom(in);
    expected = any;
    expected.CommName = StoredName(any.CommName);
    FUZZ_CHECK(WrittenAndReadBack(scratch, any, factory) == expected);
    return 0;
}

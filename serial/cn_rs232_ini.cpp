#include "serial/cn_rs232_ini.h"

#include "core/ini_file.h"

#include <type_traits>

namespace {

// Lists the 26 keys once, in the order of the file, for both directions.
template <typename Visitor>
void ForEachKey(CnRS232Settings& s, Visitor& v)
{
    TCnRS232Config& c = s.CommConfig;
    TCnRS232Timeouts& t = s.Timeouts;
    v.Text("CommName", s.CommName);
    v.Number("XoffChar", c.XoffChar);
    v.Number("ReplacedChar", c.ReplacedChar);
    v.Number("XonChar", c.XonChar);
    v.Flag("Outx_CtsFlow", c.Outx_CtsFlow);
    v.Flag("Outx_DsrFlow", c.Outx_DsrFlow);
    v.Flag("ParityCheck", c.ParityCheck);
    v.Flag("IgnoreNullChar", c.IgnoreNullChar);
    v.Flag("Inx_XonXoffFlow", c.Inx_XonXoffFlow);
    v.Flag("TxContinueOnXoff", c.TxContinueOnXoff);
    v.Flag("ReplaceWhenParityError", c.ReplaceWhenParityError);
    v.Flag("Outx_XonXoffFlow", c.Outx_XonXoffFlow);
    v.Flag("DsrSensitivity", c.DsrSensitivity);
    v.Number("BaudRate", c.BaudRate);
    v.Number("ByteSize", c.ByteSize);
    v.Number("DtrControl", c.DtrControl);
    v.Number("Parity", c.Parity);
    v.Number("RtsControl", c.RtsControl);
    v.Number("StopBits", c.StopBits);
    v.Number("XoffLimit", c.XoffLimit);
    v.Number("XonLimit", c.XonLimit);
    v.Number("ReadTotalTimeoutConstant", t.ReadTotalTimeoutConstant);
    v.Number("ReadTotalTimeoutMultiplier", t.ReadTotalTimeoutMultiplier);
    v.Number("ReadIntervalTimeout", t.ReadIntervalTimeout);
    v.Number("WriteTotalTimeoutMultiplier", t.WriteTotalTimeoutMultiplier);
    v.Number("WriteTotalTimeoutConstant", t.WriteTotalTimeoutConstant);
}

// The unsigned type a field is stored as (an enumeration's underlying type).
template <typename T>
using Stored = typename std::conditional_t<std::is_enum_v<T>, std::underlying_type<T>, std::type_identity<T>>::type;

class Reader
{
public:
    Reader(const IniFile& ini, const QString& section) : ini_(ini), section_(section) {}

    void Text(const char* key, QString& field)
    {
        field = ini_.ReadString(section_, QString::fromLatin1(key), field).left(kCnRS232MaxTextLength);
    }

    template <typename T>
    void Number(const char* key, T& field)
    {
        // Narrowing keeps the low bits, as the file's readers always did.
        if (const std::optional<qint32> value = Read(key))
            field = static_cast<T>(static_cast<Stored<T>>(*value));
    }

    void Flag(const char* key, bool& field)
    {
        if (const std::optional<qint32> value = Read(key))
            field = *value != 0;
    }

private:
    std::optional<qint32> Read(const char* key) const
    {
        return ParseIniNumber(ini_.ReadString(section_, QString::fromLatin1(key), QString()));
    }

    const IniFile& ini_;
    const QString& section_;
};

class Writer
{
public:
    Writer(IniFile& ini, const QString& section) : ini_(ini), section_(section) {}

    void Text(const char* key, const QString& field) { ini_.WriteString(section_, QString::fromLatin1(key), field); }

    template <typename T>
    void Number(const char* key, T field)
    {
        Text(key, QString::number(static_cast<Stored<T>>(field)));
    }

    void Flag(const char* key, bool field) { Text(key, field ? QStringLiteral("1") : QStringLiteral("0")); }

private:
    IniFile& ini_;
    const QString& section_;
};

bool IsDigitOfBase(QChar c, int base)
{
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        return true;
    const QChar lower = c.toLower();
    return base == 16 && lower >= QLatin1Char('a') && lower <= QLatin1Char('f');
}

}  // namespace

std::optional<qint32> ParseIniNumber(QStringView text)
{
    text = text.trimmed();
    bool negative = false;
    if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) {
        negative = text.front() == QLatin1Char('-');
        text = text.mid(1);
    }
    int base = 10;
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        base = 16;
        text = text.mid(2);
    } else if (text.startsWith(QLatin1Char('$'))) {
        base = 16;
        text = text.mid(1);
    }
    if (text.isEmpty())
        return std::nullopt;
    while (text.size() > 1 && text.front() == QLatin1Char('0'))
        text = text.mid(1);
    if (text.size() > 10)
        return std::nullopt;
    for (QChar c : text) {
        if (!IsDigitOfBase(c, base))
            return std::nullopt;
    }
    const quint64 magnitude = text.toULongLong(nullptr, base);
    if (magnitude > 0xFFFFFFFFu)
        return std::nullopt;
    const auto value = static_cast<quint32>(magnitude);
    return static_cast<qint32>(negative ? 0u - value : value);
}

CnRS232Settings ReadCnRS232Settings(const IniFile& ini, const QString& section, const CnRS232Settings& defaults)
{
    CnRS232Settings settings = defaults;
    Reader reader(ini, section);
    ForEachKey(settings, reader);
    return settings;
}

void WriteCnRS232Settings(IniFile& ini, const QString& section, const CnRS232Settings& settings)
{
    CnRS232Settings copy = settings;
    Writer writer(ini, section);
    ForEachKey(copy, writer);
}

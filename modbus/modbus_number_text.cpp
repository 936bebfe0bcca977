#include "modbus/modbus_number_text.h"

#include <limits>
#include <optional>
#include <stdexcept>

namespace {

std::optional<int> Parse(const QString& raw)
{
    QString text = raw.trimmed();
    bool negative = false;
    if (text.startsWith(QLatin1Char('-')) || text.startsWith(QLatin1Char('+'))) {
        negative = text.startsWith(QLatin1Char('-'));
        text.remove(0, 1);
    }
    int base = 10;
    if (text.startsWith(QLatin1Char('$'))) {
        text.remove(0, 1);
        base = 16;
    } else if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        text.remove(0, 2);
        base = 16;
    }
    // toLongLong accepts blanks and signs of its own; the digits alone are asked for here.
    for (QChar c : text)
        if (!(c.isDigit() || (base == 16 && QStringLiteral("abcdefABCDEF").contains(c))))
            return std::nullopt;
    bool ok = false;
    const qlonglong value = text.toLongLong(&ok, base);
    if (!ok)
        return std::nullopt;
    const qlonglong signedValue = negative ? -value : value;
    if (signedValue < std::numeric_limits<int>::min() || signedValue > std::numeric_limits<int>::max())
        return std::nullopt;
    return static_cast<int>(signedValue);
}

}  // namespace

int StrToInt(const QString& text)
{
    const std::optional<int> value = Parse(text);
    if (!value)
        throw std::runtime_error(QStringLiteral("'%1' is not a valid integer value").arg(text).toStdString());
    return *value;
}

int StrToIntDef(const QString& text, int fallback)
{
    return Parse(text).value_or(fallback);
}

// config.ini as the main window reads and writes it: the keys of section
// FORM with their defaults, the snippet table's Base64 rows, the numbers of
// the port choices and the hex display flag. The logic of FormSettings is
// followed without its widgets.

#include "app/form_keys.h"
#include "app/snippet_text.h"
#include "core/ini_file.h"
#include "core/text_codec.h"
#include "tests/fuzz/fuzz_check.h"
#include "tests/fuzz/scratch_file.h"

#include <cstdint>
#include <iterator>
#include <optional>

namespace {

using Rows = QList<QPair<QString, QString>>;

using FormKeys::Key;
using FormKeys::Kind;
using FormKeys::kKeys;
constexpr qsizetype kKeyCount = std::size(kKeys);

const QString kSection = QStringLiteral("FORM");

// What the window shows after loading: one text per key (numbers and the flag
// as the decimal they take), and the snippet rows when the file had any.
struct Loaded
{
    QStringList values;
    std::optional<Rows> snippets;
};

bool HasLineBreak(const QString& text)
{
    return text.contains(QLatin1Char('\r')) || text.contains(QLatin1Char('\n'));
}

Loaded Load(const IniFile& ini)
{
    Loaded loaded;
    for (const Key& key : kKeys) {
        const QString text = ini.ReadString(kSection, QString::fromLatin1(key.name), QString::fromLatin1(key.defaultValue));
        bool ok = false;
        const int number = text.toInt(&ok);
        const int integer = ok ? number : QString::fromLatin1(key.defaultValue).toInt();
        switch (key.kind) {
        case Kind::Memo:
        case Kind::Edit:
            // A value is one line.
            FUZZ_CHECK(!HasLineBreak(text));
            loaded.values << text;
            break;
        case Kind::Snippets:
            loaded.values << QString();
            if (!text.isEmpty()) {
                const Rows rows = SnippetText::RowsFromStored(text);
                // A restored table has at least 50 rows, each a key without
                // "=" and a value, neither holding a line break.
                FUZZ_CHECK(rows.size() >= 50);
                for (const auto& [rowKey, rowValue] : rows) {
                    FUZZ_CHECK(!rowKey.contains(QLatin1Char('=')));
                    FUZZ_CHECK(!HasLineBreak(rowKey) && !HasLineBreak(rowValue));
                }
                loaded.snippets = rows;
            }
            break;
        case Kind::ComboIndex:
            loaded.values << QString::number(integer);
            break;
        case Kind::Flag:
            loaded.values << QString::number(integer != 0 ? 1 : 0);
            break;
        }
    }
    return loaded;
}

void Save(IniFile& ini, const Loaded& loaded)
{
    for (qsizetype i = 0; i < kKeyCount; ++i) {
        const QString name = QString::fromLatin1(kKeys[i].name);
        if (kKeys[i].kind != Kind::Snippets)
            ini.WriteString(kSection, name, loaded.values[i]);
        else if (loaded.snippets)
            ini.WriteString(kSection, name, SnippetText::Encode(SnippetText::RowsToText(*loaded.snippets)));
    }
}

// The file's lines as the INI module sees them.
QStringList LinesOf(const QByteArray& bytes)
{
    QString text = TextCodec::Decode(bytes);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    QStringList lines = text.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// After one key was written the old lines are all there, in their order:
// one of them replaced, one line inserted, or a new section appended.
bool KeepsEveryOtherLine(const QStringList& before, const QStringList& after)
{
    qsizetype k = 0;
    while (k < before.size() && k < after.size() && before[k] == after[k])
        ++k;
    if (k == before.size())
        return after.size() - before.size() <= 3;
    if (after.size() == before.size())
        return after.mid(k + 1) == before.mid(k + 1);
    return after.size() == before.size() + 1 && after.mid(k + 1) == before.mid(k);
}

// A value is stored up to its first line break, without blanks around it.
QString StoredForm(const QString& value)
{
    qsizetype end = 0;
    while (end < value.size() && value[end] != QLatin1Char('\r') && value[end] != QLatin1Char('\n'))
        ++end;
    return value.left(end).trimmed();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const ScratchFile scratch("config.ini");
    const QByteArray original(reinterpret_cast<const char*>(data), qsizetype(size));

    // Closing the window writes back what starting it read: a second start
    // shows the same.
    scratch.Write(original);
    const Loaded loaded = Load(IniFile(scratch.Path()));
    {
        IniFile ini(scratch.Path());
        Save(ini, loaded);
        FUZZ_CHECK(ini.Save());
    }
    const Loaded reloaded = Load(IniFile(scratch.Path()));
    FUZZ_CHECK(reloaded.values == loaded.values);
    FUZZ_CHECK(reloaded.snippets == loaded.snippets);

    // One key written with any text, the file's own text for a memo of many
    // lines: it reads back as its first line, and every other line stays.
    scratch.Write(original);
    const Key& key = kKeys[size == 0 ? 0 : data[0] % kKeyCount];
    const QString name = QString::fromLatin1(key.name);
    const QString value = TextCodec::Decode(original);
    {
        IniFile ini(scratch.Path());
        ini.WriteString(kSection, name, value);
        FUZZ_CHECK(ini.ReadString(kSection, name, QString()) == StoredForm(value));
        FUZZ_CHECK(ini.Save());
    }
    const IniFile written(scratch.Path());
    FUZZ_CHECK(written.ReadString(kSection, name, QString()) == StoredForm(value));
    FUZZ_CHECK(KeepsEveryOtherLine(LinesOf(original), LinesOf(scratch.Read())));
    const Loaded after = Load(written);
    for (qsizetype i = 0; i < kKeyCount; ++i) {
        if (&kKeys[i] != &key)
            FUZZ_CHECK(after.values[i] == loaded.values[i]);
    }
    if (key.kind != Kind::Snippets)
        FUZZ_CHECK(after.snippets == loaded.snippets);
    return 0;
}

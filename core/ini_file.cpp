#include "core/ini_file.h"

#include "core/text_codec.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>
#include <optional>

namespace {

// The section name of a "[name]" line; nothing for any other line.
std::optional<QString> SectionName(const QString& line)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    return trimmed.mid(1, close < 0 ? -1 : close - 1).trimmed();
}

bool IsSectionLine(const QString& line)
{
    return SectionName(line).has_value();
}

bool SameName(const QString& a, const QString& b)
{
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

bool IsComment(const QString& line)
{
    return line.trimmed().startsWith(QLatin1Char(';'));
}

// Position of the '=' of a key line, or -1 for a comment or a line without one.
qsizetype EqualsPosition(const QString& line)
{
    return IsComment(line) ? -1 : line.indexOf(QLatin1Char('='));
}

}  // namespace

IniFile::IniFile(QString path) : path_(std::move(path))
{
    QFile file(path_);
    if (!file.open(QIODevice::ReadOnly))
        return;
    // CR LF, LF and a CR alone each end a line, so no value read holds a line
    // break that writing it back would cut.
    QString text = TextCodec::Decode(file.readAll());
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    text.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    lines_ = text.split(QLatin1Char('\n'));
    // The line break after the last line does not start another line.
    if (!lines_.isEmpty() && lines_.last().isEmpty())
        lines_.removeLast();
}

qsizetype IniFile::FindSection(const QString& section) const
{
    for (qsizetype i = 0; i < lines_.size(); ++i) {
        const std::optional<QString> name = SectionName(lines_[i]);
        if (name && SameName(*name, section))
            return i;
    }
    return -1;
}

qsizetype IniFile::FindKey(qsizetype header, const QString& key) const
{
    for (qsizetype i = header + 1; i < lines_.size() && !IsSectionLine(lines_[i]); ++i) {
        const qsizetype equals = EqualsPosition(lines_[i]);
        if (equals >= 0 && SameName(lines_[i].left(equals), key))
            return i;
    }
    return -1;
}

qsizetype IniFile::SectionEnd(qsizetype header) const
{
    qsizetype end = header + 1;
    for (qsizetype i = header + 1; i < lines_.size() && !IsSectionLine(lines_[i]); ++i) {
        if (!lines_[i].trimmed().isEmpty())
            end = i + 1;
    }
    return end;
}

QString IniFile::ReadString(const QString& section, const QString& key, const QString& defaultValue) const
{
    const qsizetype header = FindSection(section);
    if (header < 0)
        return defaultValue;
    const qsizetype line = FindKey(header, key);
    if (line < 0)
        return defaultValue;
    return lines_[line].mid(EqualsPosition(lines_[line]) + 1).trimmed();
}

void IniFile::WriteString(const QString& section, const QString& key, const QString& value)
{
    const auto lineBreak = std::find_if(value.begin(), value.end(),
                                        [](QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); });
    const QString keyLine = key.trimmed() + QLatin1Char('=') + value.left(lineBreak - value.begin());

    qsizetype header = FindSection(section);
    if (header < 0) {
        if (!lines_.isEmpty() && !lines_.last().trimmed().isEmpty())
            lines_.append(QString());
        lines_.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
        header = lines_.size() - 1;
    }
    const qsizetype line = FindKey(header, key);
    if (line >= 0)
        lines_[line] = keyLine;
    else
        lines_.insert(SectionEnd(header), keyLine);
}

void IniFile::RemoveKey(const QString& section, const QString& key)
{
    const qsizetype header = FindSection(section);
    if (header < 0)
        return;
    const qsizetype line = FindKey(header, key);
    if (line < 0)
        return;
    lines_.removeAt(line);
    if (SectionEnd(header) > header + 1)
        return;
    qsizetype end = header + 1;
    while (end < lines_.size() && !IsSectionLine(lines_[end]))
        ++end;
    // The blank line before the header parts the sections around it, if any.
    const bool last = end == lines_.size();
    const qsizetype begin = last && header > 0 && lines_[header - 1].trimmed().isEmpty() ? header - 1 : header;
    lines_.remove(begin, end - begin);
}

bool IniFile::Save() const
{
    QSaveFile file(path_);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QString text;
    for (const QString& line : lines_)
        text += line + QStringLiteral("\r\n");
    const QByteArray bytes = TextCodec::Encode(text);
    if (file.write(bytes) != bytes.size())
        return false;
    return file.commit();
}

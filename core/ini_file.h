#pragma once

#include <QString>
#include <QStringList>

// A settings file in the classic INI form: "[section]" lines and "key=value"
// lines, in the system code page; CR LF, LF and a CR alone each end a line.
// Section and key names match without regard to case; values are returned
// whole, whatever their length. Writing a key replaces its line or adds one
// and keeps every other line of the file as it was, comments and unknown keys
// included.
class IniFile
{
public:
    // Reads the file now; a missing or unreadable file reads as empty.
    explicit IniFile(QString path);

    const QString& Path() const { return path_; }

    // The value with blanks around it removed, or `defaultValue` when the
    // section or the key is missing.
    QString ReadString(const QString& section, const QString& key, const QString& defaultValue) const;

    // Sets the key in memory; Save() writes the file. A value is one line:
    // anything from its first line break on is dropped, so the file stays a
    // valid INI file.
    void WriteString(const QString& section, const QString& key, const QString& value);

    // Removes the key's line in memory. A section left without lines goes
    // too, so that writing a key and removing it again gives the old file.
    void RemoveKey(const QString& section, const QString& key);

    // Replaces the file with the current lines, CR LF after each. False when
    // the file cannot be written; the old file is then left untouched.
    bool Save() const;

private:
    // Index of the section's header line, or -1.
    qsizetype FindSection(const QString& section) const;
    // Index of the key's line inside the section starting after `header`, or -1.
    qsizetype FindKey(qsizetype header, const QString& key) const;
    // Index just past the section's last non-blank line.
    qsizetype SectionEnd(qsizetype header) const;

    QString path_;
    QStringList lines_;
};

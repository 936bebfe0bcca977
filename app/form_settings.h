#pragma once

#include <QString>

class TForm1;

// The main window's settings file, section "FORM": the send memos, the
// snippet table, the chosen serial ports, the network endpoints and the hex
// display option, kept between runs.
class FormSettings
{
public:
    // ".\config.ini": relative to the working directory, not the executable.
    static inline const char* const kFileName = "config.ini";
    static inline const char* const kSection = "FORM";

    explicit FormSettings(TForm1& form, QString path = QString::fromLatin1(kFileName));

    // Every key is applied, with its default when it is missing or unreadable.
    void Load();
    // Writes every key; an unwritable file loses the settings silently.
    void Save();

private:
    TForm1& form_;
    QString path_;
};

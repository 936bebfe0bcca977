#pragma once

#include <QString>

class IniFile;
class TForm1;

// The main window's settings file, section "FORM": the send memos, the
// snippet table, the chosen serial ports, the network endpoints and the hex
// display option, kept between runs. Section "SERIALNET" keeps what "FORM"
// has no key for: the whole text of a memo that one line cannot hold, a
// device path typed for a serial port, the payload text encoding. It holds
// only what differs from the defaults, and is left out when nothing does.
class FormSettings
{
public:
    // ".\config.ini": relative to the working directory, not the executable.
    static inline const char* const kFileName = "config.ini";
    static inline const char* const kSection = "FORM";
    static inline const char* const kOwnSection = "SERIALNET";
    // Keys of our own section besides the memos' (which keep their "FORM" names).
    static inline const char* const kPortADeviceKey = "COMA_DEVICE";
    static inline const char* const kPortBDeviceKey = "COMB_DEVICE";
    static inline const char* const kTextEncodingKey = "TEXT_ENCODING";

    explicit FormSettings(TForm1& form, QString path = QString::fromLatin1(kFileName));

    // Every key is applied, with its default when it is missing or unreadable.
    void Load();
    // Writes every key; an unwritable file loses the settings silently.
    void Save();

private:
    // Typed device paths and the text encoding, after the "FORM" keys.
    void LoadOwnKeys(const IniFile& ini);
    void SaveOwnKeys(IniFile& ini);

    TForm1& form_;
    QString path_;
};

#pragma once

#include "serial/cn_rs232_config.h"

#include <QString>
#include <QStringView>

#include <optional>

class IniFile;

// The serial component's settings in an INI section: 26 keys, written in a
// fixed order, read each with the current value as its default.

// A text value is read up to this many characters.
constexpr qsizetype kCnRS232MaxTextLength = 2047;

// A number as the settings file holds it: optionally signed, hexadecimal after
// "0x", "0X" or "$", decimal otherwise; 32 bits wide, so that unsigned fields
// such as the baud rate read back whole (4294967295 and 0xFFFFFFFF both read
// as -1). Anything else is no number.
std::optional<qint32> ParseIniNumber(QStringView text);

// Character codes and enumeration indexes keep their low 8 bits, the two
// limits their low 16 bits; a value that is no number leaves the default.
CnRS232Settings ReadCnRS232Settings(const IniFile& ini, const QString& section, const CnRS232Settings& defaults);

// Sets the 26 keys in `ini`; the caller saves the file.
void WriteCnRS232Settings(IniFile& ini, const QString& section, const CnRS232Settings& settings);

#include "serial/cn_rs232_ini.h"
#include "core/ini_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString kSection = QStringLiteral("COMCONFIG2");

TEST(ParseIniNumber, ReadsDecimalAndHexadecimalFormsAndRefusesTheRest)
{
    struct Row
    {
        const char* behaviour;
        const char* text;
        std::optional<qint32> expected;
    };
    const Row rows[] = {
        {"decimal", "19200", 19200},
        {"0x prefix is hexadecimal", "0x2580", 9600},
        {"0X prefix is hexadecimal", "0X2580", 9600},
        {"dollar prefix is hexadecimal", "$2580", 9600},
        {"hex digits of either case", "0xaBcD", 0xABCD},
        {"signed decimal", "-5", -5},
        {"plus sign", "+7", 7},
        {"blanks around are ignored", "  42  ", 42},
        {"leading zeros", "000000000000019200", 19200},
        {"largest signed decimal", "2147483647", 2147483647},
        {"smallest signed decimal", "-2147483648", std::numeric_limits<qint32>::min()},
        {"unsigned 32-bit decimal wraps to negative", "4294967295", -1},
        {"32-bit hexadecimal wraps to negative", "0xFFFFFFFF", -1},
        {"decimal beyond 32 bits", "4294967296", std::nullopt},
        {"hexadecimal beyond 32 bits", "0x100000000", std::nullopt},
        {"empty", "", std::nullopt},
        {"letters", "abc", std::nullopt},
        {"digits then letters", "12ab", std::nullopt},
        {"hex digits without prefix", "2580h", std::nullopt},
        {"prefix alone", "0x", std::nullopt},
        {"inner blank", "1 2", std::nullopt},
        {"decimal point", "1.5", std::nullopt},
    };
    for (const Row& row : rows)
        EXPECT_EQ(ParseIniNumber(QString::fromUtf8(row.text)), row.expected) << row.behaviour;
}

class CnRS232IniTest : public testing::Test
{
protected:
    QString WriteFile(const QByteArray& bytes)
    {
        const QString path = dir_.filePath(QStringLiteral("CommPort.ini"));
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
        return path;
    }

    CnRS232Settings ReadBack(const QByteArray& lines)
    {
        return ReadCnRS232Settings(IniFile(WriteFile("[COMCONFIG2]\r\n" + lines)), kSection, PortBFactorySettings());
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

    QTemporaryDir dir_;
};

TEST_F(CnRS232IniTest, WritesAll26KeysInTheirOrder)
{
    CnRS232Settings settings = PortBFactorySettings();
    settings.CommName = QStringLiteral("/dev/ttyUSB0");
    const QString path = dir_.filePath(QStringLiteral("CommPort.ini"));
    IniFile ini(path);
    WriteCnRS232Settings(ini, kSection, settings);
    ASSERT_TRUE(ini.Save());

    EXPECT_EQ(ReadFile(path),
              "[COMCONFIG2]\r\n"
              "CommName=/dev/ttyUSB0\r\n"
              "XoffChar=19\r\n"
              "ReplacedChar=0\r\n"
              "XonChar=17\r\n"
              "Outx_CtsFlow=0\r\n"
              "Outx_DsrFlow=0\r\n"
              "ParityCheck=0\r\n"
              "IgnoreNullChar=0\r\n"
              "Inx_XonXoffFlow=0\r\n"
              "TxContinueOnXoff=0\r\n"
              "ReplaceWhenParityError=0\r\n"
              "Outx_XonXoffFlow=0\r\n"
              "DsrSensitivity=0\r\n"
              "BaudRate=19200\r\n"
              "ByteSize=3\r\n"
              "DtrControl=1\r\n"
              "Parity=0\r\n"
              "RtsControl=1\r\n"
              "StopBits=0\r\n"
              "XoffLimit=500\r\n"
              "XonLimit=500\r\n"
              "ReadTotalTimeoutConstant=0\r\n"
              "ReadTotalTimeoutMultiplier=0\r\n"
              "ReadIntervalTimeout=120\r\n"
              "WriteTotalTimeoutMultiplier=0\r\n"
              "WriteTotalTimeoutConstant=0\r\n");
}

TEST_F(CnRS232IniTest, EveryFieldSurvivesTheRoundTrip)
{
    CnRS232Settings settings;
    settings.CommName = QStringLiteral("/dev/pts/7");
    TCnRS232Config& c = settings.CommConfig;
    c.BaudRate = 4000000000u;  // above the signed range: written and read as the same 32 bits
    c.ByteSize = CnRS232::TByteSize::_7;
    c.Parity = CnRS232::TParity::paSpace;
    c.StopBits = CnRS232::TStopBits::_2;
    c.ParityCheck = c.Outx_CtsFlow = c.Outx_DsrFlow = c.DsrSensitivity = c.TxContinueOnXoff = true;
    c.Outx_XonXoffFlow = c.Inx_XonXoffFlow = c.ReplaceWhenParityError = c.IgnoreNullChar = true;
    c.DtrControl = CnRS232::TDtrControl::DtrHandshake;
    c.RtsControl = CnRS232::TRtsControl::RtsTransmissionAvailable;
    c.XonLimit = 65535;
    c.XoffLimit = 1;
    c.XonChar = 255;
    c.XoffChar = 1;
    c.ReplacedChar = 63;
    settings.Timeouts = {1, 2, 3, 4, 5};

    const QString path = dir_.filePath(QStringLiteral("CommPort.ini"));
    IniFile ini(path);
    WriteCnRS232Settings(ini, kSection, settings);
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadCnRS232Settings(IniFile(path), kSection, PortBFactorySettings()), settings);
}

TEST_F(CnRS232IniTest, ReadsByTheFileRules)
{
    // Each row changes one key of the factory settings.
    struct Row
    {
        const char* behaviour;
        const char* lines;
        std::function<void(CnRS232Settings&)> expect;
    };
    const Row rows[] = {
        {"hexadecimal baud rate", "BaudRate=0x2580", [](auto& s) { s.CommConfig.BaudRate = 9600; }},
        {"ByteSize 3 is eight data bits", "ByteSize=3", [](auto& s) { s.CommConfig.ByteSize = CnRS232::TByteSize::_8; }},
        {"StopBits 1 is one and a half", "StopBits=1", [](auto& s) { s.CommConfig.StopBits = CnRS232::TStopBits::_1_5; }},
        {"value that is no number keeps the default", "BaudRate=fast", [](auto&) {}},
        {"empty value keeps the default", "XonLimit=", [](auto&) {}},
        {"flag is true for any number but 0", "ParityCheck=2", [](auto& s) { s.CommConfig.ParityCheck = true; }},
        {"flag 0 is false", "IgnoreNullChar=0", [](auto&) {}},
        {"flag that is no number keeps the default", "Outx_CtsFlow=yes", [](auto&) {}},
        {"character code keeps its low 8 bits", "XonChar=273", [](auto& s) { s.CommConfig.XonChar = 17; }},
        {"enumeration index keeps its low 8 bits", "Parity=258", [](auto& s) { s.CommConfig.Parity = CnRS232::TParity::paEven; }},
        {"out-of-range index is passed on", "RtsControl=7",
         [](auto& s) { s.CommConfig.RtsControl = static_cast<CnRS232::TRtsControl>(7); }},
        {"limit keeps its low 16 bits", "XoffLimit=65537", [](auto& s) { s.CommConfig.XoffLimit = 1; }},
        {"negative limit wraps", "XonLimit=-1", [](auto& s) { s.CommConfig.XonLimit = 65535; }},
        {"time-out in decimal", "ReadIntervalTimeout=250", [](auto& s) { s.Timeouts.ReadIntervalTimeout = 250; }},
        {"time-out in hexadecimal", "WriteTotalTimeoutConstant=$10",
         [](auto& s) { s.Timeouts.WriteTotalTimeoutConstant = 16; }},
        {"device path", "CommName=/dev/ttyACM1", [](auto& s) { s.CommName = QStringLiteral("/dev/ttyACM1"); }},
        {"key names match without regard to case", "baudrate=115200",
         [](auto& s) { s.CommConfig.BaudRate = 115200; }},
    };
    for (const Row& row : rows) {
        CnRS232Settings expected = PortBFactorySettings();
        row.expect(expected);
        EXPECT_EQ(ReadBack(row.lines), expected) << row.behaviour;
    }
}

TEST_F(CnRS232IniTest, TextIsReadUpTo2047Characters)
{
    const QByteArray longName(3000, 'n');
    EXPECT_EQ(ReadBack("CommName=" + longName).CommName, QString(2047, QLatin1Char('n')));
}

TEST_F(CnRS232IniTest, MissingFileOrSectionKeepsEveryCurrentValue)
{
    CnRS232Settings current = PortBFactorySettings();
    current.CommConfig.BaudRate = 57600;
    current.CommName = QStringLiteral("/dev/ttyUSB3");
    EXPECT_EQ(ReadCnRS232Settings(IniFile(dir_.filePath(QStringLiteral("absent.ini"))), kSection, current), current);
    EXPECT_EQ(ReadCnRS232Settings(IniFile(WriteFile("[OTHER]\r\nBaudRate=9600\r\n")), kSection, current), current);
}

}  // namespace

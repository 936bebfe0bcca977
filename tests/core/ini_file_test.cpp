#include "core/ini_file.h"
#include "core/text_codec.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class IniFileTest : public testing::Test
{
protected:
    QString PathOf(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

    QString WriteFile(const QByteArray& bytes) const
    {
        const QString path = PathOf("settings.ini");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return path;
    }

    static QByteArray ReadFile(const QString& path)
    {
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::ReadOnly));
        return file.readAll();
    }

private:
    QTemporaryDir dir_;
};

struct ReadRow
{
    const char* behaviour;
    const char* file;
    const char* section;
    const char* key;
    const char* expected;  // "<default>" when the default comes back
};

TEST_F(IniFileTest, ReadsValuesByTheRulesOfTheFormat)
{
    const ReadRow rows[] = {
        {"key present gives its value", "[S]\r\nA=1\r\n", "S", "A", "1"},
        {"missing key gives the default", "[S]\r\nA=1\r\n", "S", "B", "<default>"},
        {"missing section gives the default", "[S]\r\nA=1\r\n", "T", "A", "<default>"},
        {"names match without regard to case", "[comconfig2]\r\nbaudrate=9600\r\n", "COMCONFIG2", "BaudRate",
         "9600"},
        {"blanks around names and value are removed", "  [ S ]  \r\n  A  =  x y  \r\n", "S", "A", "x y"},
        {"key of another section is not found", "[T]\r\nA=1\r\n[S]\r\nB=2\r\n", "S", "A", "<default>"},
        {"key after another section header belongs to it", "[S]\r\nB=2\r\n[T]\r\nA=1\r\n", "T", "A", "1"},
        {"comment line is no key", "[S]\r\n;A=1\r\n", "S", "A", "<default>"},
        {"line feed alone ends a line too", "[S]\nA=1\nB=2\n", "S", "B", "2"},
        {"carriage return alone ends a line too", "[S]\rA=1\rB=2\r", "S", "B", "2"},
        {"value ends at a carriage return alone", "[S]\r\nA=a\rB=2\r\n", "S", "A", "a"},
        {"last line without line end is read", "[S]\r\nA=1", "S", "A", "1"},
        {"empty value is empty, not the default", "[S]\r\nA=\r\n", "S", "A", ""},
        {"value keeps further equals signs", "[S]\r\nA=b=c\r\n", "S", "A", "b=c"},
        {"first of two equal keys wins", "[S]\r\nA=1\r\nA=2\r\n", "S", "A", "1"},
        {"line without equals sign is skipped", "[S]\r\njunk\r\nA=1\r\n", "S", "A", "1"},
        {"key before any section belongs to none", "A=1\r\n[S]\r\n", "S", "A", "<default>"},
    };
    for (const ReadRow& row : rows) {
        const IniFile ini(WriteFile(row.file));
        EXPECT_EQ(ini.ReadString(QString::fromUtf8(row.section), QString::fromUtf8(row.key),
                                 QStringLiteral("<default>")),
                  QString::fromUtf8(row.expected))
            << row.behaviour;
    }
}

TEST_F(IniFileTest, MissingFileReadsAsEmpty)
{
    const IniFile ini(PathOf("absent.ini"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("d")), QStringLiteral("d"));
}

TEST_F(IniFileTest, LongValueIsReadWhole)
{
    const QByteArray value(5000, 'x');
    const IniFile ini(WriteFile("[FORM]\r\nUSERSTR=" + value + "\r\nNEXT=1\r\n"));
    EXPECT_EQ(ini.ReadString(QStringLiteral("FORM"), QStringLiteral("USERSTR"), QString()),
              QString::fromLatin1(value));
}

TEST_F(IniFileTest, TextIsInTheSystemCodePageBothWays)
{
    const QString name = QStringLiteral("串口B");
    const QString path = WriteFile("[S]\r\nA=" + TextCodec::Encode(name) + "\r\n");
    IniFile ini(path);
    EXPECT_EQ(ini.ReadString(QStringLiteral("S"), QStringLiteral("A"), QString()), name);

    ini.WriteString(QStringLiteral("S"), QStringLiteral("B"), QStringLiteral("接收"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(path), "[S]\r\nA=" + TextCodec::Encode(name) + "\r\nB=" +
                                  TextCodec::Encode(QStringLiteral("接收")) + "\r\n");
}

TEST_F(IniFileTest, WritingReplacesOrAddsKeysAndKeepsEveryOtherLine)
{
    const QString path = WriteFile(
        "; kept comment\r\n"
        "[Other]\r\n"
        "A=other\r\n"
        "\r\n"
        "[S]\r\n"
        "Unknown = kept as typed\r\n"
        "a=old\r\n"
        "\r\n"
        "[Last]\r\n"
        "Z=1\r\n");
    IniFile ini(path);
    ini.WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("new"));
    ini.WriteString(QStringLiteral("s"), QStringLiteral("B"), QStringLiteral("added"));
    ini.WriteString(QStringLiteral("Fresh"), QStringLiteral("K"), QStringLiteral("v"));
    ASSERT_TRUE(ini.Save());

    EXPECT_EQ(ReadFile(path),
              "; kept comment\r\n"
              "[Other]\r\n"
              "A=other\r\n"
              "\r\n"
              "[S]\r\n"
              "Unknown = kept as typed\r\n"
              "A=new\r\n"
              "B=added\r\n"
              "\r\n"
              "[Last]\r\n"
              "Z=1\r\n"
              "\r\n"
              "[Fresh]\r\n"
              "K=v\r\n");
}

TEST_F(IniFileTest, WritingToAMissingFileCreatesIt)
{
    const QString path = PathOf("new.ini");
    IniFile ini(path);
    ini.WriteString(QStringLiteral("COMCONFIG2"), QStringLiteral("BaudRate"), QStringLiteral("19200"));
    ini.WriteString(QStringLiteral("COMCONFIG2"), QStringLiteral("ByteSize"), QStringLiteral("3"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(path), "[COMCONFIG2]\r\nBaudRate=19200\r\nByteSize=3\r\n");
    EXPECT_EQ(IniFile(path).ReadString(QStringLiteral("COMCONFIG2"), QStringLiteral("ByteSize"), QString()),
              QStringLiteral("3"));
}

TEST_F(IniFileTest, ValueIsCutAtItsFirstLineBreakSoNoStrayLinesAppear)
{
    const QString path = PathOf("memo.ini");
    IniFile ini(path);
    ini.WriteString(QStringLiteral("FORM"), QStringLiteral("MMOCOM1"), QStringLiteral("first\r\n[S]\nX=1"));
    ini.WriteString(QStringLiteral("FORM"), QStringLiteral("MMOCOM2"), QStringLiteral("a\rb"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(path), "[FORM]\r\nMMOCOM1=first\r\nMMOCOM2=a\r\n");
}

TEST_F(IniFileTest, RemovingKeysKeepsTheOtherLinesAndDropsASectionLeftEmpty)
{
    const struct
    {
        const char* behaviour;
        const char* file;
        const char* section;
        const char* key;
        const char* expected;
    } rows[] = {
        {"key among others goes alone", "[S]\r\nA=1\r\nB=2\r\n", "S", "a", "[S]\r\nB=2\r\n"},
        {"last section left empty goes with the blank line before it", "[F]\r\nK=1\r\n\r\n[S]\r\nA=1\r\n", "S",
         "A", "[F]\r\nK=1\r\n"},
        {"empty section between others goes, the blank line parting them stays",
         "[F]\r\nK=1\r\n\r\n[S]\r\nA=1\r\n\r\n[T]\r\nZ=1\r\n", "S", "A", "[F]\r\nK=1\r\n\r\n[T]\r\nZ=1\r\n"},
        {"section holding a comment stays", "[S]\r\n;note\r\nA=1\r\n", "S", "A", "[S]\r\n;note\r\n"},
        {"missing key changes nothing", "[S]\r\nA=1\r\n", "S", "B", "[S]\r\nA=1\r\n"},
        {"key of another section is not removed", "[T]\r\nA=1\r\n[S]\r\nB=1\r\n", "S", "A",
         "[T]\r\nA=1\r\n[S]\r\nB=1\r\n"},
    };
    for (const auto& row : rows) {
        const QString path = WriteFile(row.file);
        IniFile ini(path);
        ini.RemoveKey(QString::fromLatin1(row.section), QString::fromLatin1(row.key));
        ASSERT_TRUE(ini.Save());
        EXPECT_EQ(ReadFile(path), QByteArray(row.expected)) << row.behaviour;
    }
}

TEST_F(IniFileTest, WritingANewSectionAndRemovingItsKeyGivesTheOldFile)
{
    const QByteArray old = "[FORM]\r\nMMOCOM1=a\r\n";
    const QString path = WriteFile(old);
    IniFile ini(path);
    ini.WriteString(QStringLiteral("OWN"), QStringLiteral("K"), QStringLiteral("v"));
    ini.RemoveKey(QStringLiteral("OWN"), QStringLiteral("K"));
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(ReadFile(path), old);
}

TEST_F(IniFileTest, SaveReportsAFileThatCannotBeWritten)
{
    IniFile ini(PathOf("no-such-folder/settings.ini"));
    ini.WriteString(QStringLiteral("S"), QStringLiteral("A"), QStringLiteral("1"));
    EXPECT_FALSE(ini.Save());
}

}  // namespace

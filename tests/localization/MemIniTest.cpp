// The memory INI store: parsing and rendering lines, names without regard to
// case, typed values, and writing the file back.
#include "localization/MemIni.h"
#include "platform/Exception.h"
#include "platform/FormatSettings.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

// Lists show as their lines when a test fails.
inline void PrintTo(const TlcStringList& list, std::ostream* out)
{
    *out << ::testing::PrintToString(list.Lines());
}

namespace {

TlcStringList Lines(std::initializer_list<std::string> lines) { return TlcStringList(lines); }

std::string Rendered(const TlcMemIniFile& ini)
{
    TlcStringList lines;
    ini.SaveToLines(lines);
    return lines.Text();
}

std::string FileBytes(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST(MemIni, ParsesCommentsSectionsAndKeysAndRendersThemSorted)
{
    TlcMemIniFile ini;
    ini.LoadFromLines(Lines({";comment", "[A]", "x=1", "y", "[b]", "z==2"}));
    EXPECT_EQ(ini.ReadValue("A", "x", "?"), "1");
    EXPECT_EQ(ini.ReadValue("A", "y", "?"), "");
    EXPECT_EQ(ini.ReadValue("b", "z", "?"), "=2");
    EXPECT_EQ(Rendered(ini), "[A]\r\nx=1\r\ny=\r\n\r\n[b]\r\nz==2\r\n\r\n");
}

TEST(MemIni, KeepsBlanksDropsKeysBeforeTheFirstHeaderAndMergesRepeatedHeaders)
{
    TlcMemIniFile ini;
    ini.LoadFromLines(Lines({"lost=1", "[ S ]", " k = v ", "[Z]", "b=2", "a=1", "[s]", "dup=x", "[ S ]", "m=3"}));
    EXPECT_EQ(ini.ReadValue(" S ", " k ", "?"), " v ");
    EXPECT_EQ(ini.ReadValue(" S ", "k", "?"), "?");
    EXPECT_EQ(ini.ReadValue(" S ", "m", "?"), "3");
    EXPECT_EQ(ini.ReadValue("s", "dup", "?"), "x");
    TlcStringList sections;
    ini.ListSections(sections);
    EXPECT_EQ(sections, Lines({" S ", "s", "Z"}));
    TlcStringList keys;
    ini.ListKeys("z", keys);
    EXPECT_EQ(keys, Lines({"a", "b"}));
    ini.ListValues("Z", keys);
    EXPECT_EQ(keys, Lines({"1", "2"}));
    ini.ListKeys("none", keys);
    EXPECT_TRUE(keys.Empty());
}

TEST(MemIni, NamesMatchWithoutRegardToCase)
{
    TlcMemIniFile ini;
    ini.WriteValue("Captions", "TfMain.Button", "Ok");
    EXPECT_EQ(ini.ReadValue("CAPTIONS", "tfmain.button", "?"), "Ok");
    ini.WriteValue("captions", "TFMAIN.BUTTON", "Yes");
    TlcStringList keys;
    ini.ListKeys("Captions", keys);
    EXPECT_EQ(keys, Lines({"TFMAIN.BUTTON"}));
    EXPECT_EQ(ini.ReadValue("Captions", "TfMain.Button", "?"), "Yes");
    EXPECT_TRUE(ini.Modified());
}

TEST(MemIni, RepeatedKeysKeepTheirOrderAndTheFirstIsRead)
{
    TlcMemIniFile ini;
    ini.LoadFromLines(Lines({"[S]", "k=1", "K=2", "a=0"}));
    EXPECT_EQ(ini.ReadValue("S", "k", "?"), "1");
    EXPECT_EQ(Rendered(ini), "[S]\r\na=0\r\nk=1\r\nK=2\r\n\r\n");
    ini.RemoveKey("S", "K");
    EXPECT_EQ(ini.ReadValue("S", "k", "?"), "2");
    TlcMemIniFile again;
    TlcStringList lines;
    ini.SaveToLines(lines);
    again.LoadFromLines(lines);
    EXPECT_EQ(Rendered(again), Rendered(ini));
}

TEST(MemIni, RemovingSectionsAndSectionsWithoutKeys)
{
    TlcMemIniFile ini;
    ini.LoadFromLines(Lines({"[Empty]", "[Full]", "k=v"}));
    EXPECT_FALSE(ini.HasSection("Empty"));
    EXPECT_TRUE(ini.HasSection("full"));
    EXPECT_FALSE(ini.HasSection("None"));
    ini.RemoveSection("FULL");
    EXPECT_FALSE(ini.HasSection("Full"));
    EXPECT_EQ(Rendered(ini), "[Empty]\r\n\r\n");
    ini.RemoveSection("None");
    ini.RemoveKey("None", "k");
    ini.ClearAll();
    EXPECT_EQ(Rendered(ini), "");
}

TEST(MemIni, ReadsNumbersAndFlags)
{
    struct TCase {
        std::string Value;
        int Expected;
    };
    const TCase cases[] = {
        {"0x1F", 31}, {"0X1f", 31}, {"$1F", 31}, {"12", 12}, {"-12", -12}, {"+7", 7},
        {"2147483647", 2147483647}, {"-2147483648", -2147483647 - 1}, {"$FFFFFFFF", -1},
        {"2147483648", -5}, {"$100000000", -5}, {"0x", -5}, {"x1", -5}, {"", -5}, {"$", -5},
        {"1 ", -5}, {"1.5", -5}, {"abc", -5},
    };
    TlcMemIniFile ini;
    for (const TCase& c : cases) {
        ini.WriteValue("N", "k", c.Value);
        EXPECT_EQ(ini.ReadNumber("N", "k", -5), c.Expected) << c.Value;
    }
    ini.WriteNumber("N", "n", -42);
    EXPECT_EQ(ini.ReadValue("N", "n", ""), "-42");

    ini.WriteValue("F", "two", "2");
    ini.WriteValue("F", "zero", "0");
    EXPECT_TRUE(ini.ReadFlag("F", "two", false));
    EXPECT_FALSE(ini.ReadFlag("F", "zero", true));
    EXPECT_TRUE(ini.ReadFlag("F", "missing", true));
    EXPECT_FALSE(ini.ReadFlag("F", "missing", false));
    ini.WriteFlag("F", "on", true);
    ini.WriteFlag("F", "off", false);
    EXPECT_EQ(ini.ReadValue("F", "on", ""), "1");
    EXPECT_EQ(ini.ReadValue("F", "off", ""), "0");
}

TEST(MemIni, DatesTimesAndFloatsGoThroughTheProgramsFormats)
{
    // The settings the program has on this machine.
    const TFormatSettings& f = FormatSettings();
    TlcMemIniFile ini;
    ini.WriteFloatValue("V", "f", 2.5L);
    EXPECT_EQ(ini.ReadValue("V", "f", ""), std::string("2") + f.DecimalSeparator + "5");
    EXPECT_EQ(ini.ReadFloatValue("V", "f", 0), 2.5L);
    ini.WriteDateValue("V", "d", QDate(2026, 3, 7));
    EXPECT_EQ(ini.ReadValue("V", "d", ""), FormatDateTime(f.ShortDateFormat, QDateTime(QDate(2026, 3, 7), QTime())));
    EXPECT_EQ(ini.ReadDateValue("V", "d", QDate()), QDate(2026, 3, 7));
    ini.WriteTimeValue("V", "t", QTime(13, 5, 9));
    EXPECT_EQ(ini.ReadValue("V", "t", ""), TimeToStr(QTime(13, 5, 9)));
    EXPECT_EQ(ini.ReadTimeValue("V", "t", QTime()), QTime(13, 5, 9));
    const QDateTime stamp(QDate(2026, 3, 7), QTime(13, 5, 9));
    ini.WriteDateTimeValue("V", "dt", stamp);
    EXPECT_EQ(ini.ReadDateTimeValue("V", "dt", QDateTime()), stamp);
    // A float in the other separator is no float here.
    ini.WriteValue("V", "other", std::string("2") + (f.DecimalSeparator == ',' ? '.' : ',') + "5");
    EXPECT_EQ(ini.ReadFloatValue("V", "other", -1), -1);

    // Empty and broken values give the defaults.
    ini.WriteValue("V", "empty", "");
    ini.WriteValue("V", "bad", "no value");
    for (const char* key : {"empty", "bad", "missing"}) {
        EXPECT_EQ(ini.ReadFloatValue("V", key, -1), -1) << key;
        EXPECT_EQ(ini.ReadDateValue("V", key, QDate(2000, 1, 1)), QDate(2000, 1, 1)) << key;
        EXPECT_EQ(ini.ReadTimeValue("V", key, QTime(1, 2)), QTime(1, 2)) << key;
        EXPECT_EQ(ini.ReadDateTimeValue("V", key, stamp), stamp) << key;
    }
}

TEST(MemIni, FileRoundTripsByteForByteAndAFailedWriteKeepsTheOldFile)
{
    QTemporaryDir dir;
    const std::string name = dir.filePath("t.ini").toStdString();
    const std::string text = "[A]\r\nx=1\r\ny=\x19\x1A\xC3\xA4\r\n\r\n[b]\r\nz==2\r\n\r\n";
    {
        std::ofstream out(name, std::ios::binary);
        out << text;
    }
    TlcMemIniFile ini(name);
    EXPECT_EQ(ini.ReadValue("a", "Y", ""), "\x19\x1A\xC3\xA4");
    EXPECT_FALSE(ini.Modified());
    ini.Flush();
    EXPECT_EQ(FileBytes(name), text);

    // LF line ends and comments are read; the file comes back in the store's form.
    {
        std::ofstream out(name, std::ios::binary);
        out << ";c\n[b]\nz==2\n[A]\ny=\x19\x1A\xC3\xA4\nx=1";
    }
    TlcMemIniFile lf(name);
    lf.Flush();
    EXPECT_EQ(FileBytes(name), text);

    // A store whose file cannot be written raises and leaves nothing behind.
    TlcMemIniFile nowhere(dir.filePath("missing/t.ini").toStdString());
    nowhere.WriteValue("S", "k", "v");
    EXPECT_THROW(nowhere.Flush(), Exception);
    EXPECT_TRUE(nowhere.Modified());
    EXPECT_FALSE(std::filesystem::exists(dir.filePath("missing").toStdString()));
    EXPECT_EQ(FileBytes(name), text);

    // A missing file gives an empty store.
    TlcMemIniFile none(dir.filePath("none.ini").toStdString());
    EXPECT_EQ(Rendered(none), "");
}

TEST(MemIni, ReadFromStreamStartsAtThePosition)
{
    const std::string bytes = "junk\r\n[S]\r\nk=v\r\n";
    TlcMemIniFile ini;
    ini.WriteValue("Old", "k", "v");
    ini.ReadFromStream(bytes, 6);
    EXPECT_EQ(Rendered(ini), "[S]\r\nk=v\r\n\r\n");
    ini.ReadFromStream(bytes, 100);
    EXPECT_EQ(Rendered(ini), "");
}

TEST(MemIni, EntryCopiesFromLinesAndFromAnotherEntry)
{
    TMemIniEntry entry;
    entry.Assign(Lines({"b=2", "a", "c=3=4"}));
    ASSERT_EQ(entry.KeyCount(), 3);
    EXPECT_EQ(entry.KeyLine(0), "a=");
    EXPECT_EQ(entry.KeyLine(2), "c=3=4");
    TMemIniEntry copy;
    copy.AddKey("gone", "x");
    copy.Assign(entry);
    ASSERT_EQ(copy.KeyCount(), 3);
    EXPECT_EQ(copy.KeyValue(1), "2");
    int index = -1;
    EXPECT_TRUE(copy.FindKey("C", index));
    EXPECT_EQ(index, 2);
    EXPECT_FALSE(copy.FindKey("gone", index));
    copy.RemoveAt(7);
    EXPECT_EQ(copy.KeyCount(), 3);
}

TEST(MemIni, ExtractFieldWNeedsADelimiterAfterTheField)
{
    struct TCase {
        std::u16string Text;
        int N;
        std::u16string Expected;
    };
    const TCase cases[] = {
        {u"a~b~c~", 0, u"a"}, {u"a~b~c~", 1, u"b"}, {u"a~b~c~", 2, u"c"}, {u"a~b~c~", 3, u""},
        {u"a~b~c", 2, u""}, {u"abc", 0, u""}, {u"~~", 1, u""}, {u"", 0, u""}, {u"a~", -1, u""},
        {u"\u00e4\u00f6~\u4e2d~", 1, u"\u4e2d"},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ExtractFieldW(c.Text, u'~', c.N), c.Expected) << c.N;
}

} // namespace

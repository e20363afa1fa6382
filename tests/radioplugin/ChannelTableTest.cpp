// The channel table's cells: filled from a parameter set, and edited texts
// turned into channel numbers and power steps.
#include "radioplugin/ChannelTable.h"
#include "radioplugin/RuvoParameter.h"
#include "tests/radioplugin/RuvoTestSupport.h"

#include <gtest/gtest.h>

#include <map>

namespace {

class TCells : public TTableCells {
public:
    std::string Cell(int c, int r) const override
    {
        auto it = Texts.find({c, r});
        return it == Texts.end() ? "" : it->second;
    }
    void SetCell(int c, int r, const std::string& t) override { Texts[{c, r}] = t; }
    std::int32_t Object(int c, int r) const override
    {
        auto it = Objects.find({c, r});
        return it == Objects.end() ? 0 : it->second;
    }
    void SetObject(int c, int r, std::int32_t v) override { Objects[{c, r}] = v; }
    std::map<std::pair<int, int>, std::string> Texts;
    std::map<std::pair<int, int>, std::int32_t> Objects;
};

// Frequencies in the separator the program has on this machine; the cases
// write ',' for it.
class ChannelTableTest : public testing::Test {
protected:
    TCells Cells;
};

} // namespace

TEST_F(ChannelTableTest, RowsShowTheSlots)
{
    TRuvoParameter set;
    for (int i = 0; i < 32; ++i) {
        set.GetSlot(i)->SetReceive(i);
        set.GetSlot(i)->SetTransmit(1400 + i);
        set.GetSlot(i)->SetPower(i % 6);
    }
    FillChannelTable(Cells, set);
    EXPECT_EQ(Cells.Cell(0, 1), "1");
    EXPECT_EQ(Cells.Cell(0, 32), "32");
    EXPECT_EQ(Cells.Cell(1, 1), Num("146,0100 MHz"));
    EXPECT_EQ(Cells.Object(1, 2), 1);
    EXPECT_EQ(Cells.Cell(1, 2), Num("146,0300 MHz"));
    EXPECT_EQ(Cells.Cell(2, 1), Num("146,0250 MHz"));
    EXPECT_EQ(Cells.Object(2, 32), 1431);
    EXPECT_EQ(Cells.Cell(3, 1), "0,025"); // index 0 shows as the lowest step; power texts keep their comma
    EXPECT_EQ(Cells.Object(3, 1), 0);
    EXPECT_EQ(Cells.Cell(3, 6), "6");
    EXPECT_EQ(Cells.Object(3, 6), 5);
}

TEST_F(ChannelTableTest, UnknownPowerStopsTheFillAfterTheRowsBeforeIt)
{
    TRuvoParameter set;
    for (int i = 0; i < 32; ++i)
        set.GetSlot(i)->SetPower(2);
    set.GetSlot(4)->SetPower(7);
    try {
        FillChannelTable(Cells, set);
        FAIL() << "no error";
    } catch (const std::exception& e) {
        EXPECT_EQ(std::string(e.what()), "Die vom Funkgerät gemeldete Sendeleistung 7 für Slot 4 ist nicht bekannt\r\n"
                                         "Akzeptiert werden Werte zwischen 0 und 4.");
    }
    EXPECT_EQ(Cells.Object(3, 4), 2);
    EXPECT_EQ(Cells.Cell(3, 5), "");
    EXPECT_EQ(Cells.Cell(3, 6), "");
}

TEST_F(ChannelTableTest, EditedTexts)
{
    struct Case {
        int col;
        std::string text;
        TTableEdit result;
        std::int32_t object;
        std::string cell; // after the edit ("" : as the editor left it)
    };
    const Case cases[] = {
        {1, "146,0300", TTableEdit::Accepted, 1, ""},
        {2, "146,025", TTableEdit::Accepted, 1400, ""},
        {1, "173,99", TTableEdit::Accepted, 1399, ""},
        {1, "146,0350", TTableEdit::OffRaster, 1000, "166,0100"}, // the old frequency, without unit
        {2, "146;0300", TTableEdit::OffRaster, 1000, "166,0100"}, // no number
        {1, "146,03", TTableEdit::Accepted, 1, ""},
        {1, " 146,0300 ", TTableEdit::Accepted, 1, ""},             // the mask's blanks
        {1, "0146,0300", TTableEdit::Accepted, 1, ""},
        {1, "", TTableEdit::OffRaster, 1000, "166,0100"},
        {1, "200", TTableEdit::OffRaster, 1000, "166,0100"},
        {3, "0,5", TTableEdit::Accepted, 3, ""},
        {3, "6", TTableEdit::Accepted, 5, ""},
        {3, "2", TTableEdit::Ignored, 1000, ""},
        {3, "0.5", TTableEdit::Ignored, 1000, ""}, // power texts are fixed, whatever the machine
        {0, "7", TTableEdit::Ignored, 1000, ""},
    };
    for (const Case& c : cases) {
        const bool frequency = c.col == 1 || c.col == 2;
        const std::string text = frequency ? Num(c.text) : c.text;
        Cells.Texts.clear();
        Cells.SetObject(c.col, 3, 1000);
        Cells.SetCell(c.col, 3, text);
        EXPECT_EQ(ApplyTableEdit(Cells, c.col, 3, text), c.result) << text;
        EXPECT_EQ(Cells.Object(c.col, 3), c.object) << text;
        EXPECT_EQ(Cells.Cell(c.col, 3), c.cell.empty() ? text : Num(c.cell)) << text;
    }
    // A frequency in the separator the machine does not use is no number.
    const std::string other = std::string("146") + OtherSeparator() + "0300";
    Cells.SetObject(1, 3, 1000);
    EXPECT_EQ(ApplyTableEdit(Cells, 1, 3, other), TTableEdit::OffRaster);
    EXPECT_EQ(Cells.Cell(1, 3), Num("166,0100"));
}

TEST(ChannelTableMask, TheMaskShowsTheSeparatorItsTextIsReadIn)
{
    EXPECT_EQ(FrequencyEditMask(), Num("099,0999"));
    EXPECT_EQ(FrequencyDefaultText(ChannelTable::ColReceive), Num("146,0100"));
    EXPECT_EQ(FrequencyDefaultText(ChannelTable::ColTransmit), Num("173,990"));
}

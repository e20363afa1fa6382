// The channel table's cells: filled from a parameter set, and edited texts
// turned into channel numbers and power steps.
#include "platform/FormatSettings.h"
#include "radioplugin/ChannelTable.h"
#include "radioplugin/RuvoParameter.h"

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

class ChannelTableTest : public testing::Test {
protected:
    void SetUp() override
    {
        Saved = FormatSettings();
        FormatSettings().DecimalSeparator = ',';
    }
    void TearDown() override { FormatSettings() = Saved; }
    TFormatSettings Saved;
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
    EXPECT_EQ(Cells.Cell(1, 1), "146,0100 MHz");
    EXPECT_EQ(Cells.Object(1, 2), 1);
    EXPECT_EQ(Cells.Cell(1, 2), "146,0300 MHz");
    EXPECT_EQ(Cells.Cell(2, 1), "146,0250 MHz");
    EXPECT_EQ(Cells.Object(2, 32), 1431);
    EXPECT_EQ(Cells.Cell(3, 1), "0,025"); // index 0 shows as the lowest step
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
        {2, "146.0300", TTableEdit::OffRaster, 1000, "166,0100"}, // not a number in this format
        {1, "", TTableEdit::OffRaster, 1000, "166,0100"},
        {1, "200", TTableEdit::OffRaster, 1000, "166,0100"},
        {3, "0,5", TTableEdit::Accepted, 3, ""},
        {3, "6", TTableEdit::Accepted, 5, ""},
        {3, "2", TTableEdit::Ignored, 1000, ""},
        {3, "0.5", TTableEdit::Ignored, 1000, ""},
        {0, "7", TTableEdit::Ignored, 1000, ""},
    };
    for (const Case& c : cases) {
        Cells.Texts.clear();
        Cells.SetObject(c.col, 3, 1000);
        Cells.SetCell(c.col, 3, c.text);
        EXPECT_EQ(ApplyTableEdit(Cells, c.col, 3, c.text), c.result) << c.text;
        EXPECT_EQ(Cells.Object(c.col, 3), c.object) << c.text;
        EXPECT_EQ(Cells.Cell(c.col, 3), c.cell.empty() ? c.text : c.cell) << c.text;
    }
}

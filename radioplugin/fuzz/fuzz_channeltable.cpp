// Any text typed into the channel table's cells, in either decimal
// separator: a frequency is taken exactly when it lies on the raster, and
// then the cell's own text of that channel is taken back to the same
// frequency; a frequency off the raster shows the old one again and keeps
// the channel; a power is taken only by its exact text.
//
// Input: byte 0 the separators and the column, bytes 1-2 the channel the cell
// holds, the rest the text.
#include "platform/FormatSettings.h"
#include "radioplugin/ChannelTable.h"
#include "radioplugin/GlobalFunctionsRuvo.h"

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>

namespace {

class TCells : public TTableCells {
public:
    std::string Cell(int Col, int Row) const override
    {
        const auto it = FText.find({Col, Row});
        return it == FText.end() ? std::string() : it->second;
    }
    void SetCell(int Col, int Row, const std::string& Text) override { FText[{Col, Row}] = Text; }
    std::int32_t Object(int Col, int Row) const override
    {
        const auto it = FObject.find({Col, Row});
        return it == FObject.end() ? 0 : it->second;
    }
    void SetObject(int Col, int Row, std::int32_t Value) override { FObject[{Col, Row}] = Value; }

private:
    std::map<std::pair<int, int>, std::string> FText;
    std::map<std::pair<int, int>, std::int32_t> FObject;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 3)
        return 0;
    TFormatSettings& format = FormatSettings();
    const bool comma = (data[0] & 1) != 0;
    format.DecimalSeparator = comma ? ',' : '.';
    format.ThousandSeparator = comma ? '.' : ',';
    const int col = 1 + (data[0] >> 1) % 3; // receive, transmit, power
    const int row = 1 + (data[0] >> 3) % 32;
    const std::int32_t old = (data[1] << 8 | data[2]) % (RuvoLastChannel + 1);
    const std::string text(reinterpret_cast<const char*>(data + 3), size - 3);

    TCells cells;
    FillChannelRow(cells, row, old, old, 1 + old % RuvoMaxPowerIndex, row - 1);
    const TTableEdit result = ApplyTableEdit(cells, col, row, text);
    const std::int32_t now = cells.Object(col, row);
    if (col == ChannelTable::ColPower) {
        if (result == TTableEdit::Accepted && (now < 1 || now > RuvoMaxPowerIndex || PowerText(now) != text))
            std::abort();
        if (result != TTableEdit::Accepted && now != 1 + old % RuvoMaxPowerIndex)
            std::abort();
        return 0;
    }
    switch (result) {
    case TTableEdit::Accepted: {
        if (now < RuvoFirstChannel || now > RuvoLastChannel)
            std::abort();
        long double typed = 0;
        if (!TryStrToFloat(text, typed) || std::fabs(static_cast<double>(typed) - ChannelToFrequency(now)) > 0.0011)
            std::abort();
        break;
    }
    case TTableEdit::OffRaster:
        if (now != old || cells.Cell(col, row) != FrequencyText(old))
            std::abort();
        break;
    case TTableEdit::Ignored:
        std::abort(); // a frequency cell takes or refuses every text
    }
    // The cell's own text of a channel is that channel's frequency again.
    TCells again;
    FillChannelRow(again, row, 0, 0, 1, row - 1);
    if (ApplyTableEdit(again, col, row, FrequencyText(now)) != TTableEdit::Accepted ||
        ChannelToFrequency(again.Object(col, row)) != ChannelToFrequency(now))
        std::abort();
    return 0;
}

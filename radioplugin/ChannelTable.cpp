#include "radioplugin/ChannelTable.h"

#include "platform/Exception.h"
#include "platform/FormatSettings.h"
#include "radioplugin/GlobalFunctionsRuvo.h"
#include "radioplugin/RuvoParameter.h"

using namespace ChannelTable;

std::string FrequencyEditMask()
{
    return std::string("099") + FormatSettings().DecimalSeparator + "0999";
}

std::string FrequencyDefaultText(int Col)
{
    return Col == ColTransmit ? std::string("173") + FormatSettings().DecimalSeparator + "990"
                              : std::string("146") + FormatSettings().DecimalSeparator + "0100";
}

void FillChannelRow(TTableCells& Cells, int Row, std::int32_t Receive, std::int32_t Transmit, std::int32_t Power,
                    std::int32_t Slot, const TTextLookup& Texts)
{
    Cells.SetCell(ColNumber, Row, std::to_string(Row));
    Cells.SetObject(ColReceive, Row, Receive);
    Cells.SetCell(ColReceive, Row, FrequencyDisplayText(Receive));
    Cells.SetObject(ColTransmit, Row, Transmit);
    Cells.SetCell(ColTransmit, Row, FrequencyDisplayText(Transmit));
    if (!IsValidPowerIndex(Power))
        throw Exception(FillText(RuvoText(Texts, "IDS_9") + "\r\n" + RuvoText(Texts, "IDS_10"),
                                 {std::to_string(Power), std::to_string(Slot)}));
    Cells.SetCell(ColPower, Row, PowerText(Power));
    Cells.SetObject(ColPower, Row, Power);
}

void FillChannelTable(TTableCells& Cells, const TRuvoParameter& Set, const TTextLookup& Texts)
{
    for (int row = 1; row < RowCount; ++row) {
        const TChannelEntry* slot = Set.GetSlot(row - 1);
        FillChannelRow(Cells, row, slot->Receive(), slot->Transmit(), slot->Power(), row - 1, Texts);
    }
}

TTableEdit ApplyTableEdit(TTableCells& Cells, int Col, int Row, const std::string& Text)
{
    if (Row < 1 || Row >= RowCount)
        return TTableEdit::Ignored;
    if (Col == ColReceive || Col == ColTransmit) {
        long double value = 0;
        const std::int32_t channel =
            TryStrToFloat(Text, value) ? FrequencyToChannel(static_cast<float>(value)) : -1;
        if (channel < 0) {
            Cells.SetCell(Col, Row, FrequencyText(Cells.Object(Col, Row)));
            return TTableEdit::OffRaster;
        }
        Cells.SetObject(Col, Row, channel);
        return TTableEdit::Accepted;
    }
    if (Col == ColPower) {
        const std::int32_t index = PowerIndexOfText(Text);
        if (index < 1)
            return TTableEdit::Ignored;
        Cells.SetObject(Col, Row, index);
        return TTableEdit::Accepted;
    }
    return TTableEdit::Ignored;
}

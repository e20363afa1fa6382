#pragma once
// The dialog's channel table as data: 33 rows (row 0 the headers, row r the
// memory slot r-1), column 0 the row number, columns 1 and 2 the receive and
// transmit channel, column 3 the power. Each cell has a text and an object
// (a number); for columns 1 to 3 the object is the value of record, and the
// frequency columns always show the text drawn from it.
//
// The grid widget holds the cells; these routines fill and edit them
// through TTableCells, so tests drive them without a window.
#include "radioplugin/RuvoTexts.h"

#include <cstdint>
#include <string>

class TRuvoParameter;

class TTableCells {
public:
    virtual ~TTableCells() = default;
    virtual std::string Cell(int Col, int Row) const = 0;
    virtual void SetCell(int Col, int Row, const std::string& Text) = 0;
    virtual std::int32_t Object(int Col, int Row) const = 0;
    virtual void SetObject(int Col, int Row, std::int32_t Value) = 0;
};

namespace ChannelTable {
constexpr int ColCount = 4;
constexpr int RowCount = 33;
constexpr int ColNumber = 0, ColReceive = 1, ColTransmit = 2, ColPower = 3;
} // namespace ChannelTable

// The edit mask of the frequency cells: up to three digits, the decimal
// separator of the format settings, up to four digits ("099,0999" with a
// decimal comma, "099.0999" with a point), so the text the mask gives is the
// number it shows. A person may type the digits alone; typing either
// separator steps over the mask's.
std::string FrequencyEditMask();
// The text a frequency cell's editor starts with when the cell is empty
// (receive "146,0100", transmit "173,990"), in the same separator.
std::string FrequencyDefaultText(int Col);

// Fills rows 1..32 from the set's slots. A power index outside 0..5 raises
// the error made of IDS_9 and IDS_10; the rows before it are filled.
void FillChannelTable(TTableCells& Cells, const TRuvoParameter& Set, const TTextLookup& Texts = {});
// Fills one row from a slot, with the same error.
void FillChannelRow(TTableCells& Cells, int Row, std::int32_t Receive, std::int32_t Transmit, std::int32_t Power,
                    std::int32_t Slot, const TTextLookup& Texts = {});

enum class TTableEdit {
    Accepted,  // the object follows the text
    OffRaster, // a frequency on no raster: the cell shows the old frequency again
    Ignored,   // the text names no value; the object stays
};
// An edited text handed to the table. Frequencies are read as decimal
// numbers in the format settings; powers by their exact texts.
TTableEdit ApplyTableEdit(TTableCells& Cells, int Col, int Row, const std::string& Text);

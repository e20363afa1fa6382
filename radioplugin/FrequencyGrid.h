#pragma once
// The dialog's channel table widget: the string grid with its cell editors
// set up as the table of memory slots (masked edits for the frequencies, a
// drop-down list for the power), and its cells as TTableCells.
#include "radioplugin/ChannelTable.h"

#include <functional>
#include <string>

class QWidget;
class TCellGrid;
class TComboCellEditor;
class TMaskEditCellEditor;

class TFrequencyGrid : public TTableCells {
public:
    // Form: the form the cell editors belong to; Parent: where the grid sits.
    TFrequencyGrid(QWidget* Form, QWidget* Parent);

    // The grid itself ("grdFrequencies").
    TCellGrid* Widget() const { return FGrid; }

    std::string Cell(int Col, int Row) const override;
    void SetCell(int Col, int Row, const std::string& Text) override;
    std::int32_t Object(int Col, int Row) const override;
    void SetObject(int Col, int Row, std::int32_t Value) override;

    // An edited text handed to the grid (after the grid stored it).
    std::function<void(int Col, int Row, const std::string& Text)> OnSetEditText;
    // Hands a text to the grid as a cell editor does.
    void SetEditText(int Col, int Row, const std::string& Text);
    // The text drawn in a cell: the frequency columns draw it from the
    // cell's object.
    std::string DisplayText(int Col, int Row) const;
    // Gives the frequency editors the mask and default texts of the decimal
    // separator the format settings have now.
    void FollowFormatSettings();

    TMaskEditCellEditor* medReceive;
    TMaskEditCellEditor* medTransmit;
    TComboCellEditor* cbxPower;

private:
    TCellGrid* FGrid;
};

#pragma once
// The dialog's channel table widget: the string grid with its cell editors,
// set up as the table of memory slots, and its cells as TTableCells.
#include "radioplugin/ChannelTable.h"

#include <functional>
#include <string>

class QWidget;

class TFrequencyGrid : public TTableCells {
public:
    explicit TFrequencyGrid(QWidget* Parent);
    ~TFrequencyGrid() override;

    // The grid itself ("grdFrequencies").
    QWidget* Widget() const;

    std::string Cell(int Col, int Row) const override;
    void SetCell(int Col, int Row, const std::string& Text) override;
    std::int32_t Object(int Col, int Row) const override;
    void SetObject(int Col, int Row, std::int32_t Value) override;

    // An edited text handed to the grid.
    std::function<void(int Col, int Row, const std::string& Text)> OnSetEditText;
    // Hands a text to the grid as the cell editor would.
    void SetEditText(int Col, int Row, const std::string& Text);
    // The text drawn in a cell.
    std::string DisplayText(int Col, int Row) const;

private:
    struct TImpl;
    TImpl* FImpl;
};

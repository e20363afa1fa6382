#include "radioplugin/FrequencyGrid.h"

#include "radioplugin/CellGridWidget.h"
#include "radioplugin/GlobalFunctionsRuvo.h"

#include <QPainter>
#include <QScrollBar>

#include <utility>

using namespace ChannelTable;

TFrequencyGrid::TFrequencyGrid(QWidget* Form, QWidget* Parent)
{
    FGrid = new TCellGrid(Parent);
    FGrid->setObjectName("grdFrequencies");
    FGrid->SetColCount(ColCount);
    FGrid->SetRowCount(RowCount);
    FGrid->SetFixedCols(1);
    FGrid->SetFixedRows(1);
    FGrid->SetOptions(FGrid->Options() | goEditing);
    FGrid->SetImmediateEditMode(true);
    const int row = FGrid->fontMetrics().height() + 8;
    FGrid->SetDefaultRowHeight(row);
    const char* const headers[ColCount] = {"Nr.", "Empf. Frequnz (MHz)", "Sendefrequenz (MHz)", "Leistung (W)"};
    for (int c = 0; c < ColCount; ++c)
        FGrid->Columns().Items(c)->SetCaption(headers[c]);
    // Wide enough for the header and the widest frequency.
    const QFontMetrics metrics = FGrid->fontMetrics();
    FGrid->SetColWidths(ColNumber, metrics.horizontalAdvance("Nr. 32") + 8);
    const int frequency = metrics.horizontalAdvance(QString::fromStdString(FrequencyDisplayText(RuvoLastChannel20kHz)));
    for (int c : {ColReceive, ColTransmit})
        FGrid->SetColWidths(c, std::max(metrics.horizontalAdvance(headers[c]), frequency) + 16);
    FGrid->SetColWidths(ColPower, metrics.horizontalAdvance(headers[ColPower]) + 16);
    for (int r = 1; r < RowCount; ++r)
        FGrid->SetCells(ColNumber, r, std::to_string(r));
    // The four columns stand whole beside the vertical scroll bar: the form
    // lays itself out around them.
    int width = 2 * FGrid->frameWidth() + FGrid->verticalScrollBar()->sizeHint().width();
    for (int c = 0; c < ColCount; ++c)
        width += FGrid->ColWidths(c) + FGrid->GridLineWidth();
    FGrid->setMinimumWidth(width);

    medReceive = new TMaskEditCellEditor(Form);
    medReceive->setObjectName("medReceive");
    medTransmit = new TMaskEditCellEditor(Form);
    medTransmit->setObjectName("medTransmit");
    FollowFormatSettings();
    cbxPower = new TComboCellEditor(Form);
    cbxPower->setObjectName("cbxPower");
    cbxPower->SetStyle(TComboBoxStyle::csDropDownList);
    cbxPower->SetItems({"0,025", "0,1", "0,5", "1", "6"});
    medReceive->Loaded();
    medTransmit->Loaded();
    cbxPower->Loaded();
    FGrid->Columns().Items(ColReceive)->SetEditor(medReceive);
    FGrid->Columns().Items(ColTransmit)->SetEditor(medTransmit);
    FGrid->Columns().Items(ColPower)->SetEditor(cbxPower);

    FGrid->OnSetEditText = [this](TObject*, int col, int row, const std::string& value) {
        if (OnSetEditText)
            OnSetEditText(col, row, value);
    };
    // The frequency columns show the frequency of the cell's channel, over
    // what the grid drew.
    FGrid->OnDrawCell = [this](TObject*, int col, int row, const QRect& rect, TGridDrawState state) {
        if ((col != ColReceive && col != ColTransmit) || row < 1)
            return;
        QPainter* canvas = FGrid->Canvas();
        if (!canvas)
            return;
        const TCellLook look = FGrid->CellLook(col, row, state);
        canvas->save();
        canvas->fillRect(rect, ColorToQColor(look.Background));
        canvas->setPen(ColorToQColor(look.TextColor));
        canvas->setFont(look.Font);
        canvas->setClipRect(rect);
        canvas->drawText(rect.adjusted(2, 2, -2, -2), Qt::AlignLeft | Qt::AlignTop | Qt::TextSingleLine,
                         QString::fromStdString(DisplayText(col, row)));
        canvas->restore();
    };
}

std::string TFrequencyGrid::Cell(int Col, int Row) const
{
    return FGrid->Cells(Col, Row);
}

void TFrequencyGrid::SetCell(int Col, int Row, const std::string& Text)
{
    FGrid->SetCells(Col, Row, Text);
}

std::int32_t TFrequencyGrid::Object(int Col, int Row) const
{
    return static_cast<std::int32_t>(FGrid->Objects(Col, Row));
}

void TFrequencyGrid::SetObject(int Col, int Row, std::int32_t Value)
{
    FGrid->SetObjects(Col, Row, Value);
    FGrid->viewport()->update();
}

void TFrequencyGrid::SetEditText(int Col, int Row, const std::string& Text)
{
    FGrid->SetEditText(Col, Row, Text);
}

void TFrequencyGrid::FollowFormatSettings()
{
    for (auto [editor, col] : {std::pair{medReceive, ColReceive}, std::pair{medTransmit, ColTransmit}}) {
        editor->SetEditMask(FrequencyEditMask());
        editor->SetDefaultText(FrequencyDefaultText(col));
    }
}

std::string TFrequencyGrid::DisplayText(int Col, int Row) const
{
    if ((Col == ColReceive || Col == ColTransmit) && Row >= 1)
        return FrequencyDisplayText(Object(Col, Row));
    return Cell(Col, Row);
}

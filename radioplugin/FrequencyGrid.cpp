#include "radioplugin/FrequencyGrid.h"

#include <QHeaderView>
#include <QTableWidget>

#include <array>

using namespace ChannelTable;

struct TFrequencyGrid::TImpl {
    QTableWidget* Table = nullptr;
    std::array<std::array<std::int32_t, RowCount>, ColCount> Objects{};
    bool Filling = false;
};

TFrequencyGrid::TFrequencyGrid(QWidget* Parent) : FImpl(new TImpl)
{
    FImpl->Table = new QTableWidget(RowCount - 1, ColCount - 1, Parent);
    FImpl->Table->setObjectName("grdFrequencies");
    FImpl->Table->setHorizontalHeaderLabels({"Empf. Frequnz (MHz)", "Sendefrequenz (MHz)", "Leistung (W)"});
    FImpl->Table->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
    QObject::connect(FImpl->Table, &QTableWidget::cellChanged, FImpl->Table, [this](int r, int c) {
        if (FImpl->Filling || !OnSetEditText)
            return;
        OnSetEditText(c + 1, r + 1, FImpl->Table->item(r, c)->text().toStdString());
    });
}

TFrequencyGrid::~TFrequencyGrid()
{
    delete FImpl;
}

QWidget* TFrequencyGrid::Widget() const
{
    return FImpl->Table;
}

std::string TFrequencyGrid::Cell(int Col, int Row) const
{
    if (Col == 0)
        return std::to_string(Row);
    const QTableWidgetItem* item = FImpl->Table->item(Row - 1, Col - 1);
    return item ? item->text().toStdString() : std::string();
}

void TFrequencyGrid::SetCell(int Col, int Row, const std::string& Text)
{
    if (Col < 1 || Row < 1)
        return;
    FImpl->Filling = true;
    FImpl->Table->setItem(Row - 1, Col - 1, new QTableWidgetItem(QString::fromStdString(Text)));
    FImpl->Filling = false;
}

std::int32_t TFrequencyGrid::Object(int Col, int Row) const
{
    return FImpl->Objects[static_cast<std::size_t>(Col)][static_cast<std::size_t>(Row)];
}

void TFrequencyGrid::SetObject(int Col, int Row, std::int32_t Value)
{
    FImpl->Objects[static_cast<std::size_t>(Col)][static_cast<std::size_t>(Row)] = Value;
}

void TFrequencyGrid::SetEditText(int Col, int Row, const std::string& Text)
{
    if (OnSetEditText)
        OnSetEditText(Col, Row, Text);
}

std::string TFrequencyGrid::DisplayText(int Col, int Row) const
{
    if ((Col == ColReceive || Col == ColTransmit) && Row >= 1)
        return FrequencyDisplayText(Object(Col, Row));
    return Cell(Col, Row);
}

#include "radioplugin/CellGrid.h"

#include "platform/Component.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <numeric>

namespace {

const char* const SNotCellEditor = "Cell Editor not of type TCellEditor";

std::string FormatAssigned(const std::string& editor, const std::string& grid)
{
    // "%s is allready assigned to %s"
    return editor + " is allready assigned to " + grid;
}

bool IsTab(int key) { return key == Qt::Key_Tab || key == Qt::Key_Backtab; }

} // namespace

// ============================================================================
// TStringGridCore
// ============================================================================

TStringGridCore::TStringGridCore()
{
    Resize(FColCount, FRowCount);
}

void TStringGridCore::Resize(int cols, int rows)
{
    std::vector<TCell> cells(static_cast<size_t>(cols) * static_cast<size_t>(rows));
    for (int c = 0; c < std::min(cols, FColCount); ++c)
        for (int r = 0; r < std::min(rows, FRowCount); ++r)
            if (!FCells.empty())
                cells[static_cast<size_t>(c * rows + r)] = std::move(FCells[static_cast<size_t>(c * FRowCount + r)]);
    FCells = std::move(cells);
    FColWidths.resize(static_cast<size_t>(cols), FDefaultColWidth);
    FRowHeights.resize(static_cast<size_t>(rows), FDefaultRowHeight);
    FColCount = cols;
    FRowCount = rows;
}

void TStringGridCore::SetColCount(int value)
{
    value = std::max(value, 1);
    if (value == FColCount)
        return;
    Resize(value, FRowCount);
    FFixedCols = std::min(FFixedCols, FColCount - 1);
    ClampCurrent();
}

void TStringGridCore::SetRowCount(int value)
{
    value = std::max(value, 1);
    if (value == FRowCount)
        return;
    Resize(FColCount, value);
    FFixedRows = std::min(FFixedRows, FRowCount - 1);
    ClampCurrent();
}

void TStringGridCore::SetFixedCols(int value)
{
    FFixedCols = std::clamp(value, 0, FColCount - 1);
    ClampCurrent();
}

void TStringGridCore::SetFixedRows(int value)
{
    FFixedRows = std::clamp(value, 0, FRowCount - 1);
    ClampCurrent();
}

void TStringGridCore::ClampCurrent()
{
    FCol = std::clamp(FCol, FFixedCols, FColCount - 1);
    FRow = std::clamp(FRow, FFixedRows, FRowCount - 1);
    FLeftCol = std::clamp(FLeftCol, FFixedCols, MaxLeftCol());
    FTopRow = std::clamp(FTopRow, FFixedRows, MaxTopRow());
}

TStringGridCore::TCell* TStringGridCore::At(int col, int row)
{
    if (col < 0 || row < 0 || col >= FColCount || row >= FRowCount)
        return nullptr;
    return &FCells[static_cast<size_t>(col * FRowCount + row)];
}

const TStringGridCore::TCell* TStringGridCore::At(int col, int row) const
{
    return const_cast<TStringGridCore*>(this)->At(col, row);
}

const std::string& TStringGridCore::Cell(int col, int row) const
{
    static const std::string empty;
    const TCell* cell = At(col, row);
    return cell ? cell->Text : empty;
}

void TStringGridCore::SetCell(int col, int row, const std::string& text)
{
    if (TCell* cell = At(col, row))
        cell->Text = text;
}

std::intptr_t TStringGridCore::Object(int col, int row) const
{
    const TCell* cell = At(col, row);
    return cell ? cell->Object : 0;
}

void TStringGridCore::SetObject(int col, int row, std::intptr_t object)
{
    if (TCell* cell = At(col, row))
        cell->Object = object;
}

void TStringGridCore::SetDefaultColWidth(int value)
{
    FDefaultColWidth = std::max(value, 0);
    std::fill(FColWidths.begin(), FColWidths.end(), FDefaultColWidth);
    ClampCurrent();
}

void TStringGridCore::SetDefaultRowHeight(int value)
{
    FDefaultRowHeight = std::max(value, 0);
    std::fill(FRowHeights.begin(), FRowHeights.end(), FDefaultRowHeight);
    ClampCurrent();
}

int TStringGridCore::ColWidth(int col) const
{
    return col >= 0 && col < FColCount ? FColWidths[static_cast<size_t>(col)] : 0;
}

void TStringGridCore::SetColWidth(int col, int width)
{
    if (col >= 0 && col < FColCount)
        FColWidths[static_cast<size_t>(col)] = std::max(width, 0);
}

int TStringGridCore::RowHeight(int row) const
{
    return row >= 0 && row < FRowCount ? FRowHeights[static_cast<size_t>(row)] : 0;
}

void TStringGridCore::SetRowHeight(int row, int height)
{
    if (row >= 0 && row < FRowCount)
        FRowHeights[static_cast<size_t>(row)] = std::max(height, 0);
}

void TStringGridCore::SetGridLineWidth(int value)
{
    FGridLineWidth = std::max(value, 0);
}

bool TStringGridCore::CanSelect(int col, int row) const
{
    return col >= FFixedCols && row >= FFixedRows && col < FColCount && row < FRowCount;
}

bool TStringGridCore::IsSelected(int col, int row) const
{
    if (FOptions.testFlag(goRowSelect))
        return row == FRow && col >= FFixedCols;
    return col == FCol && row == FRow;
}

bool TStringGridCore::MoveCurrent(int col, int row)
{
    if (!CanSelect(col, row))
        return false;
    FCol = col;
    FRow = row;
    ScrollInView(col, row);
    return true;
}

int TStringGridCore::FixedWidth() const
{
    int w = 0;
    for (int c = 0; c < FFixedCols; ++c)
        w += ColWidth(c) + FGridLineWidth;
    return w;
}

int TStringGridCore::FixedHeight() const
{
    int h = 0;
    for (int r = 0; r < FFixedRows; ++r)
        h += RowHeight(r) + FGridLineWidth;
    return h;
}

int TStringGridCore::LastStart(const std::vector<int>& sizes, int fixedCount, int fixedExtent, int clientExtent) const
{
    const int room = clientExtent - fixedExtent;
    const int count = static_cast<int>(sizes.size());
    int used = 0;
    int first = count - 1;
    for (int i = count - 1; i >= fixedCount; --i) {
        used += sizes[static_cast<size_t>(i)] + FGridLineWidth;
        if (used > room)
            break;
        first = i;
    }
    return std::max(first, fixedCount);
}

int TStringGridCore::MaxLeftCol() const
{
    if (FClientWidth <= 0)
        return FFixedCols;
    return std::min(LastStart(FColWidths, FFixedCols, FixedWidth(), FClientWidth), FColCount - 1);
}

int TStringGridCore::MaxTopRow() const
{
    if (FClientHeight <= 0)
        return FFixedRows;
    return std::min(LastStart(FRowHeights, FFixedRows, FixedHeight(), FClientHeight), FRowCount - 1);
}

bool TStringGridCore::SetTopLeft(int leftCol, int topRow)
{
    leftCol = std::clamp(leftCol, FFixedCols, std::max(FFixedCols, MaxLeftCol()));
    topRow = std::clamp(topRow, FFixedRows, std::max(FFixedRows, MaxTopRow()));
    if (leftCol == FLeftCol && topRow == FTopRow)
        return false;
    FLeftCol = leftCol;
    FTopRow = topRow;
    return true;
}

void TStringGridCore::SetClientSize(int width, int height)
{
    FClientWidth = std::max(width, 0);
    FClientHeight = std::max(height, 0);
    FLeftCol = std::clamp(FLeftCol, FFixedCols, std::max(FFixedCols, MaxLeftCol()));
    FTopRow = std::clamp(FTopRow, FFixedRows, std::max(FFixedRows, MaxTopRow()));
}

int TStringGridCore::VisibleColCount() const
{
    const int room = FClientWidth - FixedWidth();
    int used = 0;
    int n = 0;
    for (int c = FLeftCol; c < FColCount; ++c) {
        used += ColWidth(c) + FGridLineWidth;
        if (used > room)
            break;
        ++n;
    }
    return std::max(n, 1);
}

int TStringGridCore::VisibleRowCount() const
{
    const int room = FClientHeight - FixedHeight();
    int used = 0;
    int n = 0;
    for (int r = FTopRow; r < FRowCount; ++r) {
        used += RowHeight(r) + FGridLineWidth;
        if (used > room)
            break;
        ++n;
    }
    return std::max(n, 1);
}

void TStringGridCore::ScrollInView(int col, int row)
{
    if (col >= FFixedCols) {
        if (col < FLeftCol)
            FLeftCol = col;
        else
            while (FLeftCol < col && FLeftCol + VisibleColCount() <= col)
                ++FLeftCol;
    }
    if (row >= FFixedRows) {
        if (row < FTopRow)
            FTopRow = row;
        else
            while (FTopRow < row && FTopRow + VisibleRowCount() <= row)
                ++FTopRow;
    }
}

QRect TStringGridCore::CellRect(int col, int row) const
{
    if (col < 0 || row < 0 || col >= FColCount || row >= FRowCount)
        return {};
    if ((col >= FFixedCols && col < FLeftCol) || (row >= FFixedRows && row < FTopRow))
        return {};
    int x = 0;
    if (col < FFixedCols) {
        for (int c = 0; c < col; ++c)
            x += ColWidth(c) + FGridLineWidth;
    } else {
        x = FixedWidth();
        for (int c = FLeftCol; c < col; ++c)
            x += ColWidth(c) + FGridLineWidth;
    }
    int y = 0;
    if (row < FFixedRows) {
        for (int r = 0; r < row; ++r)
            y += RowHeight(r) + FGridLineWidth;
    } else {
        y = FixedHeight();
        for (int r = FTopRow; r < row; ++r)
            y += RowHeight(r) + FGridLineWidth;
    }
    if (x >= FClientWidth || y >= FClientHeight)
        return {};
    return {x, y, ColWidth(col), RowHeight(row)};
}

TGridCoord TStringGridCore::MouseCoord(int x, int y) const
{
    auto find = [this](int pos, int fixedCount, int first, int count, const std::vector<int>& sizes) {
        int at = 0;
        for (int i = 0; i < fixedCount; ++i) {
            const int next = at + sizes[static_cast<size_t>(i)] + FGridLineWidth;
            if (pos < next)
                return i;
            at = next;
        }
        for (int i = first; i < count; ++i) {
            const int next = at + sizes[static_cast<size_t>(i)] + FGridLineWidth;
            if (pos < next)
                return i;
            at = next;
        }
        return -1;
    };
    if (x < 0 || y < 0 || x >= FClientWidth || y >= FClientHeight)
        return {};
    const int col = find(x, FFixedCols, FLeftCol, FColCount, FColWidths);
    const int row = find(y, FFixedRows, FTopRow, FRowCount, FRowHeights);
    if (col < 0 || row < 0)
        return {};
    return {col, row};
}

TGridCoord TStringGridCore::KeyTarget(int key, Qt::KeyboardModifiers modifiers) const
{
    int col = FCol;
    int row = FRow;
    const bool ctrl = modifiers.testFlag(Qt::ControlModifier);
    switch (key) {
    case Qt::Key_Up: --row; break;
    case Qt::Key_Down: ++row; break;
    case Qt::Key_Left: --col; break;
    case Qt::Key_Right: ++col; break;
    case Qt::Key_PageUp: row -= VisibleRowCount(); break;
    case Qt::Key_PageDown: row += VisibleRowCount(); break;
    case Qt::Key_Home:
        col = FFixedCols;
        if (ctrl)
            row = FFixedRows;
        break;
    case Qt::Key_End:
        col = FColCount - 1;
        if (ctrl)
            row = FRowCount - 1;
        break;
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
        if (!FOptions.testFlag(goTabs))
            return {FCol, FRow};
        if (key == Qt::Key_Backtab || modifiers.testFlag(Qt::ShiftModifier)) {
            if (col > FFixedCols)
                --col;
            else if (row > FFixedRows) {
                col = FColCount - 1;
                --row;
            }
        } else {
            if (col < FColCount - 1)
                ++col;
            else if (row < FRowCount - 1) {
                col = FFixedCols;
                ++row;
            }
        }
        break;
    default: return {FCol, FRow};
    }
    col = std::clamp(col, FFixedCols, FColCount - 1);
    row = std::clamp(row, FFixedRows, FRowCount - 1);
    return {col, row};
}

void TStringGridCore::MoveColumn(int from, int to)
{
    if (from < 0 || to < 0 || from >= FColCount || to >= FColCount || from == to)
        return;
    auto first = FCells.begin() + static_cast<std::ptrdiff_t>(from) * FRowCount;
    auto target = FCells.begin() + static_cast<std::ptrdiff_t>(to) * FRowCount;
    if (from < to)
        std::rotate(first, first + FRowCount, target + FRowCount);
    else
        std::rotate(target, first, first + FRowCount);
    auto wf = FColWidths.begin() + from;
    auto wt = FColWidths.begin() + to;
    if (from < to)
        std::rotate(wf, wf + 1, wt + 1);
    else
        std::rotate(wt, wf, wf + 1);
}

// ============================================================================
// Columns
// ============================================================================

TCellGridColumnItem::TCellGridColumnItem(TCellGrid* grid, int index)
    : FGrid(grid),
      FIndex(index),
      FHeaderColor(grid->FixedColor()),
      FHeaderFont(grid->font()),
      FColor(grid->Color()),
      FFont(grid->font()),
      FHeaderFontColor(grid->FontColor()),
      FFontColor(grid->FontColor())
{
}

TCellGridColumnItem::~TCellGridColumnItem()
{
    // The editor lets go of the grid before the item goes.
    if (FEditor) {
        TCellEditor* editor = FEditor;
        FEditor = nullptr;
        editor->Detach();
    }
}

void TCellGridColumnItem::Invalidate()
{
    if (FGrid)
        FGrid->InvalidateColumn(FIndex);
}

void TCellGridColumnItem::SetHeaderColor(TColor value)
{
    FHeaderColor = value;
    Invalidate();
}

void TCellGridColumnItem::SetHeaderFont(const QFont& value)
{
    FHeaderFont = value;
    Invalidate();
}

void TCellGridColumnItem::SetHeaderAlignment(TAlignment value)
{
    if (value == FHeaderAlignment)
        return;
    FHeaderAlignment = value;
    Invalidate();
}

std::string TCellGridColumnItem::Caption() const
{
    return FGrid->Cells(FIndex, 0);
}

void TCellGridColumnItem::SetCaption(const std::string& value)
{
    FGrid->SetCells(FIndex, 0, value);
}

void TCellGridColumnItem::SetColor(TColor value)
{
    FColor = value;
    Invalidate();
}

int TCellGridColumnItem::Width() const
{
    return FGrid->ColWidths(FIndex);
}

void TCellGridColumnItem::SetWidth(int value)
{
    FGrid->SetColWidths(FIndex, value);
}

void TCellGridColumnItem::SetFont(const QFont& value)
{
    FFont = value;
    Invalidate();
}

void TCellGridColumnItem::SetAlignment(TAlignment value)
{
    if (value == FAlignment)
        return;
    FAlignment = value;
    Invalidate();
}

void TCellGridColumnItem::SetHeaderFontColor(TColor value)
{
    FHeaderFontColor = value;
    Invalidate();
}

void TCellGridColumnItem::SetFontColor(TColor value)
{
    FFontColor = value;
    Invalidate();
}

void TCellGridColumnItem::SetEditor(TCellEditor* value)
{
    if (value == FEditor)
        return;
    if (value)
        value->Attach(FGrid); // raises for an editor of another grid
    TCellEditor* old = FEditor;
    FEditor = value;
    if (old)
        old->Detach();
}

void TCellGridColumnItem::ShowEditor(int row)
{
    if (!FEditor)
        return;
    const QRect rect = FGrid->CellRect(FIndex, row);
    auto* meta = dynamic_cast<TMetaCellEditor*>(FEditor);
    QWidget* control = meta ? meta->GetEditorControl() : nullptr;
    if (FEditorInheritsCellProps && control) {
        QPalette palette = control->palette();
        palette.setColor(QPalette::Base, ColorToQColor(FColor));
        palette.setColor(QPalette::Button, ColorToQColor(FColor));
        palette.setColor(QPalette::Text, ColorToQColor(FFontColor));
        palette.setColor(QPalette::ButtonText, ColorToQColor(FFontColor));
        control->setPalette(palette);
        control->setFont(FFont);
    }
    if (!rect.isEmpty()) {
        FEditor->Draw(rect);
    } else if (control && control->isVisible() && control->parentWidget() == FGrid->viewport()) {
        // The cell is scrolled away: the control keeps its text and the focus
        // but leaves the view instead of standing over another cell.
        control->move(-control->width() - 10, -control->height() - 10);
    }
}

void TCellGridColumnItem::Assign(const TCellGridColumnItem& source)
{
    FHeaderColor = source.FHeaderColor;
    FHeaderFont = source.FHeaderFont;
    FHeaderFontColor = source.FHeaderFontColor;
    FColor = source.FColor;
    FFont = source.FFont;
    FFontColor = source.FFontColor;
    FAlignment = source.FAlignment;
    FHeaderAlignment = source.FHeaderAlignment;
    SetCaption(source.Caption());
    SetEditor(nullptr);
    Invalidate();
}

TCellGridColumns::TCellGridColumns(TCellGrid* grid) : FGrid(grid) {}

TCellGridColumns::~TCellGridColumns()
{
    while (!FItems.empty())
        DeleteLast();
}

TCellGridColumnItem* TCellGridColumns::Items(int index) const
{
    return index >= 0 && index < Count() ? FItems[static_cast<size_t>(index)].get() : nullptr;
}

TCellGridColumnItem* TCellGridColumns::Add()
{
    FItems.push_back(std::make_unique<TCellGridColumnItem>(FGrid, Count()));
    return FItems.back().get();
}

void TCellGridColumns::DeleteLast()
{
    if (FItems.empty())
        return;
    // The item leaves the collection before it is freed, so nothing reaches
    // it half destroyed.
    std::unique_ptr<TCellGridColumnItem> item = std::move(FItems.back());
    FItems.pop_back();
    item.reset();
}

void TCellGridColumns::Move(int from, int to)
{
    if (from < 0 || to < 0 || from >= Count() || to >= Count() || from == to)
        return;
    auto first = FItems.begin() + from;
    auto target = FItems.begin() + to;
    if (from < to)
        std::rotate(first, first + 1, target + 1);
    else
        std::rotate(target, first, first + 1);
    Renumber();
}

void TCellGridColumns::Renumber()
{
    for (int i = 0; i < Count(); ++i)
        FItems[static_cast<size_t>(i)]->FIndex = i;
}

void TCellGridColumns::Assign(const TCellGridColumns& source)
{
    // The grid keeps one item per column: the items both have are copied,
    // the others stay as they are.
    const int n = std::min(Count(), source.Count());
    for (int i = 0; i < n; ++i)
        FItems[static_cast<size_t>(i)]->Assign(*source.Items(i));
}

// ============================================================================
// TCellGrid
// ============================================================================

TCellGrid::TCellGrid(QWidget* parent) : QAbstractScrollArea(parent)
{
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    setFrameShape(QFrame::StyledPanel);
    FGridLineColor = clSilver;
    FSelectedColor = clHighlight;
    FSelectedTextColor = clHighlightText;
    FColumns = std::make_unique<TCellGridColumns>(this);
    for (int c = 0; c < ColCount(); ++c)
        FColumns->Add();
    UpdateScrollBars();
}

TCellGrid::~TCellGrid()
{
    // The in-place controls leave the grid's window before it goes.
    ReleaseEditorWindows();
    FColumns.reset();
}

void TCellGrid::ReleaseEditorWindows()
{
    if (!FColumns)
        return;
    for (int c = 0; c < FColumns->Count(); ++c)
        if (TCellEditor* editor = FColumns->Items(c)->Editor())
            editor->ReleaseWindow();
}

// ---- string grid --------------------------------------------------------------

void TCellGrid::SetColCount(int value)
{
    value = std::max(value, 1);
    while (FColumns->Count() > value)
        FColumns->DeleteLast();
    while (FColumns->Count() < value)
        FColumns->Add();
    FCore.SetColCount(value);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetRowCount(int value)
{
    FCore.SetRowCount(value);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetFixedCols(int value)
{
    FCore.SetFixedCols(value);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetFixedRows(int value)
{
    FCore.SetFixedRows(value);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetCells(int col, int row, const std::string& text)
{
    FCore.SetCell(col, row, text);
    InvalidateCell(col, row);
}

void TCellGrid::SetDefaultColWidth(int value)
{
    FCore.SetDefaultColWidth(value);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetDefaultRowHeight(int value)
{
    FCore.SetDefaultRowHeight(value);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetColWidths(int col, int width)
{
    FCore.SetColWidth(col, width);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetRowHeights(int row, int height)
{
    FCore.SetRowHeight(row, height);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetGridLineWidth(int value)
{
    FCore.SetGridLineWidth(value);
    UpdateScrollBars();
    viewport()->update();
}

void TCellGrid::SetOptions(TGridOptions value)
{
    FCore.SetOptions(value);
    viewport()->update();
}

void TCellGrid::SetTopRow(int value)
{
    if (FCore.SetTopLeft(FCore.LeftCol(), value))
        AfterMove(true);
}

void TCellGrid::SetLeftCol(int value)
{
    if (FCore.SetTopLeft(value, FCore.TopRow()))
        AfterMove(true);
}

void TCellGrid::SetColor(TColor value)
{
    FColor = value;
    viewport()->update();
}

void TCellGrid::SetFixedColor(TColor value)
{
    FFixedColor = value;
    viewport()->update();
}

void TCellGrid::SetFontColor(TColor value)
{
    FFontColor = value;
    viewport()->update();
}

void TCellGrid::SetDefaultDrawing(bool value)
{
    FDefaultDrawing = value;
    viewport()->update();
}

void TCellGrid::SetCtl3D(bool value)
{
    FCtl3D = value;
    setFrameShadow(value ? QFrame::Sunken : QFrame::Plain);
}

void TCellGrid::MoveColumn(int from, int to)
{
    if (from < 0 || to < 0 || from >= ColCount() || to >= ColCount() || from == to)
        return;
    FColumns->Move(from, to);
    FCore.MoveColumn(from, to);
    viewport()->update();
}

void TCellGrid::SetEditText(int col, int row, const std::string& value)
{
    // A cell that is gone meanwhile (fewer rows or columns) takes nothing.
    if (col < 0 || row < 0 || col >= ColCount() || row >= RowCount())
        return;
    if (value != FCore.Cell(col, row))
        SetCells(col, row, value);
    if (OnSetEditText)
        OnSetEditText(this, col, row, value);
}

void TCellGrid::InvalidateColumn(int)
{
    viewport()->update();
}

void TCellGrid::InvalidateCell(int col, int row)
{
    const QRect rect = CellRect(col, row);
    if (!rect.isEmpty())
        viewport()->update(rect.adjusted(-FCore.GridLineWidth(), -FCore.GridLineWidth(), FCore.GridLineWidth(),
                                         FCore.GridLineWidth()));
}

void TCellGrid::UpdateScrollBars()
{
    FSyncingScroll = true;
    const int rows = std::max(0, FCore.MaxTopRow() - FCore.FixedRows());
    const int cols = std::max(0, FCore.MaxLeftCol() - FCore.FixedCols());
    verticalScrollBar()->setRange(0, rows);
    verticalScrollBar()->setPageStep(FCore.VisibleRowCount());
    verticalScrollBar()->setValue(FCore.TopRow() - FCore.FixedRows());
    horizontalScrollBar()->setRange(0, cols);
    horizontalScrollBar()->setPageStep(FCore.VisibleColCount());
    horizontalScrollBar()->setValue(FCore.LeftCol() - FCore.FixedCols());
    FSyncingScroll = false;
}

void TCellGrid::SyncScrollBars()
{
    FSyncingScroll = true;
    verticalScrollBar()->setValue(FCore.TopRow() - FCore.FixedRows());
    horizontalScrollBar()->setValue(FCore.LeftCol() - FCore.FixedCols());
    FSyncingScroll = false;
}

void TCellGrid::scrollContentsBy(int, int)
{
    if (FSyncingScroll)
        return;
    if (FCore.SetTopLeft(horizontalScrollBar()->value() + FCore.FixedCols(),
                         verticalScrollBar()->value() + FCore.FixedRows()))
        AfterMove(true);
}

void TCellGrid::AfterMove(bool scrolled)
{
    SyncScrollBars();
    viewport()->update();
    if (scrolled)
        TopLeftChanged();
}

void TCellGrid::TopLeftChanged()
{
    if (FActiveEditor)
        ShowEditor(Col(), Row());
}

void TCellGrid::FocusCell(int col, int row)
{
    if (!FCore.CanSelect(col, row))
        return;
    bool can = true;
    if (OnSelectCell)
        OnSelectCell(this, col, row, can);
    if (!can)
        return;
    const int left = FCore.LeftCol();
    const int top = FCore.TopRow();
    FCore.MoveCurrent(col, row);
    AfterMove(left != FCore.LeftCol() || top != FCore.TopRow());
    if (FCore.Options().testFlag(goAlwaysShowEditor))
        TryShowEditor();
}

void TCellGrid::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    const int left = FCore.LeftCol();
    const int top = FCore.TopRow();
    FCore.SetClientSize(viewport()->width(), viewport()->height());
    UpdateScrollBars();
    if (left != FCore.LeftCol() || top != FCore.TopRow())
        TopLeftChanged();
}

bool TCellGrid::event(QEvent* event)
{
    // With goTabs the grid keeps Tab for itself.
    if (event->type() == QEvent::KeyPress && FCore.Options().testFlag(goTabs)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsTab(key->key())) {
            keyPressEvent(key);
            return true;
        }
    }
    return QAbstractScrollArea::event(event);
}

bool TCellGrid::focusNextPrevChild(bool next)
{
    if (FCore.Options().testFlag(goTabs))
        return false;
    return QAbstractScrollArea::focusNextPrevChild(next);
}

// ---- editing -------------------------------------------------------------------

void TCellGrid::ShowEditor(int col, int row)
{
    TCellGridColumnItem* item = FColumns->Items(col);
    if (!item || !item->Editor())
        return;
    if (OnDrawEditor)
        OnDrawEditor(this, col, row, item->Editor());
    else
        item->ShowEditor(row);
}

bool TCellGrid::CanEditShow()
{
    const TGridOptions options = FCore.Options();
    const bool gridAllows = options.testFlag(goEditing) && !options.testFlag(goRowSelect);
    TCellGridColumnItem* item = FColumns->Items(Col());
    if (gridAllows && hasFocus() && Row() >= FixedRows() && item && item->Editor()) {
        FActiveEditor = item->Editor();
        FActiveEditor->StartEdit();
        FEditCol = Col();
        FEditRow = Row();
        ShowEditor(FEditCol, FEditRow);
    }
    return false;
}

void TCellGrid::TryShowEditor()
{
    if (FActiveEditor)
        return;
    CanEditShow();
}

void TCellGrid::KeyDown(int key, Qt::KeyboardModifiers modifiers)
{
    switch (key) {
    case Qt::Key_F2:
        if (FCore.Options().testFlag(goEditing))
            TryShowEditor();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        if (FCore.Options().testFlag(goEditing))
            TryShowEditor();
        return;
    default: break;
    }
    const TGridCoord target = FCore.KeyTarget(key, modifiers);
    if (target.X != Col() || target.Y != Row())
        FocusCell(target.X, target.Y);
}

void TCellGrid::KeyPress(char32_t key)
{
    if (FImmediateEditMode) {
        if (key >= 32 && FCore.Options().testFlag(goEditing))
            FImmediateKey = key;
        else
            FImmediateKey = 0;
    }
    if (key >= 32 && FCore.Options().testFlag(goEditing))
        TryShowEditor();
    // A key that opened no editor must not start a later one.
    FImmediateKey = 0;
}

void TCellGrid::keyPressEvent(QKeyEvent* event)
{
    const int key = event->key();
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        // Enter opens the cell's editor; where none opens it goes on to the
        // form (its default button).
        KeyDown(key, event->modifiers());
        if (FActiveEditor)
            event->accept();
        else
            event->ignore();
        return;
    }
    const bool navigation = key == Qt::Key_Up || key == Qt::Key_Down || key == Qt::Key_Left
                            || key == Qt::Key_Right || key == Qt::Key_PageUp || key == Qt::Key_PageDown
                            || key == Qt::Key_Home || key == Qt::Key_End || key == Qt::Key_F2
                            || (IsTab(key) && FCore.Options().testFlag(goTabs));
    if (navigation) {
        KeyDown(key, event->modifiers());
        event->accept();
        return;
    }
    const QString text = event->text();
    if (!text.isEmpty() && !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        const std::u32string chars = text.toStdU32String();
        if (!chars.empty() && chars[0] >= 32) {
            KeyPress(chars[0]);
            event->accept();
            return;
        }
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void TCellGrid::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    // A click on the grid leaves an in-place control that still has the
    // focus: its edit is committed as when the focus goes anywhere else.
    if (FActiveEditor) {
        auto* meta = dynamic_cast<TMetaCellEditor*>(FActiveEditor.data());
        if (meta && meta->GetEditorControl() && meta->GetEditorControl()->hasFocus())
            TakeFocusFromEditor();
    }
    const QPoint pos = event->position().toPoint();
    const TGridCoord cell = MouseCoord(pos.x(), pos.y());
    const bool nonFixed = cell.X >= 0 && !FCore.IsFixed(cell.X, cell.Y);
    if (FCore.Options().testFlag(goAlwaysShowEditor) && nonFixed && FActiveEditor)
        FActiveEditor->EndEdit();
    FClickOnCurrent = false;
    bool can = nonFixed;
    if (can && OnSelectCell)
        OnSelectCell(this, cell.X, cell.Y, can);
    if (can) {
        if (FActiveEditor)
            FActiveEditor->Clear();
        FClickOnCurrent = cell.X == Col() && cell.Y == Row();
        if (hasFocus() == false)
            setFocus(Qt::MouseFocusReason);
        const int left = FCore.LeftCol();
        const int top = FCore.TopRow();
        FCore.MoveCurrent(cell.X, cell.Y);
        AfterMove(left != FCore.LeftCol() || top != FCore.TopRow());
        if (FCore.Options().testFlag(goAlwaysShowEditor))
            TryShowEditor();
    }
    event->accept();
}

void TCellGrid::mouseReleaseEvent(QMouseEvent* event)
{
    // A click on the cell that was already current opens its editor.
    if (event->button() == Qt::LeftButton && FClickOnCurrent && FCore.Options().testFlag(goEditing))
        TryShowEditor();
    FClickOnCurrent = false;
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void TCellGrid::mouseDoubleClickEvent(QMouseEvent* event)
{
    const QPoint pos = event->position().toPoint();
    const TGridCoord cell = MouseCoord(pos.x(), pos.y());
    if (event->button() == Qt::LeftButton && cell.X == Col() && cell.Y == Row()
        && FCore.Options().testFlag(goEditing))
        TryShowEditor();
    event->accept();
}

void TCellGrid::TakeFocusFromEditor()
{
    FQuietFocus = true;
    setFocus(Qt::OtherFocusReason);
    FQuietFocus = false;
}

void TCellGrid::focusInEvent(QFocusEvent* event)
{
    QAbstractScrollArea::focusInEvent(event);
    viewport()->update();
    if (!FQuietFocus && FCore.Options().testFlag(goAlwaysShowEditor) && FCore.Options().testFlag(goEditing))
        TryShowEditor();
}

// ---- looks ---------------------------------------------------------------------

void TCellGrid::SetFixedLineColor(TColor value)
{
    FFixedLineColor = value;
    viewport()->update();
}

void TCellGrid::SetGridLineColor(TColor value)
{
    FGridLineColor = value;
    viewport()->update();
}

void TCellGrid::SetSelectedColor(TColor value)
{
    FSelectedColor = value;
    viewport()->update();
}

void TCellGrid::SetSelectedTextColor(TColor value)
{
    FSelectedTextColor = value;
    viewport()->update();
}

void TCellGrid::SetColumns(const TCellGridColumns& value)
{
    FColumns->Assign(value);
}

void TCellGrid::SetMultiLine(bool value)
{
    FMultiLine = value;
    viewport()->update();
}

TGridDrawState TCellGrid::DrawState(int col, int row) const
{
    TGridDrawState state;
    if (FCore.IsFixed(col, row))
        return state | gdFixed;
    const bool focusedCell = col == Col() && row == Row() && hasFocus();
    if (focusedCell)
        state |= gdFocused;
    if (FCore.IsSelected(col, row)
        && (!focusedCell || FCore.Options() & (goDrawFocusSelected | goRowSelect)))
        state |= gdSelected;
    return state;
}

TCellLook TCellGrid::CellLook(int col, int row, TGridDrawState state) const
{
    TCellLook look;
    look.Rect = CellRect(col, row);
    look.TextRect = look.Rect.adjusted(2, 2, -2, -2);
    const TCellGridColumnItem* item = FColumns->Items(col);
    const bool fixedRow = row < FixedRows();
    const bool fixed = state.testFlag(gdFixed) || FCore.IsFixed(col, row);
    look.Background = fixed ? FFixedColor : FColor;
    look.Font = font();
    look.TextColor = FFontColor;
    if (item && fixedRow) {
        look.Background = item->HeaderColor();
        look.Font = item->HeaderFont();
        look.TextColor = item->HeaderFontColor();
    } else if (item && col >= FixedCols()) {
        look.Background = item->Color();
        look.Font = item->Font();
        look.TextColor = item->FontColor();
    }
    if (state.testFlag(gdSelected)) {
        look.Background = FSelectedColor;
        look.TextColor = FSelectedTextColor;
    }
    if (item)
        look.Alignment = fixedRow ? item->HeaderAlignment() : item->Alignment();
    look.Text = Cells(col, row);
    look.WordWrap = FMultiLine;
    look.LineColor = fixed ? FFixedLineColor : FGridLineColor;
    return look;
}

void TCellGrid::DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state)
{
    if (!FDefaultDrawing) {
        if (OnDrawCell)
            OnDrawCell(this, col, row, rect, state);
        return;
    }
    TCellLook look = CellLook(col, row, state);
    look.Rect = rect;
    look.TextRect = rect.adjusted(2, 2, -2, -2);
    painter.setFont(look.Font);
    if (OnCellProps)
        OnCellProps(this, painter, look.Alignment, look.Text, state, row, col);
    painter.fillRect(look.Rect, ColorToQColor(look.Background));
    painter.setPen(ColorToQColor(look.TextColor));
    painter.setFont(look.Font);
    int flags = look.WordWrap ? Qt::TextWordWrap | Qt::AlignTop : Qt::TextSingleLine | Qt::AlignTop;
    switch (look.Alignment) {
    case TAlignment::taLeftJustify: flags |= Qt::AlignLeft; break;
    case TAlignment::taRightJustify: flags |= Qt::AlignRight; break;
    case TAlignment::taCenter: flags |= Qt::AlignHCenter; break;
    }
    painter.save();
    painter.setClipRect(look.Rect);
    painter.drawText(look.TextRect, flags, QString::fromStdString(look.Text));
    painter.restore();
    if (state.testFlag(gdFocused)) {
        painter.save();
        QPen pen(ColorToQColor(look.TextColor));
        pen.setStyle(Qt::DotLine);
        painter.setPen(pen);
        painter.drawRect(look.Rect.adjusted(1, 1, -2, -2));
        painter.restore();
    }
    // The form's own drawing runs with the default drawing off for the moment.
    FDefaultDrawing = false;
    if (OnDrawCell)
        OnDrawCell(this, col, row, rect, state);
    FDefaultDrawing = true;
    QRect frame = rect;
    painter.setPen(ColorToQColor(look.LineColor));
    painter.setBrush(Qt::NoBrush);
    for (int i = 0; i < FCore.GridLineWidth(); ++i) {
        frame.adjust(-1, -1, 1, 1);
        painter.drawRect(frame.adjusted(0, 0, -1, -1));
    }
}

void TCellGrid::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), ColorToQColor(FColor));
    FCanvas = &painter;
    std::vector<int> cols;
    for (int c = 0; c < FixedCols(); ++c)
        cols.push_back(c);
    for (int c = FCore.LeftCol(); c < ColCount(); ++c)
        cols.push_back(c);
    std::vector<int> rows;
    for (int r = 0; r < FixedRows(); ++r)
        rows.push_back(r);
    for (int r = FCore.TopRow(); r < RowCount(); ++r)
        rows.push_back(r);
    for (int r : rows) {
        bool any = false;
        for (int c : cols) {
            const QRect rect = CellRect(c, r);
            if (rect.isEmpty())
                continue;
            any = true;
            painter.save();
            DrawCell(painter, c, r, rect, DrawState(c, r));
            painter.restore();
        }
        if (!any && r >= FixedRows())
            break;
    }
    FCanvas = nullptr;
}

// ============================================================================
// Cell editors
// ============================================================================

TCellEditor::TCellEditor(QObject* owner) : QObject(owner) {}

TCellEditor::~TCellEditor()
{
    if (FGrid) {
        TCellGrid* grid = FGrid;
        if (grid->ActiveEditor() == this)
            grid->SetActiveEditor(nullptr);
        for (int c = 0; c < grid->Columns().Count(); ++c) {
            TCellGridColumnItem* item = grid->Columns().Items(c);
            if (item->Editor() == this)
                item->SetEditor(nullptr);
        }
    }
}

void TCellEditor::Attach(TCellGrid* grid)
{
    if (grid != FGrid && FGrid)
        throw ECellEditorError(FormatAssigned(Name(), ComponentName(FGrid)));
    FGrid = grid;
    ++FAttachCount;
}

void TCellEditor::Detach()
{
    --FAttachCount;
    if (FAttachCount <= 0) {
        FAttachCount = 0;
        // An edit the grid still shows ends unwritten, so the grid can edit again.
        if (FGrid && FGrid->ActiveEditor() == this)
            FGrid->SetActiveEditor(nullptr);
        FGrid = nullptr;
    }
}

void TCellEditor::SetCellText(const std::string& text)
{
    if (FGrid)
        FGrid->SetEditText(FGrid->EditCol(), FGrid->EditRow(), text);
}

// ---- TMetaCellEditor ----------------------------------------------------------

TMetaCellEditor::TMetaCellEditor(QObject* owner) : TCellEditor(owner) {}

TMetaCellEditor::~TMetaCellEditor()
{
    // The edit ends without writing back (the editor is half gone), and the
    // focus goes back to the grid rather than nowhere.
    if (TCellGrid* grid = Grid()) {
        if (grid->ActiveEditor() == this)
            grid->SetActiveEditor(nullptr);
        if (FEditor && FEditor->hasFocus())
            grid->TakeFocusFromEditor();
    }
    if (FEditor) {
        QWidget* control = FEditor;
        FEditor = nullptr;
        delete control;
    }
}

void TMetaCellEditor::Loaded()
{
    InitEditor();
}

void TMetaCellEditor::InitEditor()
{
    if (FEditor)
        return;
    auto* owner = qobject_cast<QWidget*>(parent());
    if (!owner)
        throw ECellEditorError(SNotCellEditor);
    QWidget* control = nullptr;
    try {
        control = CreateEditor(owner);
    } catch (const std::exception&) {
        throw ECellEditorError(SNotCellEditor);
    }
    if (!control)
        throw ECellEditorError(SNotCellEditor);
    FEditor = control;
    PlaceControl();
}

QWidget* TMetaCellEditor::EnsureControl()
{
    if (!FEditor)
        InitEditor();
    return FEditor;
}

void TMetaCellEditor::PlaceControl()
{
    if (!FEditor || !Grid())
        return;
    QWidget* area = Grid()->viewport();
    if (FEditor->parentWidget() != area) {
        FEditor->hide();
        FEditor->setParent(area);
    }
}

void TMetaCellEditor::ParkControl()
{
    if (!FEditor)
        return;
    FEditor->hide();
    auto* owner = qobject_cast<QWidget*>(parent());
    if (FEditor->parentWidget() != owner)
        FEditor->setParent(owner);
}

void TMetaCellEditor::Attach(TCellGrid* grid)
{
    TCellEditor::Attach(grid);
    PlaceControl();
}

void TMetaCellEditor::Detach()
{
    TCellEditor::Detach();
    if (!Grid())
        ParkControl();
}

void TMetaCellEditor::ReleaseWindow()
{
    ParkControl();
}

void TMetaCellEditor::Draw(const QRect& rect)
{
    if (!FEditor)
        return;
    PlaceControl();
    FEditor->setGeometry(rect);
    FEditor->show();
    FEditor->raise();
    FEditor->setFocus(Qt::OtherFocusReason);
}

void TMetaCellEditor::Clear()
{
    TCellGrid* grid = Grid();
    if (grid && grid->ActiveEditor() == this)
        grid->SetActiveEditor(nullptr);
    if (!FEditor)
        return;
    // The focus goes back to the grid rather than wherever the window puts it.
    if (grid && FEditor->hasFocus())
        grid->TakeFocusFromEditor();
    FEditor->hide();
}

void TMetaCellEditor::ControlExit()
{
    TCellGrid* grid = Grid();
    if (FExiting || !grid || grid->ActiveEditor() != this)
        return;
    FExiting = true;
    try {
        EndEdit();
    } catch (...) {
        Clear();
        FExiting = false;
        throw;
    }
    Clear();
    FExiting = false;
}

void TMetaCellEditor::LeaveToGrid()
{
    if (TCellGrid* grid = Grid()) {
        grid->setFocus(Qt::OtherFocusReason);
        ControlExit(); // when the focus did not move (no active window)
    }
}

void TMetaCellEditor::EndByKey(int key, Qt::KeyboardModifiers shift)
{
    QPointer<TCellGrid> grid = Grid();
    ControlExit();
    if (grid) {
        grid->KeyDown(key, shift);
        // An editor that the move opened (goAlwaysShowEditor) keeps the focus.
        if (!grid->ActiveEditor())
            grid->setFocus(Qt::OtherFocusReason);
    }
}

bool TMetaCellEditor::FocusNextControl(bool next)
{
    QPointer<TCellGrid> grid = Grid();
    if (!grid)
        return false;
    grid->TakeFocusFromEditor();
    ControlExit();
    return grid && grid->FocusNextControl(next);
}

// ---- TComboCellEditor ---------------------------------------------------------

TComboCellEditor::TComboCellEditor(QObject* owner) : TMetaCellEditor(owner) {}

TComboBoxStyle TComboCellEditor::Style() const
{
    if (auto* control = qobject_cast<TComboInplace*>(GetEditorControl()))
        return control->Style();
    return FStyle;
}

void TComboCellEditor::SetStyle(TComboBoxStyle value)
{
    FStyle = value;
    if (auto* control = qobject_cast<TComboInplace*>(GetEditorControl()))
        control->SetStyle(value);
}

void TComboCellEditor::SetItems(const std::vector<std::string>& value)
{
    FItems = value;
    if (auto* control = qobject_cast<TComboInplace*>(GetEditorControl())) {
        control->clear();
        control->addItems(QItems());
    }
}

QStringList TComboCellEditor::QItems() const
{
    QStringList list;
    for (const std::string& item : FItems)
        list << QString::fromStdString(item);
    return list;
}

void TComboCellEditor::SetQItems(const QStringList& value)
{
    std::vector<std::string> items;
    for (const QString& item : value)
        items.push_back(item.toStdString());
    SetItems(items);
}

QWidget* TComboCellEditor::CreateEditor(QWidget* owner)
{
    auto* control = new TComboInplace(owner, this);
    control->SetStyle(FStyle);
    return control;
}

void TComboCellEditor::StartEdit()
{
    auto* control = qobject_cast<TComboInplace*>(EnsureControl());
    TCellGrid* grid = Grid();
    if (!control || !grid)
        return;
    control->clear();
    control->addItems(QItems());
    const QString cell = QString::fromStdString(grid->GetEditText(grid->Col(), grid->Row()));
    const bool editable = TZor_ComboEntry::Editable(control->Style());
    if (const char32_t key = grid->ImmediateKey()) {
        // The typed key chooses or starts the value: a list keeps the cell's
        // own item when the key matches none, an edit box starts empty.
        if (editable)
            control->setEditText(QString());
        else
            control->setCurrentIndex(control->findText(cell, Qt::MatchExactly));
        const QString typed = QString::fromStdU32String(std::u32string(1, key));
        const QString upper = typed.toUpper();
        const int code = upper.size() == 1 ? upper.at(0).unicode() : static_cast<int>(key);
        QCoreApplication::postEvent(control, new QKeyEvent(QEvent::KeyPress, code, Qt::NoModifier, typed));
        grid->ClearImmediateKey();
        return;
    }
    if (editable)
        control->setEditText(cell);
    else
        control->setCurrentIndex(control->findText(cell, Qt::MatchExactly));
    if (control->currentText().isEmpty()) {
        const QString text = QString::fromStdString(DefaultText());
        if (editable)
            control->setEditText(text);
        else
            control->setCurrentIndex(control->findText(text, Qt::MatchExactly));
    }
}

void TComboCellEditor::EndEdit()
{
    auto* control = qobject_cast<TComboInplace*>(GetEditorControl());
    if (control && Grid())
        SetCellText(control->currentText().toStdString());
}

// ---- TMaskEditCellEditor -------------------------------------------------------

TMaskEditCellEditor::TMaskEditCellEditor(QObject* owner) : TMetaCellEditor(owner) {}

std::string TMaskEditCellEditor::EditMask() const
{
    if (auto* control = qobject_cast<TMaskEditInplace*>(GetEditorControl()))
        return control->EditMask();
    return FEditMask;
}

void TMaskEditCellEditor::SetEditMask(const std::string& value)
{
    FEditMask = value;
    if (auto* control = qobject_cast<TMaskEditInplace*>(GetEditorControl()))
        control->SetEditMask(value);
}

QWidget* TMaskEditCellEditor::CreateEditor(QWidget* owner)
{
    auto* control = new TMaskEditInplace(owner, this);
    control->SetEditMask(FEditMask);
    return control;
}

void TMaskEditCellEditor::StartEdit()
{
    auto* control = qobject_cast<TMaskEditInplace*>(EnsureControl());
    TCellGrid* grid = Grid();
    if (!control || !grid)
        return;
    if (const char32_t key = grid->ImmediateKey()) {
        control->SetText(QString::fromStdU32String(std::u32string(1, key)).toStdString());
        grid->ClearImmediateKey();
        // The caret stands behind the typed character, so typing goes on.
        const TEditMaskForm form = ParseEditMask(control->EditMask());
        int pos = 0;
        while (pos < static_cast<int>(form.Literal.size()) && form.Literal[static_cast<size_t>(pos)])
            ++pos;
        const bool taken = !control->Text().empty() && control->displayText() != control->inputMask();
        control->setCursorPosition(form.Literal.empty() ? static_cast<int>(control->text().size())
                                                        : (taken ? pos + 1 : pos));
        return;
    }
    std::string text = grid->GetEditText(grid->Col(), grid->Row());
    if (text.empty())
        text = DefaultText();
    control->SetText(text);
    control->selectAll();
}

void TMaskEditCellEditor::EndEdit()
{
    auto* control = qobject_cast<TMaskEditInplace*>(GetEditorControl());
    if (control && Grid())
        SetCellText(control->Text());
}

void TMaskEditCellEditor::Draw(const QRect& rect)
{
    TMetaCellEditor::Draw(rect.adjusted(1, 1, -1, -1));
}

// ============================================================================
// Edit masks
// ============================================================================

TEditMaskForm ParseEditMask(const std::string& editMask)
{
    TEditMaskForm form;
    const QString all = QString::fromStdString(editMask);
    // Fields are separated by ";" that no "\" escapes.
    QStringList fields;
    QString current;
    for (qsizetype i = 0; i < all.size(); ++i) {
        const QChar c = all.at(i);
        if (c == u'\\' && i + 1 < all.size()) {
            current += c;
            current += all.at(++i);
        } else if (c == u';') {
            fields << current;
            current.clear();
        } else {
            current += c;
        }
    }
    fields << current;
    const QString mask = fields.value(0);
    if (fields.size() > 1 && fields.at(1).trimmed() == u"0")
        form.SaveLiterals = false;
    if (fields.size() > 2 && !fields.at(2).isEmpty())
        form.Blank = fields.at(2).at(0);
    if (mask.isEmpty())
        return form;
    const QString qtSpecial = QStringLiteral("AaNnXx90Dd#HhBb<>!\\[]{}");
    QString out;
    for (qsizetype i = 0; i < mask.size(); ++i) {
        const QChar c = mask.at(i);
        switch (c.unicode()) {
        case '\\':
            // A literal ";" cannot be told apart from the blank field of the
            // edit's mask, so it is left out.
            if (i + 1 < mask.size() && mask.at(i + 1) != u';') {
                const QChar next = mask.at(++i);
                out += qtSpecial.contains(next) ? QString(u'\\') + next : QString(next);
                form.Literal.push_back(true);
            } else {
                ++i;
            }
            break;
        case '>':
        case '<':
            if (c == u'<' && i + 1 < mask.size() && mask.at(i + 1) == u'>') {
                out += u'!';
                ++i;
            } else {
                out += c;
            }
            break;
        case '!': break;
        case 'L': out += u'A'; form.Literal.push_back(false); break;
        case 'l': out += u'a'; form.Literal.push_back(false); break;
        case 'A': out += u'N'; form.Literal.push_back(false); break;
        case 'a': out += u'n'; form.Literal.push_back(false); break;
        case 'C': out += u'X'; form.Literal.push_back(false); break;
        case 'c': out += u'x'; form.Literal.push_back(false); break;
        case '0': out += u'9'; form.Literal.push_back(false); break;
        case '9': out += u'0'; form.Literal.push_back(false); break;
        case '#': out += u'#'; form.Literal.push_back(false); break;
        case '_': out += u' '; form.Literal.push_back(true); break;
        default:
            out += qtSpecial.contains(c) ? QString(u'\\') + c : QString(c);
            form.Literal.push_back(true);
            break;
        }
    }
    form.InputMask = out + u';' + form.Blank;
    return form;
}

std::string MaskedText(const TEditMaskForm& mask, const QString& displayText)
{
    if (mask.InputMask.isEmpty())
        return displayText.toStdString();
    QString out;
    for (qsizetype i = 0; i < displayText.size(); ++i) {
        const bool literal = i < static_cast<qsizetype>(mask.Literal.size()) && mask.Literal[static_cast<size_t>(i)];
        if (literal) {
            if (mask.SaveLiterals)
                out += displayText.at(i);
        } else if (displayText.at(i) != mask.Blank) {
            out += displayText.at(i);
        }
    }
    return out.toStdString();
}

// ============================================================================
// In-place controls
// ============================================================================

bool ComboKeyEndsEdit(int key, TComboBoxStyle style, bool tabs, bool hasSelection, int caret, int textLength)
{
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return tabs;
    case Qt::Key_Left: return (!hasSelection && caret == 0) || style != TComboBoxStyle::csDropDown;
    case Qt::Key_Right: return (!hasSelection && caret >= textLength) || style != TComboBoxStyle::csDropDown;
    default: return false;
    }
}

bool MaskKeyEndsEdit(int key, bool tabs, bool* examined)
{
    bool looked = true;
    bool ends = false;
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: ends = tabs; break;
    case Qt::Key_Up:
    case Qt::Key_Down: ends = true; break;
    default: looked = false; break;
    }
    if (examined)
        *examined = looked;
    return ends;
}

namespace {

bool GridTabs(const TCellEditor* editor)
{
    return editor && editor->Grid() && editor->Grid()->Options().testFlag(goTabs);
}

// The in-place controls' look: flat, out of the tab order, hidden until used.
void MakeInplace(QWidget* control)
{
    control->hide();
    control->setFocusPolicy(Qt::ClickFocus);
    control->setAttribute(Qt::WA_MacShowFocusRect, false);
}

// The exit: the focus left for another control (a popup or another window is none).
bool IsExit(const QFocusEvent* event)
{
    return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

} // namespace

TComboInplace::TComboInplace(QWidget* owner, TComboCellEditor* editor) : QComboBox(owner), FCellEditor(editor)
{
    MakeInplace(this);
    setFrame(false);
    SetStyle(FStyle);
}

void TComboInplace::SetStyle(TComboBoxStyle value)
{
    FStyle = value;
    setEditable(TZor_ComboEntry::Editable(value));
    if (QLineEdit* edit = lineEdit())
        edit->setFrame(false);
}

bool TComboInplace::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress && GridTabs(FCellEditor)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsTab(key->key())) {
            keyPressEvent(key);
            return true;
        }
    }
    return QComboBox::event(event);
}

// The keys both in-place controls answer alike. `examined` tells whether the
// key is one whose end of edit the form may decide (AllowEndEditEvent). True
// when the key was used here; false hands it to the control itself.
static bool HandleInplaceKey(TObject* control, TMetaCellEditor* editor, QKeyEvent* event, bool examined, bool endEdit)
{
    int key = event->key();
    const Qt::KeyboardModifiers shift = event->modifiers();
    if (examined) {
        if (editor && editor->AllowEndEditEvent)
            editor->AllowEndEditEvent(control, key, shift, endEdit);
        if (endEdit && editor) {
            event->accept();
            editor->EndByKey(key, shift);
            return true;
        }
        if (key == 0) {
            event->accept();
            return true;
        }
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        if (editor)
            editor->LeaveToGrid();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: event->accept(); return true;
    case Qt::Key_Escape:
        // Escape drops the edit: the cell keeps its text.
        event->accept();
        if (editor)
            editor->Clear();
        return true;
    default: return false;
    }
}

void TComboInplace::keyPressEvent(QKeyEvent* event)
{
    const QLineEdit* edit = lineEdit();
    const bool hasSelection = edit && edit->hasSelectedText();
    const int caret = edit ? edit->cursorPosition() : 0;
    const int length = edit ? static_cast<int>(edit->text().size()) : 0;
    const bool endEdit = ComboKeyEndsEdit(event->key(), FStyle, GridTabs(FCellEditor), hasSelection, caret, length);
    if (!HandleInplaceKey(this, FCellEditor, event, true, endEdit))
        QComboBox::keyPressEvent(event);
}

bool TComboInplace::focusNextPrevChild(bool next)
{
    if (FCellEditor && FCellEditor->Grid())
        return FCellEditor->FocusNextControl(next);
    return QComboBox::focusNextPrevChild(next);
}

void TComboInplace::focusOutEvent(QFocusEvent* event)
{
    if (IsExit(event) && FCellEditor)
        FCellEditor->ControlExit();
    QComboBox::focusOutEvent(event);
}

TMaskEditInplace::TMaskEditInplace(QWidget* owner, TMaskEditCellEditor* editor) : QLineEdit(owner), FCellEditor(editor)
{
    MakeInplace(this);
    setFrame(false);
}

void TMaskEditInplace::SetEditMask(const std::string& value)
{
    FEditMask = value;
    FMask = ParseEditMask(value);
    setInputMask(FMask.InputMask);
}

std::string TMaskEditInplace::Text() const
{
    return MaskedText(FMask, displayText());
}

void TMaskEditInplace::SetText(const std::string& value)
{
    setText(QString::fromStdString(value));
}

bool TMaskEditInplace::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress && GridTabs(FCellEditor)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsTab(key->key())) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TMaskEditInplace::keyPressEvent(QKeyEvent* event)
{
    bool examined = false;
    const bool endEdit = MaskKeyEndsEdit(event->key(), GridTabs(FCellEditor), &examined);
    if (!HandleInplaceKey(this, FCellEditor, event, examined, endEdit))
        QLineEdit::keyPressEvent(event);
}

bool TMaskEditInplace::focusNextPrevChild(bool next)
{
    if (FCellEditor && FCellEditor->Grid())
        return FCellEditor->FocusNextControl(next);
    return QLineEdit::focusNextPrevChild(next);
}

void TMaskEditInplace::focusOutEvent(QFocusEvent* event)
{
    if (IsExit(event) && FCellEditor)
        FCellEditor->ControlExit();
    QLineEdit::focusOutEvent(event);
}

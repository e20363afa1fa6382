#include "radioplugin/CellGrid.h"

#include "radioplugin/CellEditors.h"
#include "radioplugin/CellGridWidget.h"

#include <QStringList>

#include <algorithm>

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

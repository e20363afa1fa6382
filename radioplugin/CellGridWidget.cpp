#include "radioplugin/CellGridWidget.h"

#include "platform/KeyText.h"

#include <QFocusEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>

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
    // Delete comes with the character 0x7F and types nothing: it opens no
    // editor (platform/KeyText.h).
    if (!(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier))) {
        if (const char32_t typed = TypedCharacter(*event)) {
            KeyPress(typed);
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

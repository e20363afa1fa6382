#pragma once
// The string grid with cell editors: the widget.
//
// TCellGrid keeps a TStringGridCore (CellGrid.h) and paints, scrolls and
// routes keys and mouse through it. Its columns are column items; a column
// with a cell editor (TComboCellEditor, TMaskEditCellEditor in
// CellEditors.h) is edited in the editor's in-place control, which the grid
// shows over the cell being edited.
//
// GUI thread only.
#include "radioplugin/CellEditors.h"
#include "radioplugin/CellGrid.h"

#include <QAbstractScrollArea>
#include <QPointer>

#include <functional>

class QPainter;

// ---- The grid -------------------------------------------------------------------

using TDrawEditorEvent = std::function<void(TObject* Sender, int ACol, int ARow, TCellEditor* Editor)>;
using TCellPropsEvent = std::function<void(TObject* Sender, QPainter& Canvas, TAlignment& Alignment,
                                           std::string& CellText, TGridDrawState AState, int Row, int Col)>;
using TDrawCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, const QRect& Rect,
                                          TGridDrawState State)>;
using TSetEditEvent = std::function<void(TObject* Sender, int ACol, int ARow, const std::string& Value)>;
using TSelectCellEvent = std::function<void(TObject* Sender, int ACol, int ARow, bool& CanSelect)>;

// How one cell is painted: what the grid's default drawing decides.
struct TCellLook {
    QRect Rect;            // the cell, filled with Background
    QRect TextRect;        // Rect shrunk by 2 pixels on each side
    TColor Background = 0;
    TColor TextColor = 0;
    QFont Font;
    TAlignment Alignment = TAlignment::taLeftJustify;
    std::string Text;
    bool WordWrap = false;
    TColor LineColor = 0;  // the frame drawn around the cell
};

class TCellGrid : public QAbstractScrollArea, public TObject {
    Q_OBJECT
    Q_PROPERTY(TColor FixedLineColor READ FixedLineColor WRITE SetFixedLineColor)
    Q_PROPERTY(TColor GridLineColor READ GridLineColor WRITE SetGridLineColor)
    Q_PROPERTY(TColor SelectedColor READ SelectedColor WRITE SetSelectedColor)
    Q_PROPERTY(TColor SelectedTextColor READ SelectedTextColor WRITE SetSelectedTextColor)
    Q_PROPERTY(bool MultiLine READ MultiLine WRITE SetMultiLine)
    Q_PROPERTY(bool ImmediateEditMode READ ImmediateEditMode WRITE SetImmediateEditMode)
    Q_PROPERTY(bool Ctl3D READ Ctl3D WRITE SetCtl3D)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(TColor FixedColor READ FixedColor WRITE SetFixedColor)
    Q_PROPERTY(TColor FontColor READ FontColor WRITE SetFontColor)
    Q_PROPERTY(int ColCount READ ColCount WRITE SetColCount)
    Q_PROPERTY(int RowCount READ RowCount WRITE SetRowCount)
    Q_PROPERTY(int FixedCols READ FixedCols WRITE SetFixedCols)
    Q_PROPERTY(int FixedRows READ FixedRows WRITE SetFixedRows)
    Q_PROPERTY(int DefaultColWidth READ DefaultColWidth WRITE SetDefaultColWidth)
    Q_PROPERTY(int DefaultRowHeight READ DefaultRowHeight WRITE SetDefaultRowHeight)
    Q_PROPERTY(bool DefaultDrawing READ DefaultDrawing WRITE SetDefaultDrawing)

public:
    explicit TCellGrid(QWidget* parent = nullptr);
    ~TCellGrid() override;

    // ---- the string grid
    int ColCount() const { return FCore.ColCount(); }
    // Fewer columns free the surplus items from the last one down, more add items.
    void SetColCount(int value);
    int RowCount() const { return FCore.RowCount(); }
    void SetRowCount(int value);
    int FixedCols() const { return FCore.FixedCols(); }
    void SetFixedCols(int value);
    int FixedRows() const { return FCore.FixedRows(); }
    void SetFixedRows(int value);
    std::string Cells(int col, int row) const { return FCore.Cell(col, row); }
    void SetCells(int col, int row, const std::string& text);
    std::intptr_t Objects(int col, int row) const { return FCore.Object(col, row); }
    void SetObjects(int col, int row, std::intptr_t object) { FCore.SetObject(col, row, object); }
    int DefaultColWidth() const { return FCore.DefaultColWidth(); }
    void SetDefaultColWidth(int value);
    int DefaultRowHeight() const { return FCore.DefaultRowHeight(); }
    void SetDefaultRowHeight(int value);
    int ColWidths(int col) const { return FCore.ColWidth(col); }
    void SetColWidths(int col, int width);
    int RowHeights(int row) const { return FCore.RowHeight(row); }
    void SetRowHeights(int row, int height);
    int GridLineWidth() const { return FCore.GridLineWidth(); }
    void SetGridLineWidth(int value);
    TGridOptions Options() const { return FCore.Options(); }
    void SetOptions(TGridOptions value);
    int Col() const { return FCore.Col(); }
    void SetCol(int value) { FocusCell(value, Row()); }
    int Row() const { return FCore.Row(); }
    void SetRow(int value) { FocusCell(Col(), value); }
    int TopRow() const { return FCore.TopRow(); }
    void SetTopRow(int value);
    int LeftCol() const { return FCore.LeftCol(); }
    void SetLeftCol(int value);
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    TColor FixedColor() const { return FFixedColor; }
    void SetFixedColor(TColor value);
    // The text colour of the grid's font (font() is the grid's font).
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor value);
    bool DefaultDrawing() const { return FDefaultDrawing; }
    void SetDefaultDrawing(bool value);
    void MoveColumn(int from, int to);
    bool Ctl3D() const { return FCtl3D; }
    void SetCtl3D(bool value);
    // The cell rectangle in the coordinates of the drawing area (viewport()).
    QRect CellRect(int col, int row) const { return FCore.CellRect(col, row); }
    TGridCoord MouseCoord(int x, int y) const { return FCore.MouseCoord(x, y); }
    // The painter while a cell is being drawn (OnDrawCell, OnCellProps); none otherwise.
    QPainter* Canvas() const { return FCanvas; }
    // The cell text an editor starts from.
    std::string GetEditText(int col, int row) const { return Cells(col, row); }
    // Stores an edited text: the cell, then OnSetEditText.
    void SetEditText(int col, int row, const std::string& value);
    // The grid's handling of a key (what the grid does when it has the focus).
    void KeyDown(int key, Qt::KeyboardModifiers modifiers);
    // The focus comes back from an in-place control: no editor opens for it.
    void TakeFocusFromEditor();
    // Moves the focus on from the grid to the next or previous control.
    bool FocusNextControl(bool next) { return QAbstractScrollArea::focusNextPrevChild(next); }
    const TStringGridCore& Core() const { return FCore; }

    TDrawCellEvent OnDrawCell;
    TSetEditEvent OnSetEditText;
    TSelectCellEvent OnSelectCell;

    // ---- the cell grid
    TColor FixedLineColor() const { return FFixedLineColor; }
    void SetFixedLineColor(TColor value);
    TColor GridLineColor() const { return FGridLineColor; }
    void SetGridLineColor(TColor value);
    TColor SelectedColor() const { return FSelectedColor; }
    void SetSelectedColor(TColor value);
    TColor SelectedTextColor() const { return FSelectedTextColor; }
    void SetSelectedTextColor(TColor value);
    TCellGridColumns& Columns() { return *FColumns; }
    const TCellGridColumns& Columns() const { return *FColumns; }
    // Copies the definitions (editors are not copied).
    void SetColumns(const TCellGridColumns& value);
    bool MultiLine() const { return FMultiLine; }
    void SetMultiLine(bool value);
    bool ImmediateEditMode() const { return FImmediateEditMode; }
    void SetImmediateEditMode(bool value) { FImmediateEditMode = value; }

    TDrawEditorEvent OnDrawEditor;
    TCellPropsEvent OnCellProps;

    // The key an editor opened by typing starts with (0: none).
    char32_t ImmediateKey() const { return FImmediateKey; }
    void ClearImmediateKey() { FImmediateKey = 0; }
    // The cell an editor writes back to.
    int EditCol() const { return FEditCol; }
    int EditRow() const { return FEditRow; }
    // The editor shown over a cell, or none.
    TCellEditor* ActiveEditor() const { return FActiveEditor; }
    void SetActiveEditor(TCellEditor* value) { FActiveEditor = value; }

    // Places the column's editor over (col, row): OnDrawEditor when assigned,
    // else the column item's ShowEditor.
    virtual void ShowEditor(int col, int row);
    // Asked whenever the grid would open an editor: opens the column's cell
    // editor when it has one. Always false (the grid has no editor of its own).
    bool CanEditShow();
    // The grid's look of a cell (what the default drawing paints).
    TCellLook CellLook(int col, int row, TGridDrawState state) const;
    TGridDrawState DrawState(int col, int row) const;

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    bool focusNextPrevChild(bool next) override;
    bool event(QEvent* event) override;

    // A cell is drawn (default drawing on: the look, OnDrawCell, the lines).
    virtual void DrawCell(QPainter& painter, int col, int row, const QRect& rect, TGridDrawState state);
    // The top-left cell changed: the active editor follows its cell.
    virtual void TopLeftChanged();
    // A typed character (step of the grid's own character handling).
    void KeyPress(char32_t key);

private:
    friend class TCellGridColumnItem;
    void InvalidateColumn(int col);
    void InvalidateCell(int col, int row);
    void FocusCell(int col, int row);
    void UpdateScrollBars();
    void SyncScrollBars();
    void AfterMove(bool scrolled);
    // Opens the current column's editor if there is one (the grid's ShowEditor).
    void TryShowEditor();
    void ReleaseEditorWindows();

    TStringGridCore FCore;
    // The cell grid's own fields.
    char32_t FImmediateKey = 0;
    int FEditCol = -1;
    int FEditRow = -1;
    bool FMultiLine = false;
    QPointer<TCellEditor> FActiveEditor;
    std::unique_ptr<TCellGridColumns> FColumns;
    bool FImmediateEditMode = false;
    TColor FFixedLineColor = clBlack;
    TColor FGridLineColor = clSilver;
    TColor FSelectedTextColor = clHighlightText;
    TColor FSelectedColor = clHighlight;
    // The string grid's.
    TColor FColor = clWindow;
    TColor FFixedColor = clBtnFace;
    TColor FFontColor = clWindowText;
    bool FDefaultDrawing = true;
    bool FCtl3D = true;
    QPainter* FCanvas = nullptr;
    bool FSyncingScroll = false;
    bool FClickOnCurrent = false;
    bool FQuietFocus = false;
};

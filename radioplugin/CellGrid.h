#pragma once
// The string grid with cell editors.
//
// TCellGrid is a string grid whose columns are described by column items
// (TCellGridColumns / TCellGridColumnItem): header and cell colours, fonts,
// alignments and, optionally, a cell editor. A cell editor (TComboCellEditor,
// TMaskEditCellEditor) is a component of the form; it owns an in-place
// control (TComboInplace, TMaskEditInplace) that the grid shows over the cell
// being edited. Only columns with a cell editor can be edited: the grid has no
// editor of its own.
//
// What a string grid is without a window - cells and their objects, sizes,
// the current cell, scrolling, navigation by keys and the cell under the
// mouse - is TStringGridCore, which the tests drive directly. The widget
// keeps one and paints, scrolls and routes keys and mouse through it.
//
// GUI thread only.
#include "controls/Zor_Pattern.h"
#include "controls/Zor_StandardControls.h"
#include "platform/Exception.h"
#include "platform/Object.h"

#include <QAbstractScrollArea>
#include <QComboBox>
#include <QFlags>
#include <QFont>
#include <QLineEdit>
#include <QPointer>
#include <QRect>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QPainter;
class TCellGrid;
class TCellEditor;

// ---- Grid options and draw state ---------------------------------------------

enum TGridOption : unsigned {
    goFixedVertLine = 1u << 0,
    goFixedHorzLine = 1u << 1,
    goVertLine = 1u << 2,
    goHorzLine = 1u << 3,
    goRangeSelect = 1u << 4,
    goDrawFocusSelected = 1u << 5,
    goRowSizing = 1u << 6,
    goColSizing = 1u << 7,
    goRowMoving = 1u << 8,
    goColMoving = 1u << 9,
    goEditing = 1u << 10,
    goTabs = 1u << 11,
    goRowSelect = 1u << 12,
    goAlwaysShowEditor = 1u << 13,
    goThumbTracking = 1u << 14,
};
Q_DECLARE_FLAGS(TGridOptions, TGridOption)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridOptions)

inline constexpr TGridOptions DefaultGridOptions()
{
    return TGridOptions(goFixedVertLine | goFixedHorzLine | goVertLine | goHorzLine | goRangeSelect);
}

enum TGridDrawStateFlag : unsigned { gdSelected = 1u << 0, gdFocused = 1u << 1, gdFixed = 1u << 2 };
Q_DECLARE_FLAGS(TGridDrawState, TGridDrawStateFlag)
Q_DECLARE_OPERATORS_FOR_FLAGS(TGridDrawState)

// A cell address; -1/-1 is none.
struct TGridCoord {
    int X = -1; // column
    int Y = -1; // row
    bool operator==(const TGridCoord&) const = default;
};

// ---- The string grid without a window ----------------------------------------

class TStringGridCore {
public:
    static constexpr int DefaultColWidthValue = 64;
    static constexpr int DefaultRowHeightValue = 24;

    TStringGridCore();

    int ColCount() const { return FColCount; }
    int RowCount() const { return FRowCount; }
    // Counts below 1 become 1; fixed counts and the current cell follow.
    void SetColCount(int value);
    void SetRowCount(int value);
    int FixedCols() const { return FFixedCols; }
    int FixedRows() const { return FFixedRows; }
    // At most one less than the count (a grid keeps one cell to select).
    void SetFixedCols(int value);
    void SetFixedRows(int value);

    // Texts and objects of the cells; outside the grid a read gives "" and 0
    // and a write does nothing.
    const std::string& Cell(int col, int row) const;
    void SetCell(int col, int row, const std::string& text);
    std::intptr_t Object(int col, int row) const;
    void SetObject(int col, int row, std::intptr_t object);

    int DefaultColWidth() const { return FDefaultColWidth; }
    void SetDefaultColWidth(int value); // every column takes it
    int DefaultRowHeight() const { return FDefaultRowHeight; }
    void SetDefaultRowHeight(int value); // every row takes it
    int ColWidth(int col) const;
    void SetColWidth(int col, int width);
    int RowHeight(int row) const;
    void SetRowHeight(int row, int height);
    int GridLineWidth() const { return FGridLineWidth; }
    void SetGridLineWidth(int value);

    TGridOptions Options() const { return FOptions; }
    void SetOptions(TGridOptions value) { FOptions = value; }

    // The current cell, always a cell outside the fixed ones.
    int Col() const { return FCol; }
    int Row() const { return FRow; }
    // Makes (col, row) current and scrolls it into view; false when it is no
    // cell that can be selected.
    bool MoveCurrent(int col, int row);
    bool IsFixed(int col, int row) const { return col < FFixedCols || row < FFixedRows; }
    bool CanSelect(int col, int row) const;
    bool IsSelected(int col, int row) const;

    // The first scrollable column and row on view.
    int LeftCol() const { return FLeftCol; }
    int TopRow() const { return FTopRow; }
    // Returns whether the top-left cell changed (clamped to the scroll range).
    bool SetTopLeft(int leftCol, int topRow);
    int MaxLeftCol() const;
    int MaxTopRow() const;

    // The client area the grid draws into.
    void SetClientSize(int width, int height);
    int ClientWidth() const { return FClientWidth; }
    int ClientHeight() const { return FClientHeight; }

    // The rectangle of a cell in client coordinates, without its grid lines;
    // empty for a cell that is scrolled away or outside the grid.
    QRect CellRect(int col, int row) const;
    // The cell under a point of the client area; -1/-1 when there is none.
    TGridCoord MouseCoord(int x, int y) const;
    // The scrollable columns and rows that fit wholly (at least one).
    int VisibleColCount() const;
    int VisibleRowCount() const;

    // Where a navigation key takes the current cell (Qt key codes: arrows,
    // Home, End, PageUp, PageDown, Tab and Backtab with goTabs). The current
    // cell when the key moves nothing.
    TGridCoord KeyTarget(int key, Qt::KeyboardModifiers modifiers) const;

    // Moves a column (texts, objects, width) to a new index.
    void MoveColumn(int from, int to);

private:
    struct TCell {
        std::string Text;
        std::intptr_t Object = 0;
    };
    TCell* At(int col, int row);
    const TCell* At(int col, int row) const;
    void Resize(int cols, int rows);
    void ClampCurrent();
    void ScrollInView(int col, int row);
    int FixedWidth() const;
    int FixedHeight() const;
    // The first column whose start lies at or beyond `pixels` of scrollable
    // width from the right end (the last left column that still fills the view).
    int LastStart(const std::vector<int>& sizes, int fixedCount, int fixedExtent, int clientExtent) const;

    int FColCount = 5;
    int FRowCount = 5;
    int FFixedCols = 1;
    int FFixedRows = 1;
    std::vector<TCell> FCells; // column-major: col * FRowCount + row
    std::vector<int> FColWidths;
    std::vector<int> FRowHeights;
    int FDefaultColWidth = DefaultColWidthValue;
    int FDefaultRowHeight = DefaultRowHeightValue;
    int FGridLineWidth = 1;
    TGridOptions FOptions = DefaultGridOptions();
    int FCol = 1;
    int FRow = 1;
    int FLeftCol = 1;
    int FTopRow = 1;
    int FClientWidth = 0;
    int FClientHeight = 0;
};

// ---- Errors --------------------------------------------------------------------

class ECellEditorError : public Exception {
public:
    using Exception::Exception;
};

// ---- Columns ---------------------------------------------------------------------

class TCellGridColumnItem : public QObject, public TObject {
    Q_OBJECT
    Q_PROPERTY(TColor HeaderColor READ HeaderColor WRITE SetHeaderColor)
    Q_PROPERTY(QFont HeaderFont READ HeaderFont WRITE SetHeaderFont)
    Q_PROPERTY(Zor_StandardControls::TAlignment HeaderAlignment READ HeaderAlignment WRITE SetHeaderAlignment)
    Q_PROPERTY(QString Caption READ QCaption WRITE SetQCaption)
    Q_PROPERTY(TColor Color READ Color WRITE SetColor)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
    Q_PROPERTY(Zor_StandardControls::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(bool EditorInheritsCellProps READ EditorInheritsCellProps WRITE SetEditorInheritsCellProps)
    Q_PROPERTY(TColor HeaderFontColor READ HeaderFontColor WRITE SetHeaderFontColor)
    Q_PROPERTY(TColor FontColor READ FontColor WRITE SetFontColor)

public:
    // Made by the collection only; takes colours and fonts from the grid.
    TCellGridColumnItem(TCellGrid* grid, int index);
    ~TCellGridColumnItem() override;

    TCellGrid* Grid() const { return FGrid; }
    // The item's place in the collection, which is its column.
    int Index() const { return FIndex; }

    TColor HeaderColor() const { return FHeaderColor; }
    void SetHeaderColor(TColor value);
    const QFont& HeaderFont() const { return FHeaderFont; }
    void SetHeaderFont(const QFont& value);
    TAlignment HeaderAlignment() const { return FHeaderAlignment; }
    void SetHeaderAlignment(TAlignment value);
    // Kept as the grid's cell in row 0 of the column.
    std::string Caption() const;
    void SetCaption(const std::string& value);
    QString QCaption() const { return QString::fromStdString(Caption()); }
    void SetQCaption(const QString& value) { SetCaption(value.toStdString()); }
    TColor Color() const { return FColor; }
    void SetColor(TColor value);
    // Kept as the grid's width of the column.
    int Width() const;
    void SetWidth(int value);
    const QFont& Font() const { return FFont; }
    void SetFont(const QFont& value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    TCellEditor* Editor() const { return FEditor; }
    // Attaches the new editor before the old one lets go; an editor of
    // another grid raises ECellEditorError and the column keeps its editor.
    void SetEditor(TCellEditor* value);
    bool EditorInheritsCellProps() const { return FEditorInheritsCellProps; }
    void SetEditorInheritsCellProps(bool value) { FEditorInheritsCellProps = value; }
    // A QFont has no colour: the text colours of the two fonts are kept here,
    // from the grid's font colour at creation.
    TColor HeaderFontColor() const { return FHeaderFontColor; }
    void SetHeaderFontColor(TColor value);
    TColor FontColor() const { return FFontColor; }
    void SetFontColor(TColor value);

    // Places the column's editor over the cell in row `row`.
    virtual void ShowEditor(int row);

    // Copies looks and caption from another item; the editor becomes none.
    void Assign(const TCellGridColumnItem& source);

private:
    friend class TCellGridColumns;
    void Invalidate();

    TCellGrid* FGrid;
    int FIndex;
    TColor FHeaderColor;
    QFont FHeaderFont;
    TAlignment FHeaderAlignment = TAlignment::taLeftJustify;
    TColor FColor;
    QFont FFont;
    TAlignment FAlignment = TAlignment::taLeftJustify;
    TCellEditor* FEditor = nullptr;
    bool FEditorInheritsCellProps = false;
    TColor FHeaderFontColor;
    TColor FFontColor;
};

class TCellGridColumns : public QObject {
    Q_OBJECT
public:
    explicit TCellGridColumns(TCellGrid* grid);
    ~TCellGridColumns() override;

    TCellGrid* Grid() const { return FGrid; }
    int Count() const { return static_cast<int>(FItems.size()); }
    // Outside the collection: none.
    TCellGridColumnItem* Items(int index) const;
    TCellGridColumnItem* Add();
    // Frees the last item.
    void DeleteLast();
    // Moves an item to a new index (the others close up).
    void Move(int from, int to);
    // Makes as many items as the source has and copies each.
    void Assign(const TCellGridColumns& source);

private:
    void Renumber();

    TCellGrid* FGrid;
    std::vector<std::unique_ptr<TCellGridColumnItem>> FItems;
};

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

// ---- Cell editors -------------------------------------------------------------

using TAllowEndEditEvent = std::function<void(TObject* Sender, int& Key, Qt::KeyboardModifiers Shift, bool& EndEdit)>;

class TCellEditor : public QObject, public TObject {
    Q_OBJECT
public:
    // The owner is the form the editor belongs to (its in-place control lives there).
    explicit TCellEditor(QObject* owner = nullptr);
    ~TCellEditor() override;

    TCellGrid* Grid() const { return FGrid; }
    int AttachCount() const { return FAttachCount; }
    std::string Name() const { return objectName().toStdString(); }
    std::string DefaultText() const { return FDefaultText; }
    void SetDefaultText(const std::string& value) { FDefaultText = value; }

    virtual void Attach(TCellGrid* grid);
    virtual void Detach();
    // The grid's window goes away: the in-place control leaves it.
    virtual void ReleaseWindow() {}
    virtual void InitEditor() {}
    virtual void StartEdit() = 0;
    virtual void EndEdit() = 0;
    // Stores a text into the cell being edited (the grid's SetEditText).
    virtual void SetCellText(const std::string& text);
    virtual void Draw(const QRect& rect) = 0;
    virtual void Clear() = 0;

    // Called by keys that may end an edit; may change the key and the flag.
    TAllowEndEditEvent AllowEndEditEvent;

private:
    std::string FDefaultText;
    TCellGrid* FGrid = nullptr;
    int FAttachCount = 0;
};

// An editor that owns an in-place control.
class TMetaCellEditor : public TCellEditor {
    Q_OBJECT
public:
    explicit TMetaCellEditor(QObject* owner = nullptr);
    ~TMetaCellEditor() override;

    // What the form's loading calls once the editor's settings are in.
    void Loaded();

    void Attach(TCellGrid* grid) override;
    void Detach() override;
    void ReleaseWindow() override;
    // Makes the in-place control; ECellEditorError when it cannot be made or
    // placed into the owner.
    void InitEditor() override;
    void Draw(const QRect& rect) override;
    void Clear() override;
    virtual QWidget* GetEditorControl() const { return FEditor; }

    // The in-place control leaves (ends the edit) and the focus goes to the grid.
    void LeaveToGrid();
    // A key that ends the edit: the control is left and the grid moves by it.
    void EndByKey(int key, Qt::KeyboardModifiers shift);
    // The control's exit: EndEdit and Clear while the editor is active.
    void ControlExit();
    // Tab without goTabs: the control is left for the control after the grid.
    bool FocusNextControl(bool next);

protected:
    virtual QWidget* CreateEditor(QWidget* owner) { (void)owner; return nullptr; }
    // The control exists (made if it was not).
    QWidget* EnsureControl();

private:
    // Makes the control a child of the grid's drawing area, or takes it back
    // into the owner, hidden.
    void PlaceControl();
    void ParkControl();

    QPointer<QWidget> FEditor;
    bool FExiting = false;
};

class TComboCellEditor : public TMetaCellEditor {
    Q_OBJECT
    Q_PROPERTY(QString DefaultText READ QDefaultText WRITE SetQDefaultText)
    Q_PROPERTY(Zor_StandardControls::TComboBoxStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(QStringList Items READ QItems WRITE SetQItems)
public:
    explicit TComboCellEditor(QObject* owner = nullptr);

    virtual TComboBoxStyle Style() const;
    virtual void SetStyle(TComboBoxStyle value);
    const std::vector<std::string>& Items() const { return FItems; }
    void SetItems(const std::vector<std::string>& value);
    QStringList QItems() const;
    void SetQItems(const QStringList& value);
    QString QDefaultText() const { return QString::fromStdString(DefaultText()); }
    void SetQDefaultText(const QString& value) { SetDefaultText(value.toStdString()); }

    void StartEdit() override;
    void EndEdit() override;

protected:
    QWidget* CreateEditor(QWidget* owner) override;

private:
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
    std::vector<std::string> FItems;
};

class TMaskEditCellEditor : public TMetaCellEditor {
    Q_OBJECT
    Q_PROPERTY(QString DefaultText READ QDefaultText WRITE SetQDefaultText)
    Q_PROPERTY(QString EditMask READ QEditMask WRITE SetQEditMask)
public:
    explicit TMaskEditCellEditor(QObject* owner = nullptr);

    std::string EditMask() const;
    void SetEditMask(const std::string& value);
    QString QEditMask() const { return QString::fromStdString(EditMask()); }
    void SetQEditMask(const QString& value) { SetEditMask(value.toStdString()); }
    QString QDefaultText() const { return QString::fromStdString(DefaultText()); }
    void SetQDefaultText(const QString& value) { SetDefaultText(value.toStdString()); }

    void StartEdit() override;
    void EndEdit() override;
    // One pixel inside the cell on each side.
    void Draw(const QRect& rect) override;

protected:
    QWidget* CreateEditor(QWidget* owner) override;

private:
    std::string FEditMask;
};

// ---- Edit masks ------------------------------------------------------------------
//
// An edit mask: the mask characters, then optionally ";" and "0" (literals
// not kept in the text) or "1", then optionally ";" and the blank character.
// Mask characters: 0 digit required, 9 digit optional, # digit or sign
// optional, L/l letter required/optional, A/a letter or digit required/
// optional, C/c any character required/optional, > upper case, < lower case,
// <> case as typed, \ the next character as it is, _ a space; everything else
// is shown as it is.
struct TEditMaskForm {
    QString InputMask;            // the same mask for QLineEdit::setInputMask
    QChar Blank = u'_';           // shown in empty positions
    bool SaveLiterals = true;     // the text keeps the literal characters
    std::vector<bool> Literal;    // per position of the shown text
};
TEditMaskForm ParseEditMask(const std::string& editMask);
// The text of a masked edit from what it shows: blanks removed, and the
// literal characters removed too when the mask does not keep them.
std::string MaskedText(const TEditMaskForm& mask, const QString& displayText);

// ---- In-place controls -----------------------------------------------------------

// Whether a key ends an edit in a combo box (before AllowEndEditEvent).
bool ComboKeyEndsEdit(int key, TComboBoxStyle style, bool tabs, bool hasSelection, int caret, int textLength);
// Whether a key ends an edit in a masked edit; `examined` tells whether the
// key is one that is looked at (Tab, Up, Down) at all.
bool MaskKeyEndsEdit(int key, bool tabs, bool* examined);

class TComboInplace : public QComboBox, public TObject {
    Q_OBJECT
public:
    TComboInplace(QWidget* owner, TComboCellEditor* editor);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    TComboCellEditor* CellEditor() const { return FCellEditor; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QPointer<TComboCellEditor> FCellEditor;
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
};

class TMaskEditInplace : public QLineEdit, public TObject {
    Q_OBJECT
public:
    TMaskEditInplace(QWidget* owner, TMaskEditCellEditor* editor);
    std::string EditMask() const { return FEditMask; }
    void SetEditMask(const std::string& value);
    // The text as the cell takes it.
    std::string Text() const;
    void SetText(const std::string& value);
    TMaskEditCellEditor* CellEditor() const { return FCellEditor; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QPointer<TMaskEditCellEditor> FCellEditor;
    std::string FEditMask;
    TEditMaskForm FMask;
};

#pragma once
// The string grid's parts without a window, and its column items.
//
// TCellGrid (CellGridWidget.h) is a string grid whose columns are described
// by column items (TCellGridColumns / TCellGridColumnItem): header and cell
// colours, fonts, alignments and, optionally, a cell editor (CellEditors.h).
// Only columns with a cell editor can be edited: the grid has no editor of
// its own.
//
// What a string grid is without a window - cells and their objects, sizes,
// the current cell, scrolling, navigation by keys and the cell under the
// mouse - is TStringGridCore, which the tests drive directly. The widget
// keeps one and paints, scrolls and routes keys and mouse through it. The
// edit masks of the masked cell editor are read here too.
//
// GUI thread only.
#include "controls/Zor_Pattern.h"
#include "controls/Zor_StandardControls.h"
#include "platform/Exception.h"
#include "platform/Object.h"

#include <QFlags>
#include <QFont>
#include <QObject>
#include <QRect>
#include <QString>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

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

// Tab or Backtab (Shift+Tab), the keys goTabs gives to the grid.
inline bool IsTab(int key) { return key == Qt::Key_Tab || key == Qt::Key_Backtab; }

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

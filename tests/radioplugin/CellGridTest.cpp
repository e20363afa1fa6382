// The string grid with cell editors: the grid's logic without a window, the
// edit masks and key rules, and the grid with its in-place controls in an
// offscreen form set up like the channel table of the parameter dialog.
#include "radioplugin/CellEditors.h"
#include "radioplugin/CellGrid.h"
#include "radioplugin/CellGridWidget.h"

#include "platform/Component.h"
#include "tests/common/KeyInput.h"

#include <QApplication>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

// ---- The grid without a window ---------------------------------------------------

namespace {

// 4 columns x 33 rows, one fixed row and column, 64 x 24 cells and 1-pixel
// lines, in a client area of 300 x 130 (fixed row and four rows on view).
TStringGridCore ChannelCore()
{
    TStringGridCore core;
    core.SetColCount(4);
    core.SetRowCount(33);
    core.SetClientSize(300, 130);
    return core;
}

} // namespace

TEST(StringGridCore, KeepsCellsAndObjectsWhenResized)
{
    TStringGridCore core;
    core.SetCell(2, 3, "146,0100");
    core.SetObject(2, 3, 17);
    core.SetColCount(8);
    core.SetRowCount(40);
    EXPECT_EQ(core.Cell(2, 3), "146,0100");
    EXPECT_EQ(core.Object(2, 3), 17);
    core.SetColCount(2);
    EXPECT_EQ(core.Cell(2, 3), "") << "the column is gone";
    core.SetColCount(4);
    EXPECT_EQ(core.Cell(2, 3), "") << "a new column starts empty";
    // Outside the grid nothing is read or written.
    core.SetCell(9, 9, "x");
    core.SetCell(-1, 0, "x");
    EXPECT_EQ(core.Cell(9, 9), "");
    EXPECT_EQ(core.Object(-1, 0), 0);
}

TEST(StringGridCore, FixedCountsAndCurrentCellStayInside)
{
    TStringGridCore core;
    core.SetColCount(2);
    core.SetFixedCols(5);
    EXPECT_EQ(core.FixedCols(), 1) << "one column stays selectable";
    core.SetColCount(1);
    EXPECT_EQ(core.FixedCols(), 0);
    EXPECT_EQ(core.Col(), 0);
    EXPECT_FALSE(core.MoveCurrent(0, 0)) << "row 0 is fixed";
    EXPECT_TRUE(core.MoveCurrent(0, 3));
    core.SetRowCount(2);
    EXPECT_EQ(core.Row(), 1);
}

TEST(StringGridCore, NavigationKeys)
{
    struct TCase {
        const char* Name;
        TGridOptions Options;
        TGridCoord From;
        int Key;
        Qt::KeyboardModifiers Modifiers;
        TGridCoord To;
    };
    const TGridOptions tabs = DefaultGridOptions() | goTabs;
    const std::vector<TCase> cases = {
        {"down", DefaultGridOptions(), {1, 1}, Qt::Key_Down, {}, {1, 2}},
        {"up stops below the fixed row", DefaultGridOptions(), {1, 1}, Qt::Key_Up, {}, {1, 1}},
        {"left stops beside the fixed column", DefaultGridOptions(), {1, 5}, Qt::Key_Left, {}, {1, 5}},
        {"right stops at the last column", DefaultGridOptions(), {3, 5}, Qt::Key_Right, {}, {3, 5}},
        {"down stops at the last row", DefaultGridOptions(), {2, 32}, Qt::Key_Down, {}, {2, 32}},
        {"page down by the rows on view", DefaultGridOptions(), {2, 1}, Qt::Key_PageDown, {}, {2, 5}},
        {"home", DefaultGridOptions(), {3, 7}, Qt::Key_Home, {}, {1, 7}},
        {"ctrl+end", DefaultGridOptions(), {1, 1}, Qt::Key_End, Qt::ControlModifier, {3, 32}},
        {"tab without goTabs moves nothing", DefaultGridOptions(), {1, 1}, Qt::Key_Tab, {}, {1, 1}},
        {"tab", tabs, {1, 1}, Qt::Key_Tab, {}, {2, 1}},
        {"tab wraps to the next row", tabs, {3, 1}, Qt::Key_Tab, {}, {1, 2}},
        {"tab stays on the last cell", tabs, {3, 32}, Qt::Key_Tab, {}, {3, 32}},
        {"backtab wraps to the row above", tabs, {1, 2}, Qt::Key_Backtab, Qt::ShiftModifier, {3, 1}},
        {"other keys move nothing", DefaultGridOptions(), {2, 2}, Qt::Key_A, {}, {2, 2}},
    };
    for (const TCase& c : cases) {
        TStringGridCore core = ChannelCore();
        core.SetOptions(c.Options);
        ASSERT_TRUE(core.MoveCurrent(c.From.X, c.From.Y)) << c.Name;
        EXPECT_EQ(core.KeyTarget(c.Key, c.Modifiers), c.To) << c.Name;
    }
}

TEST(StringGridCore, CellRectsAndMouseFollowScrolling)
{
    TStringGridCore core = ChannelCore();
    EXPECT_EQ(core.CellRect(0, 0), QRect(0, 0, 64, 24));
    EXPECT_EQ(core.CellRect(2, 1), QRect(130, 25, 64, 24));
    EXPECT_EQ(core.VisibleRowCount(), 4);
    EXPECT_EQ(core.MouseCoord(131, 26), (TGridCoord{2, 1}));
    EXPECT_EQ(core.MouseCoord(129, 26), (TGridCoord{1, 1})) << "the line after a cell belongs to it";

    // Going to row 10 scrolls it to the bottom of the view.
    ASSERT_TRUE(core.MoveCurrent(2, 10));
    EXPECT_EQ(core.TopRow(), 7);
    EXPECT_TRUE(core.CellRect(2, 1).isEmpty()) << "scrolled away";
    EXPECT_EQ(core.CellRect(2, 7), QRect(130, 25, 64, 24));
    EXPECT_EQ(core.CellRect(2, 0), QRect(130, 0, 64, 24)) << "the fixed row stays";
    EXPECT_EQ(core.MouseCoord(131, 26), (TGridCoord{2, 7}));
    EXPECT_TRUE(core.CellRect(2, 12).isEmpty()) << "below the view";

    // Scrolling is limited to what fills the view, and back up follows the row.
    EXPECT_TRUE(core.SetTopLeft(1, 99));
    EXPECT_EQ(core.TopRow(), core.MaxTopRow());
    EXPECT_EQ(core.MaxTopRow(), 29);
    ASSERT_TRUE(core.MoveCurrent(1, 3));
    EXPECT_EQ(core.TopRow(), 3);
    EXPECT_EQ(core.MouseCoord(400, 10), (TGridCoord{})) << "outside the client area";
}

TEST(StringGridCore, MovesAColumnWithItsCellsAndWidth)
{
    TStringGridCore core = ChannelCore();
    for (int c = 0; c < 4; ++c)
        core.SetCell(c, 1, std::string(1, static_cast<char>('a' + c)));
    core.SetColWidth(1, 90);
    core.MoveColumn(1, 3);
    EXPECT_EQ(core.Cell(1, 1), "c");
    EXPECT_EQ(core.Cell(2, 1), "d");
    EXPECT_EQ(core.Cell(3, 1), "b");
    EXPECT_EQ(core.ColWidth(3), 90);
    core.MoveColumn(3, 1);
    EXPECT_EQ(core.Cell(1, 1), "b");
    EXPECT_EQ(core.ColWidth(1), 90);
}

// ---- Edit masks and key rules ------------------------------------------------------

TEST(EditMask, TranslatesMaskCharacters)
{
    struct TCase {
        std::string Mask;
        QString InputMask;
        bool SaveLiterals;
        std::vector<bool> Literal;
    };
    const std::vector<TCase> cases = {
        {"099,0999", "900,9000;_", true, {false, false, false, true, false, false, false, false}},
        {"LlAaCc#", "AaNnXx#;_", true, {false, false, false, false, false, false, false}},
        {">LL<ll", ">AA<aa;_", true, {false, false, false, false}},
        {"<>cc", "!xx;_", true, {false, false}},
        {"!00", "99;_", true, {false, false}},
        {"(000) 000;0;*", "(999) 999;*", false, {true, false, false, false, true, true, false, false, false}},
        {"\\0H0", "\\0\\H9;_", true, {true, true, false}},
        {"00_00", "99 99;_", true, {false, false, true, false, false}},
        {"0\\;0;1;#", "99;#", true, {false, false}},
        {"[0]", "\\[9\\];_", true, {true, false, true}},
        {"", "", true, {}},
    };
    for (const TCase& c : cases) {
        const TEditMaskForm form = ParseEditMask(c.Mask);
        EXPECT_EQ(form.InputMask, c.InputMask) << c.Mask;
        EXPECT_EQ(form.SaveLiterals, c.SaveLiterals) << c.Mask;
        EXPECT_EQ(form.Literal, c.Literal) << c.Mask;
    }
}

TEST(EditMask, TextDropsBlanksAndUnsavedLiterals)
{
    const TEditMaskForm frequency = ParseEditMask("099,0999");
    EXPECT_EQ(MaskedText(frequency, "146,0100"), "146,0100");
    EXPECT_EQ(MaskedText(frequency, "14_,03__"), "14,03");
    EXPECT_EQ(MaskedText(frequency, "___,____"), ",");
    const TEditMaskForm phone = ParseEditMask("(000) 000;0;*");
    EXPECT_EQ(MaskedText(phone, "(123) 45*"), "12345");
    EXPECT_EQ(MaskedText(ParseEditMask(""), "as it is"), "as it is");
}

TEST(InplaceKeys, ComboEndsEditAtItsEdgesOrAsAList)
{
    struct TCase {
        const char* Name;
        int Key;
        TComboBoxStyle Style;
        bool Tabs;
        bool Selection;
        int Caret;
        bool Ends;
    };
    const TComboBoxStyle edit = TComboBoxStyle::csDropDown;
    const TComboBoxStyle list = TComboBoxStyle::csDropDownList;
    const std::vector<TCase> cases = {
        {"left at 0", Qt::Key_Left, edit, false, false, 0, true},
        {"left inside", Qt::Key_Left, edit, false, false, 2, false},
        {"left at 0 with a selection", Qt::Key_Left, edit, false, true, 0, false},
        {"right at the end", Qt::Key_Right, edit, false, false, 5, true},
        {"right inside", Qt::Key_Right, edit, false, false, 4, false},
        {"right at the end with a selection", Qt::Key_Right, edit, false, true, 5, false},
        {"left in a list", Qt::Key_Left, list, false, true, 3, true},
        {"right in a list", Qt::Key_Right, list, false, false, 0, true},
        {"up in a list", Qt::Key_Up, list, true, false, 0, false},
        {"down in an edit box", Qt::Key_Down, edit, true, false, 5, false},
        {"tab with goTabs", Qt::Key_Tab, edit, true, false, 2, true},
        {"tab without goTabs", Qt::Key_Tab, list, false, false, 0, false},
        {"a letter", Qt::Key_A, list, true, false, 0, false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(ComboKeyEndsEdit(c.Key, c.Style, c.Tabs, c.Selection, c.Caret, 5), c.Ends) << c.Name;
}

TEST(InplaceKeys, MaskedEditLooksOnlyAtTabUpAndDown)
{
    struct TCase {
        int Key;
        bool Tabs;
        bool Examined;
        bool Ends;
    };
    const std::vector<TCase> cases = {
        {Qt::Key_Up, false, true, true},    {Qt::Key_Down, false, true, true},
        {Qt::Key_Tab, false, true, false},  {Qt::Key_Tab, true, true, true},
        {Qt::Key_Backtab, true, true, true}, {Qt::Key_Left, true, false, false},
        {Qt::Key_Right, true, false, false}, {Qt::Key_Return, true, false, false},
    };
    for (const TCase& c : cases) {
        bool examined = !c.Examined;
        EXPECT_EQ(MaskKeyEndsEdit(c.Key, c.Tabs, &examined), c.Ends) << c.Key;
        EXPECT_EQ(examined, c.Examined) << c.Key;
    }
}

// ---- The grid in a form ------------------------------------------------------------

namespace {

struct TEdited {
    int Col;
    int Row;
    std::string Value;
    bool operator==(const TEdited&) const = default;
};

void PrintTo(const TEdited& e, std::ostream* os)
{
    *os << "(" << e.Col << "," << e.Row << ",\"" << e.Value << "\")";
}

// A form with the channel table: receive and transmit frequency on masked
// edits, the power on a drop-down list, the row number without an editor.
class CellGridForm : public testing::Test {
protected:
    void SetUp() override
    {
        Form = std::make_unique<QWidget>();
        Form->setObjectName("fParameter");
        SetOwnerRoot(Form.get());
        Form->resize(420, 240);
        Grid = new TCellGrid(Form.get());
        Grid->setObjectName("grdFrequencies");
        Grid->setGeometry(10, 10, 400, 150);
        Grid->SetColCount(4);
        Grid->SetRowCount(33);
        Grid->SetOptions(Grid->Options() | goEditing);
        Grid->SetImmediateEditMode(true);
        Other = new QLineEdit(Form.get());
        Other->setGeometry(10, 200, 100, 24);

        Receive = new TMaskEditCellEditor(Form.get());
        Receive->setObjectName("medReceive");
        Receive->SetEditMask("099,0999");
        Receive->SetDefaultText("146,0100");
        Transmit = new TMaskEditCellEditor(Form.get());
        Transmit->setObjectName("medTransmit");
        Transmit->SetEditMask("099,0999");
        Transmit->SetDefaultText("173,990");
        Power = new TComboCellEditor(Form.get());
        Power->setObjectName("cbxPower");
        Power->SetStyle(TComboBoxStyle::csDropDownList);
        Power->SetItems({"0,025", "0,1", "0,5", "1", "6"});
        Receive->Loaded();
        Transmit->Loaded();
        Power->Loaded();
        Grid->Columns().Items(1)->SetEditor(Receive);
        Grid->Columns().Items(2)->SetEditor(Transmit);
        Grid->Columns().Items(3)->SetEditor(Power);
        for (int r = 1; r <= 32; ++r) {
            Grid->SetCells(0, r, std::to_string(r));
            Grid->SetCells(1, r, "146,0" + std::to_string(100 + r) + "0");
            Grid->SetCells(3, r, "1");
        }
        Grid->OnSetEditText = [this](TObject*, int col, int row, const std::string& value) {
            Edited.push_back({col, row, value});
        };
        Form->show();
        QApplication::setActiveWindow(Form.get());
        Grid->setFocus(Qt::OtherFocusReason);
        QCoreApplication::processEvents();
        ASSERT_TRUE(Grid->hasFocus());
    }
    void TearDown() override { Form.reset(); }

    void Click(int col, int row) const
    {
        const QPoint at = Grid->CellRect(col, row).center();
        QMouseEvent press(QEvent::MouseButtonPress, at, Grid->viewport()->mapToGlobal(at), Qt::LeftButton,
                          Qt::LeftButton, {});
        QCoreApplication::sendEvent(Grid->viewport(), &press);
        QMouseEvent release(QEvent::MouseButtonRelease, at, Grid->viewport()->mapToGlobal(at), Qt::LeftButton,
                            Qt::NoButton, {});
        QCoreApplication::sendEvent(Grid->viewport(), &release);
    }
    TMaskEditInplace* MaskControl(TMaskEditCellEditor* editor) const
    {
        return qobject_cast<TMaskEditInplace*>(editor->GetEditorControl());
    }
    TComboInplace* ComboControl() const { return qobject_cast<TComboInplace*>(Power->GetEditorControl()); }
    // The editor stands over its cell (one pixel in for a masked edit) and has the focus.
    void ExpectOver(QWidget* control, int col, int row, int inset) const
    {
        ASSERT_NE(control, nullptr);
        EXPECT_TRUE(control->isVisible());
        EXPECT_EQ(control->parentWidget(), Grid->viewport());
        EXPECT_EQ(control->geometry(), Grid->CellRect(col, row).adjusted(inset, inset, -inset, -inset));
        EXPECT_TRUE(control->hasFocus());
    }

    std::unique_ptr<QWidget> Form;
    TCellGrid* Grid = nullptr;
    QLineEdit* Other = nullptr;
    TMaskEditCellEditor* Receive = nullptr;
    TMaskEditCellEditor* Transmit = nullptr;
    TComboCellEditor* Power = nullptr;
    std::vector<TEdited> Edited;
};

} // namespace

TEST_F(CellGridForm, EditorsStartHiddenAndOutOfTheTabOrder)
{
    for (QWidget* control : {static_cast<QWidget*>(MaskControl(Receive)), static_cast<QWidget*>(ComboControl())}) {
        ASSERT_NE(control, nullptr);
        EXPECT_FALSE(control->isVisible());
        EXPECT_EQ(control->focusPolicy(), Qt::ClickFocus);
        EXPECT_EQ(control->parentWidget(), Grid->viewport());
    }
    EXPECT_EQ(ComboControl()->isEditable(), false);
    EXPECT_EQ(MaskControl(Receive)->inputMask(), "900,9000;_");
    EXPECT_EQ(Receive->AttachCount(), 1);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
}

TEST_F(CellGridForm, AColumnWithoutEditorCannotBeEdited)
{
    Grid->SetCol(0 + 1);
    Grid->SetCol(1);
    Grid->Columns().Items(1)->SetEditor(nullptr);
    for (int key : {int(Qt::Key_F2), int(Qt::Key_Return)}) {
        FocusKey(key);
        EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    }
    FocusText("5");
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_TRUE(Grid->hasFocus());
    EXPECT_EQ(Grid->ImmediateKey(), 0u) << "a key that opened nothing is not kept";
    // The key typed there does not start the editor of the next column.
    FocusKey(Qt::Key_Right);
    FocusKey(Qt::Key_F2);
    ASSERT_EQ(Grid->ActiveEditor(), Transmit);
    EXPECT_EQ(MaskControl(Transmit)->Text(), "173,990") << "the empty cell opens with the default text";
}

TEST_F(CellGridForm, EditingNeedsTheEditingOption)
{
    Grid->SetOptions(Grid->Options() & ~TGridOptions(goEditing));
    FocusKey(Qt::Key_F2);
    FocusText("1");
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
}

TEST_F(CellGridForm, EnterThatOpensNoEditorGoesOnToTheForm)
{
    struct TCase {
        const char* Name;
        int Col;
        bool Editing;
        bool Taken;
    };
    const std::vector<TCase> cases = {
        {"editor column", 1, true, true},
        {"column without editor", 1, true, false},
        {"editing off", 2, false, false},
    };
    for (const TCase& c : cases) {
        Grid->SetOptions(c.Editing ? Grid->Options() | goEditing : Grid->Options() & ~TGridOptions(goEditing));
        if (c.Taken == false && c.Editing)
            Grid->Columns().Items(1)->SetEditor(nullptr);
        Grid->setFocus();
        Grid->SetCol(c.Col);
        EXPECT_EQ(SendKey(Grid, Qt::Key_Return, Qt::NoModifier, "\r"), c.Taken) << c.Name;
        EXPECT_EQ(Grid->ActiveEditor() != nullptr, c.Taken) << c.Name;
        if (Grid->ActiveEditor())
            FocusKey(Qt::Key_Escape);
    }
}

TEST_F(CellGridForm, F2OpensTheCellTextAndEnterCommits)
{
    Grid->SetRow(3);
    FocusKey(Qt::Key_F2);
    ASSERT_EQ(Grid->ActiveEditor(), Receive);
    EXPECT_EQ(Grid->EditCol(), 1);
    EXPECT_EQ(Grid->EditRow(), 3);
    TMaskEditInplace* control = MaskControl(Receive);
    ExpectOver(control, 1, 3, 1);
    EXPECT_EQ(control->Text(), "146,0103");
    EXPECT_EQ(control->selectedText(), "146,0103") << "typing replaces the value";

    FocusText("150,5");
    EXPECT_EQ(control->Text(), "150,5");
    FocusKey(Qt::Key_Return);
    EXPECT_EQ(Edited, (std::vector<TEdited>{{1, 3, "150,5"}}));
    EXPECT_EQ(Grid->Cells(1, 3), "150,5");
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_FALSE(control->isVisible());
    EXPECT_TRUE(Grid->hasFocus());
    EXPECT_EQ(Grid->Row(), 3) << "Enter does not move the selection";
}

TEST_F(CellGridForm, MaskedEditTakesTheCellTextThroughItsMask)
{
    struct TCase {
        std::string Cell;
        std::string Text;
    };
    const std::vector<TCase> cases = {
        {"146,0100", "146,0100"},
        {"146,0100 MHz", "146,0100"}, // the unit does not fit the mask
        {"99,5", "99,5"},
        {"146.0100 MHz", "146,0100"}, // the mask's comma stands whatever the cell had
        {"", "146,0100"}, // the default text
    };
    for (const TCase& c : cases) {
        Grid->SetCells(1, 2, c.Cell);
        Grid->SetRow(2);
        FocusKey(Qt::Key_F2);
        ASSERT_EQ(Grid->ActiveEditor(), Receive);
        EXPECT_EQ(MaskControl(Receive)->Text(), c.Text) << c.Cell;
        FocusKey(Qt::Key_Return);
        EXPECT_EQ(Edited.back(), (TEdited{1, 2, c.Text})) << c.Cell;
    }
}

TEST_F(CellGridForm, AnEmptyCellOpensWithTheDefaultText)
{
    Grid->SetCells(1, 2, "");
    Grid->SetRow(2);
    FocusKey(Qt::Key_F2);
    EXPECT_EQ(MaskControl(Receive)->Text(), "146,0100");
    FocusKey(Qt::Key_Escape);
    // A list whose cell text is no item selects the default text's item.
    Power->SetDefaultText("0,5");
    Grid->SetCells(3, 2, "");
    Grid->SetCol(3);
    FocusKey(Qt::Key_F2);
    EXPECT_EQ(ComboControl()->currentText(), "0,5");
}

TEST_F(CellGridForm, ImmediateKeyOnAMaskedColumnIsTheWholeStartingText)
{
    Grid->SetRow(4);
    FocusText("1");
    ASSERT_EQ(Grid->ActiveEditor(), Receive);
    TMaskEditInplace* control = MaskControl(Receive);
    EXPECT_EQ(control->Text(), "1,") << "not the cell's text";
    EXPECT_EQ(Grid->ImmediateKey(), 0u);
    FocusText("46,0300");
    EXPECT_EQ(control->Text(), "146,0300");
    FocusKey(Qt::Key_Down);
    EXPECT_EQ(Edited, (std::vector<TEdited>{{1, 4, "146,0300"}}));
    EXPECT_EQ(Grid->Row(), 5) << "Down ends the edit and moves the selection";
    EXPECT_TRUE(Grid->hasFocus());
}

TEST_F(CellGridForm, WithoutImmediateEditModeATypedKeyOpensTheCellText)
{
    Grid->SetImmediateEditMode(false);
    Grid->SetRow(4);
    FocusText("7");
    ASSERT_EQ(Grid->ActiveEditor(), Receive);
    EXPECT_EQ(MaskControl(Receive)->Text(), "146,0104");
}

TEST_F(CellGridForm, ImmediateKeyOnAComboColumnIsPostedToTheList)
{
    Grid->SetCol(3);
    Grid->SetRow(6);
    Grid->SetCells(3, 6, "0,1");
    FocusText("6");
    ASSERT_EQ(Grid->ActiveEditor(), Power);
    TComboInplace* control = ComboControl();
    EXPECT_EQ(control->currentText(), "0,1") << "the key arrives later";
    QCoreApplication::processEvents();
    EXPECT_EQ(control->currentText(), "6");
    FocusKey(Qt::Key_Return);
    EXPECT_EQ(Edited, (std::vector<TEdited>{{3, 6, "6"}}));

    // A key that matches no item leaves the cell's own value, not the list's
    // selection of an earlier edit.
    Grid->SetRow(7);
    Grid->SetCells(3, 7, "0,025");
    FocusText("x");
    QCoreApplication::processEvents();
    EXPECT_EQ(control->currentText(), "0,025");
    FocusKey(Qt::Key_Return);
    EXPECT_EQ(Edited.back(), (TEdited{3, 7, "0,025"}));
}

TEST_F(CellGridForm, ImmediateKeyOnAnEditableComboStartsItsText)
{
    Power->SetStyle(TComboBoxStyle::csDropDown);
    Grid->SetCol(3);
    Grid->SetRow(2);
    FocusText("a");
    QCoreApplication::processEvents();
    EXPECT_EQ(ComboControl()->currentText(), "a") << "the typed character, as typed";
}

TEST_F(CellGridForm, ComboListLeftAndRightEndTheEditUpAndDownDoNot)
{
    Grid->SetCol(3);
    Grid->SetRow(2);
    FocusKey(Qt::Key_F2);
    ASSERT_EQ(Grid->ActiveEditor(), Power);
    FocusKey(Qt::Key_Down);
    EXPECT_EQ(Grid->ActiveEditor(), Power) << "Down chooses in the list";
    EXPECT_EQ(ComboControl()->currentText(), "6");
    FocusKey(Qt::Key_Left);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_EQ(Edited, (std::vector<TEdited>{{3, 2, "6"}}));
    EXPECT_EQ(Grid->Col(), 2) << "the selection moves left";
    EXPECT_TRUE(Grid->hasFocus());
}

TEST_F(CellGridForm, EditableComboEndsTheEditOnlyAtTheEdgesOfItsText)
{
    Power->SetStyle(TComboBoxStyle::csDropDown);
    Grid->SetCol(3);
    Grid->SetRow(2);
    Grid->SetCells(3, 2, "0,025");
    FocusKey(Qt::Key_F2);
    TComboInplace* control = ComboControl();
    ASSERT_TRUE(control->isEditable());
    EXPECT_EQ(control->currentText(), "0,025");
    control->lineEdit()->setCursorPosition(1);
    FocusKey(Qt::Key_Right);
    EXPECT_EQ(Grid->ActiveEditor(), Power) << "inside the text Right moves the caret";
    EXPECT_EQ(control->lineEdit()->cursorPosition(), 2);
    control->lineEdit()->setCursorPosition(0);
    FocusKey(Qt::Key_Left);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr) << "at the start Left ends the edit";
    EXPECT_EQ(Grid->Col(), 2);
    Grid->SetCol(3);
    FocusKey(Qt::Key_F2);
    control->lineEdit()->end(false);
    FocusKey(Qt::Key_Right);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr) << "at the end it ends the edit";
    EXPECT_EQ(Grid->Col(), 3) << "the last column";
}

TEST_F(CellGridForm, UpAndDownAlwaysEndAMaskedEditLeftAndRightNever)
{
    Grid->SetRow(5);
    FocusKey(Qt::Key_F2);
    TMaskEditInplace* control = MaskControl(Receive);
    control->setCursorPosition(0);
    FocusKey(Qt::Key_Left);
    FocusKey(Qt::Key_End);
    FocusKey(Qt::Key_Right);
    EXPECT_EQ(Grid->ActiveEditor(), Receive);
    FocusKey(Qt::Key_Up);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_EQ(Grid->Row(), 4);
    EXPECT_EQ(Grid->Col(), 1);
    ASSERT_EQ(Edited.size(), 1u);
    EXPECT_EQ(Edited[0].Row, 5) << "the cell that was edited, not the new current one";
}

TEST_F(CellGridForm, TabEndsAnEditOnlyWithGoTabs)
{
    Grid->SetRow(2);
    FocusKey(Qt::Key_F2);
    ASSERT_EQ(Grid->ActiveEditor(), Receive);
    FocusKey(Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), Other) << "without goTabs Tab goes on to the control after the grid";
    EXPECT_EQ(Grid->ActiveEditor(), nullptr) << "leaving the control still commits";
    EXPECT_EQ(Grid->Col(), 1);
    EXPECT_EQ(Edited.size(), 1u);

    Grid->SetOptions(Grid->Options() | goTabs);
    Grid->setFocus(Qt::OtherFocusReason);
    FocusKey(Qt::Key_F2);
    ASSERT_EQ(Grid->ActiveEditor(), Receive);
    FocusKey(Qt::Key_Tab);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_EQ(Grid->Col(), 2) << "the selection moves to the next column";
    EXPECT_TRUE(Grid->hasFocus());
    EXPECT_EQ(Edited.size(), 2u);
}

TEST_F(CellGridForm, AllowEndEditEventDecides)
{
    std::vector<int> keys;
    Receive->AllowEndEditEvent = [&keys](TObject*, int& key, Qt::KeyboardModifiers, bool& endEdit) {
        keys.push_back(key);
        if (key == Qt::Key_Up)
            endEdit = false; // Up stays in the edit
        if (key == Qt::Key_Down)
            key = Qt::Key_PageDown; // Down moves a page
    };
    Grid->SetRow(2);
    FocusKey(Qt::Key_F2);
    FocusKey(Qt::Key_Left);
    FocusKey(Qt::Key_Up);
    EXPECT_EQ(Grid->ActiveEditor(), Receive);
    FocusKey(Qt::Key_Down);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_GT(Grid->Row(), 3);
    EXPECT_EQ(keys, (std::vector<int>{Qt::Key_Up, Qt::Key_Down})) << "Left is not asked about";
}

TEST_F(CellGridForm, EscapeDropsTheEdit)
{
    Grid->SetRow(2);
    FocusText("9");
    FocusKey(Qt::Key_Escape);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_TRUE(Edited.empty());
    EXPECT_EQ(Grid->Cells(1, 2), "146,01020");
    EXPECT_TRUE(Grid->hasFocus());
}

TEST_F(CellGridForm, LeavingForAnotherControlCommits)
{
    Grid->SetRow(2);
    FocusText("2");
    Other->setFocus(Qt::MouseFocusReason);
    EXPECT_EQ(Edited, (std::vector<TEdited>{{1, 2, "2,"}}));
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_FALSE(MaskControl(Receive)->isVisible());
}

TEST_F(CellGridForm, ClickingAnotherCellCommitsAndSelectsIt)
{
    Grid->SetRow(2);
    FocusText("3");
    Click(2, 3);
    EXPECT_EQ(Edited, (std::vector<TEdited>{{1, 2, "3,"}}));
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_EQ(Grid->Col(), 2);
    EXPECT_EQ(Grid->Row(), 3);
    // A second click on the current cell opens its editor.
    Click(2, 3);
    EXPECT_EQ(Grid->ActiveEditor(), Transmit);
    // A click on a fixed cell selects nothing.
    Click(0, 0);
    EXPECT_EQ(Grid->Col(), 2);
}

TEST_F(CellGridForm, AlwaysShowEditorOpensOnEveryCell)
{
    Grid->SetOptions(Grid->Options() | goAlwaysShowEditor);
    Grid->SetRow(2);
    EXPECT_EQ(Grid->ActiveEditor(), Receive);
    FocusKey(Qt::Key_Down);
    EXPECT_EQ(Grid->ActiveEditor(), Receive);
    EXPECT_EQ(Grid->EditRow(), 3);
    ExpectOver(MaskControl(Receive), 1, 3, 1);
    EXPECT_EQ(Edited.size(), 1u);
}

TEST_F(CellGridForm, ScrollingKeepsTheControlOverItsCell)
{
    Grid->SetRow(3);
    FocusKey(Qt::Key_F2);
    TMaskEditInplace* control = MaskControl(Receive);
    const QRect before = control->geometry();
    Grid->verticalScrollBar()->setValue(1);
    EXPECT_EQ(Grid->TopRow(), 2);
    ExpectOver(control, 1, 3, 1);
    EXPECT_EQ(control->geometry(), before.translated(0, -25));
    // Scrolled out of view the control leaves the view but keeps the edit.
    Grid->verticalScrollBar()->setValue(10);
    EXPECT_TRUE(Grid->CellRect(1, 3).isEmpty());
    EXPECT_FALSE(Grid->viewport()->rect().intersects(control->geometry()));
    EXPECT_EQ(Grid->ActiveEditor(), Receive);
    EXPECT_TRUE(control->hasFocus());
    Grid->verticalScrollBar()->setValue(0);
    ExpectOver(control, 1, 3, 1);
}

TEST_F(CellGridForm, OnDrawEditorReplacesThePlacement)
{
    std::vector<TEdited> calls;
    Grid->OnDrawEditor = [&calls, this](TObject* sender, int col, int row, TCellEditor* editor) {
        EXPECT_EQ(sender, Grid);
        EXPECT_EQ(editor, Receive);
        calls.push_back({col, row, editor->Name()});
        editor->Draw(QRect(0, 0, 50, 20));
    };
    Grid->SetRow(4);
    FocusKey(Qt::Key_F2);
    EXPECT_EQ(calls, (std::vector<TEdited>{{1, 4, "medReceive"}}));
    EXPECT_EQ(MaskControl(Receive)->geometry(), QRect(1, 1, 48, 18));
}

TEST_F(CellGridForm, EditorInheritsCellProps)
{
    TCellGridColumnItem* column = Grid->Columns().Items(1);
    column->SetColor(clCream);
    QFont font = Grid->font();
    font.setPointSize(15);
    column->SetFont(font);
    FocusKey(Qt::Key_F2);
    FocusKey(Qt::Key_Escape);
    EXPECT_NE(MaskControl(Receive)->font().pointSize(), 15);
    column->SetEditorInheritsCellProps(true);
    FocusKey(Qt::Key_F2);
    EXPECT_EQ(MaskControl(Receive)->font().pointSize(), 15);
    EXPECT_EQ(MaskControl(Receive)->palette().color(QPalette::Base), ColorToQColor(clCream));
}

TEST_F(CellGridForm, AttachingOneEditorToTwoGridsFails)
{
    TCellGrid second(Form.get());
    second.setObjectName("grdOther");
    TMaskEditCellEditor own(Form.get());
    second.Columns().Items(3)->SetEditor(&own);
    try {
        second.Columns().Items(1)->SetEditor(Receive);
        FAIL() << "no error";
    } catch (const ECellEditorError& e) {
        EXPECT_EQ(e.Message(), "medReceive is allready assigned to grdFrequencies");
    }
    EXPECT_EQ(second.Columns().Items(1)->Editor(), nullptr);
    try {
        second.Columns().Items(3)->SetEditor(Receive);
        FAIL() << "no error";
    } catch (const ECellEditorError&) {
    }
    EXPECT_EQ(second.Columns().Items(3)->Editor(), &own) << "the column keeps its editor";
    EXPECT_EQ(Receive->Grid(), Grid);
    EXPECT_EQ(Receive->AttachCount(), 1);
}

TEST_F(CellGridForm, ColumnsOfOneGridShareAnEditor)
{
    Grid->Columns().Items(2)->SetEditor(Receive);
    EXPECT_EQ(Receive->AttachCount(), 2);
    EXPECT_EQ(Transmit->Grid(), nullptr) << "the transmit editor let go";
    EXPECT_FALSE(MaskControl(Transmit)->parentWidget() == Grid->viewport());
    Grid->SetCol(2);
    FocusKey(Qt::Key_F2);
    EXPECT_EQ(Grid->ActiveEditor(), Receive);
    ExpectOver(MaskControl(Receive), 2, 1, 1);
    FocusKey(Qt::Key_Escape);
    Grid->Columns().Items(1)->SetEditor(nullptr);
    EXPECT_EQ(Receive->Grid(), Grid) << "one column still uses it";
    Grid->Columns().Items(2)->SetEditor(nullptr);
    EXPECT_EQ(Receive->Grid(), nullptr);
    EXPECT_EQ(Receive->AttachCount(), 0);
    // Free again, it may join another grid.
    TCellGrid second(Form.get());
    second.Columns().Items(1)->SetEditor(Receive);
    EXPECT_EQ(Receive->Grid(), &second);
}

TEST_F(CellGridForm, FreeingAnEditorClearsItsColumns)
{
    Grid->SetRow(2);
    FocusKey(Qt::Key_F2);
    ASSERT_EQ(Grid->ActiveEditor(), Receive);
    delete Receive;
    Receive = nullptr;
    EXPECT_EQ(Grid->Columns().Items(1)->Editor(), nullptr);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    FocusKey(Qt::Key_F2);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
}

TEST_F(CellGridForm, FreeingTheGridKeepsTheEditorsWhole)
{
    Grid->SetRow(2);
    FocusKey(Qt::Key_F2);
    delete Grid;
    Grid = nullptr;
    TMaskEditInplace* control = MaskControl(Receive);
    ASSERT_NE(control, nullptr) << "the control left the grid's window first";
    EXPECT_EQ(control->parentWidget(), Form.get());
    EXPECT_FALSE(control->isVisible());
    EXPECT_EQ(Receive->Grid(), nullptr);
    EXPECT_EQ(Receive->AttachCount(), 0);
    // A new grid takes the editor and shows the same control.
    auto* grid = new TCellGrid(Form.get());
    grid->setGeometry(10, 10, 400, 150);
    grid->SetOptions(grid->Options() | goEditing);
    grid->Columns().Items(1)->SetEditor(Receive);
    grid->show();
    grid->setFocus(Qt::OtherFocusReason);
    FocusKey(Qt::Key_F2);
    EXPECT_EQ(grid->ActiveEditor(), Receive);
    EXPECT_EQ(control->parentWidget(), grid->viewport());
}

TEST_F(CellGridForm, ChangingTheColumnCountFreesAndAddsItems)
{
    Grid->SetColCount(2);
    EXPECT_EQ(Grid->Columns().Count(), 2);
    EXPECT_EQ(Transmit->Grid(), nullptr);
    EXPECT_EQ(Power->Grid(), nullptr);
    EXPECT_EQ(Receive->Grid(), Grid);
    Grid->SetColCount(5);
    ASSERT_EQ(Grid->Columns().Count(), 5);
    EXPECT_EQ(Grid->Columns().Items(4)->Index(), 4);
    EXPECT_EQ(Grid->Columns().Items(3)->Editor(), nullptr);
    EXPECT_EQ(Grid->Columns().Items(4)->Width(), 64);
}

TEST_F(CellGridForm, AnEditWhoseCellOrColumnGoesAwayWritesNothing)
{
    Grid->SetRow(32);
    FocusText("1");
    Grid->SetRowCount(20);
    FocusKey(Qt::Key_Return);
    EXPECT_TRUE(Edited.empty()) << "row 32 is gone";
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);

    // The column of the open editor is removed: the grid can edit again.
    Grid->SetCol(3);
    FocusKey(Qt::Key_F2);
    ASSERT_EQ(Grid->ActiveEditor(), Power);
    Grid->SetColCount(3);
    EXPECT_EQ(Grid->ActiveEditor(), nullptr);
    EXPECT_FALSE(ComboControl()->isVisible());
    Grid->setFocus();
    Grid->SetCol(1);
    FocusKey(Qt::Key_F2);
    EXPECT_EQ(Grid->ActiveEditor(), Receive);
    EXPECT_TRUE(Edited.empty());
}

TEST_F(CellGridForm, AFreedControlIsMadeAgain)
{
    delete MaskControl(Receive);
    EXPECT_EQ(Receive->GetEditorControl(), nullptr) << "the editor forgot it";
    FocusKey(Qt::Key_F2);
    ASSERT_EQ(Grid->ActiveEditor(), Receive);
    TMaskEditInplace* control = MaskControl(Receive);
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->inputMask(), "900,9000;_") << "with the stored mask";
    ExpectOver(control, 1, 1, 1);
}

TEST_F(CellGridForm, MovingAColumnTakesItsItemAlong)
{
    Grid->Columns().Items(1)->SetCaption("Empf.");
    Grid->MoveColumn(1, 3);
    EXPECT_EQ(Grid->Columns().Items(3)->Editor(), Receive);
    EXPECT_EQ(Grid->Columns().Items(3)->Index(), 3);
    EXPECT_EQ(Grid->Columns().Items(3)->Caption(), "Empf.");
    EXPECT_EQ(Grid->Columns().Items(1)->Editor(), Transmit);
}

TEST_F(CellGridForm, ItemsKeepCaptionAndWidthInTheGrid)
{
    TCellGridColumnItem* item = Grid->Columns().Items(2);
    item->SetCaption("Sendefrequenz (MHz)");
    item->SetWidth(120);
    EXPECT_EQ(Grid->Cells(2, 0), "Sendefrequenz (MHz)");
    EXPECT_EQ(Grid->ColWidths(2), 120);
    Grid->SetCells(2, 0, "Senden");
    EXPECT_EQ(item->Caption(), "Senden");

    // Assigning copies looks and caption; the editor stays behind.
    TCellGrid other;
    other.Columns().Items(1)->SetHeaderColor(clRed);
    other.Columns().Items(1)->SetAlignment(TAlignment::taCenter);
    other.Columns().Items(1)->SetCaption("Copy");
    Grid->SetColumns(other.Columns());
    EXPECT_EQ(Grid->Columns().Items(1)->HeaderColor(), clRed);
    EXPECT_EQ(Grid->Columns().Items(1)->Alignment(), TAlignment::taCenter);
    EXPECT_EQ(Grid->Cells(1, 0), "Copy");
    EXPECT_EQ(Grid->Columns().Items(1)->Editor(), nullptr);
    EXPECT_EQ(Receive->Grid(), nullptr);
}

TEST_F(CellGridForm, PublishesItsProperties)
{
    for (const char* name : {"FixedLineColor", "GridLineColor", "SelectedColor", "SelectedTextColor", "MultiLine",
                             "ImmediateEditMode", "Ctl3D"}) {
        QMetaProperty property;
        EXPECT_TRUE(FindPublishedProperty(Grid, name, &property)) << name;
    }
    for (const char* name : {"HeaderColor", "HeaderFont", "HeaderAlignment", "Caption", "Color", "Width", "Font",
                             "Alignment", "EditorInheritsCellProps"}) {
        QMetaProperty property;
        EXPECT_TRUE(FindPublishedProperty(Grid->Columns().Items(0), name, &property)) << name;
    }
    QMetaProperty property;
    EXPECT_TRUE(FindPublishedProperty(Power, "Style", &property));
    EXPECT_TRUE(FindPublishedProperty(Power, "DefaultText", &property));
    EXPECT_TRUE(FindPublishedProperty(Receive, "EditMask", &property));
    EXPECT_EQ(Grid->FixedLineColor(), clBlack);
    EXPECT_EQ(Grid->GridLineColor(), clSilver);
    EXPECT_EQ(Grid->SelectedColor(), clHighlight);
    EXPECT_EQ(Grid->SelectedTextColor(), clHighlightText);
    EXPECT_EQ(ClassNameOf(Grid), "TCellGrid");
}

TEST_F(CellGridForm, StyleAndMaskGoToTheControl)
{
    Power->SetStyle(TComboBoxStyle::csDropDown);
    EXPECT_TRUE(ComboControl()->isEditable());
    EXPECT_EQ(Power->Style(), TComboBoxStyle::csDropDown);
    Receive->SetEditMask("00:00");
    EXPECT_EQ(MaskControl(Receive)->inputMask(), "99:99;_");
    EXPECT_EQ(Receive->EditMask(), "00:00");
    // Items reach a control that exists.
    Power->SetItems({"a", "b"});
    EXPECT_EQ(ComboControl()->count(), 2);
}

TEST(CellEditor, NeedsAWindowAsOwner)
{
    QObject owner;
    TMaskEditCellEditor editor(&owner);
    try {
        editor.Loaded();
        FAIL() << "no error";
    } catch (const ECellEditorError& e) {
        EXPECT_EQ(e.Message(), "Cell Editor not of type TCellEditor");
    }
    EXPECT_EQ(editor.GetEditorControl(), nullptr);
}

// ---- Drawing ---------------------------------------------------------------------

TEST_F(CellGridForm, CellLooksFollowColumnsAndSelection)
{
    TCellGridColumnItem* item = Grid->Columns().Items(2);
    item->SetHeaderColor(clSkyBlue);
    item->SetHeaderFontColor(clBlue);
    item->SetHeaderAlignment(TAlignment::taCenter);
    item->SetColor(clCream);
    item->SetFontColor(clGreen);
    item->SetAlignment(TAlignment::taRightJustify);
    Grid->SetFixedColor(clMoneyGreen);
    struct TCase {
        const char* Name;
        int Col;
        int Row;
        TGridDrawState State;
        TColor Background;
        TColor Text;
        TAlignment Alignment;
        TColor Line;
    };
    const std::vector<TCase> cases = {
        {"header", 2, 0, gdFixed, clSkyBlue, clBlue, TAlignment::taCenter, clBlack},
        {"cell", 2, 5, {}, clCream, clGreen, TAlignment::taRightJustify, clSilver},
        {"selected cell", 2, 5, gdSelected, clHighlight, clHighlightText, TAlignment::taRightJustify, clSilver},
        {"fixed column", 0, 5, gdFixed, clMoneyGreen, clWindowText, TAlignment::taLeftJustify, clBlack},
        {"corner", 0, 0, gdFixed, Grid->Columns().Items(0)->HeaderColor(), clWindowText, TAlignment::taLeftJustify,
         clBlack},
    };
    EXPECT_FALSE(Grid->CellLook(2, 5, {}).WordWrap);
    Grid->SetMultiLine(true);
    EXPECT_TRUE(Grid->CellLook(2, 5, {}).WordWrap);
    EXPECT_EQ(Grid->CellLook(2, 5, {}).TextRect, Grid->CellRect(2, 5).adjusted(2, 2, -2, -2));
    for (const TCase& c : cases) {
        const TCellLook look = Grid->CellLook(c.Col, c.Row, c.State);
        EXPECT_EQ(look.Background, c.Background) << c.Name;
        EXPECT_EQ(look.TextColor, c.Text) << c.Name;
        EXPECT_EQ(look.Alignment, c.Alignment) << c.Name;
        EXPECT_EQ(look.LineColor, c.Line) << c.Name;
    }
    // The current cell is selected while the grid has no focus and focused while it has.
    EXPECT_EQ(Grid->DrawState(1, 1), TGridDrawState(gdFocused));
    Other->setFocus();
    EXPECT_EQ(Grid->DrawState(1, 1), TGridDrawState(gdSelected));
    EXPECT_EQ(Grid->DrawState(0, 1), TGridDrawState(gdFixed));
}

TEST_F(CellGridForm, PaintsBackgroundsLinesAndLetsTheFormDraw)
{
    Grid->Columns().Items(2)->SetColor(clCream);
    Grid->SetCells(2, 1, "x");
    Grid->SetCells(1, 2, "");
    std::vector<TEdited> props;
    Grid->OnCellProps = [&props](TObject*, QPainter&, TAlignment& alignment, std::string& text, TGridDrawState,
                                 int row, int col) {
        if (col == 2 && row == 1) {
            props.push_back({col, row, text});
            text = "&&";
            alignment = TAlignment::taCenter;
        }
    };
    int drawCalls = 0;
    bool defaultDrawingSeen = true;
    Grid->OnDrawCell = [&, this](TObject*, int col, int row, const QRect& rect, TGridDrawState) {
        ++drawCalls;
        defaultDrawingSeen = Grid->DefaultDrawing();
        if (col == 1 && row == 2) {
            ASSERT_NE(Grid->Canvas(), nullptr);
            Grid->Canvas()->fillRect(rect.adjusted(0, 0, -rect.width() / 2, 0), Qt::red);
        }
    };
    const QImage image = Grid->viewport()->grab().toImage();
    EXPECT_EQ(props, (std::vector<TEdited>{{2, 1, "x"}}));
    EXPECT_GT(drawCalls, 0);
    EXPECT_FALSE(defaultDrawingSeen) << "the form draws with the default drawing off";
    EXPECT_TRUE(Grid->DefaultDrawing());
    EXPECT_EQ(Grid->Canvas(), nullptr);
    const QRect cell = Grid->CellRect(2, 3);
    EXPECT_EQ(image.pixelColor(cell.center()), ColorToQColor(clCream));
    EXPECT_EQ(image.pixelColor(cell.right() + 1, cell.center().y()), ColorToQColor(clSilver)) << "grid line";
    const QRect header = Grid->CellRect(2, 0);
    EXPECT_EQ(image.pixelColor(header.right() + 1, header.center().y()), ColorToQColor(clBlack)) << "fixed line";
    const QRect drawn = Grid->CellRect(1, 2);
    EXPECT_EQ(image.pixelColor(drawn.left() + 3, drawn.center().y()), QColor(Qt::red));
    EXPECT_EQ(image.pixelColor(drawn.right() - 3, drawn.center().y()), ColorToQColor(clWindow));
}

// The edit's history and paste, and the widget itself offscreen: typed keys,
// the shared history across edits, the look per colour state, the dialog keys
// and the direct-help hook.
#include "controls/Zor_StandardControls.h"
#include "controls/Zor_ZusaetzlicheControls.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QApplication>
#include <QClipboard>
#include <QDialog>
#include <QMainWindow>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <array>
#include <memory>
#include <string>
#include <vector>

namespace {

using enum TInputMode;

// ---- History -------------------------------------------------------------------

TEST(EditHistory, EntriesAreQuoted)
{
    TZor_Undo undo;
    undo.Put(2, "O'Neil");
    EXPECT_EQ(undo.Count(), 3);
    EXPECT_EQ(undo.Stored(2), "'O''Neil'");
    EXPECT_EQ(undo.Stored(0), "");
    EXPECT_EQ(undo.Get(2), "O'Neil");
    EXPECT_EQ(undo.Get(0), "");
    EXPECT_EQ(undo.Get(7), "");
    EXPECT_EQ(undo.Get(-1), "");
    for (const std::string text : {"", "'", "''", "a'b'c", "'x'"}) {
        undo.Put(0, text);
        EXPECT_EQ(undo.Get(0), text) << text;
    }
}

// Confirms a typed text with Enter.
void Confirm(TZor_EditCore& edit, const std::string& text)
{
    edit.SelectAll();
    Type(edit, QString::fromStdString(text).toStdU32String());
    edit.KeyPress(13);
}

TEST(EditHistory, EscapeCyclesBackThroughConfirmedTexts)
{
    TZor_EditCore edit;
    edit.SetText("A");
    edit.Enter();
    EXPECT_EQ(edit.Selection(), (TZor_Selection{0, 1}));
    Confirm(edit, "B");
    Confirm(edit, "C");
    const std::vector<std::string> expected = {"B", "A", "C", "B", "A", "C"};
    for (const std::string& text : expected) {
        edit.KeyPress(27);
        EXPECT_EQ(edit.Text(), text);
        EXPECT_EQ(edit.Selection(), (TZor_Selection{0, 1})) << "the whole text is selected";
    }
}

TEST(EditHistory, SameTextConfirmedTwiceIsKeptOnce)
{
    TZor_EditCore edit;
    edit.SetText("A");
    edit.Enter();
    Confirm(edit, "B");
    edit.KeyPress(13);
    EXPECT_EQ(edit.UndoCount(), 1);
    edit.KeyPress(27);
    EXPECT_EQ(edit.Text(), "A");
    edit.KeyPress(27);
    EXPECT_EQ(edit.Text(), "B");
}

TEST(EditHistory, AnUnconfirmedTextJoinsTheCycle)
{
    TZor_EditCore edit;
    edit.SetText("A");
    edit.Enter();
    EXPECT_FALSE(edit.CanUndo());
    Type(edit, U"X");
    EXPECT_TRUE(edit.CanUndo());
    edit.KeyPress(27);
    EXPECT_EQ(edit.Text(), "A");
    edit.KeyPress(27);
    EXPECT_EQ(edit.Text(), "X");
    // Nothing to undo while the text is the one the edit was entered with.
    TZor_EditCore quiet;
    quiet.SetText("Q");
    quiet.Enter();
    quiet.Undo();
    EXPECT_EQ(quiet.Text(), "Q");
    EXPECT_EQ(quiet.UndoCount(), 0);
}

TEST(EditHistory, QuotesSurviveTheHistory)
{
    TZor_EditCore edit;
    edit.SetText("it's");
    edit.Enter();
    Confirm(edit, "'quoted'");
    edit.KeyPress(27);
    EXPECT_EQ(edit.Text(), "it's");
    edit.KeyPress(27);
    EXPECT_EQ(edit.Text(), "'quoted'");
}

TEST(EditHistory, EnteringAnotherEditStartsItsOwnHistory)
{
    TZor_EditCore first;
    TZor_EditCore second;
    first.SetText("one");
    first.Enter();
    Confirm(first, "two");
    second.SetText("other");
    second.Enter();
    EXPECT_EQ(G_Zor_Undo().Count(), 1);
    EXPECT_EQ(G_Zor_Undo().Get(0), "other");
}

// ---- Paste ---------------------------------------------------------------------

struct PasteCase {
    TInputMode Mode;
    std::string Text;
    TZor_Selection Selection;
    std::optional<std::string> Clipboard;
    std::string Result;
    unsigned Beeps;
};

TEST(EditPaste, ThroughTheInputMode)
{
    TFormatScope scope;
    const std::vector<PasteCase> cases = {
        {imInteger, "13", {1, 0}, "42", "1423", 0},
        {imInteger, "13", {1, 0}, "4x", "13", 1},
        {imInteger, "13", {0, 2}, "7", "7", 0},
        {imAll, "abc", {2, 0}, "XY", "abXYc", 0},
        {imAll, "abc", {1, 1}, "", "abc", 0},
        {imAll, "abc", {1, 0}, std::nullopt, "abc", 0},
        {imShortTime, "", {0, 0}, "12.30", "12:30", 0},
        {imFloat, "", {0, 0}, Num("1,5"), Num("1,5"), 0},
        {imFloat, "", {0, 0}, Num("1,5,"), "", 1},
        // One line: every line break goes, whichever it is.
        {imAll, "ab", {1, 0}, "x\r\ny", "axyb", 0},
        {imAll, "x", {1, 0}, "a\nb", "xab", 0},
        {imAll, "x", {1, 0}, "a\rb\n", "xab", 0},
        {imAll, "x", {0, 1}, "\n\r\n", "x", 0},
        {imInteger, "1", {1, 0}, "2\n3", "123", 0},
    };
    for (const PasteCase& c : cases) {
        TZor_EditCore edit;
        edit.SetInputMode(c.Mode);
        edit.SetText(c.Text);
        TBeepCounter beeps;
        edit.Paste(c.Clipboard, c.Selection);
        EXPECT_EQ(edit.Text(), c.Result) << c.Text << " + " << c.Clipboard.value_or("(none)");
        EXPECT_EQ(beeps.Count(), c.Beeps) << c.Text;
    }
}

TEST(EditPaste, TheCaretFollowsThePastedText)
{
    TZor_EditCore edit;
    edit.SetText("abc");
    edit.Paste(std::string("XY"), {2, 0});
    EXPECT_EQ(edit.Selection(), (TZor_Selection{4, 0}));
    EXPECT_EQ(edit.LastSelection(), (TZor_Selection{4, 0}));
}

// ---- Bevel ----------------------------------------------------------------------

// The bevel of a look painted into a control's rectangle: each cut one pixel
// wide, the outer one on the outermost pixels of all four sides, the inner
// one just inside it, each only on the edges asked for.
TEST(Bevel, EachCutOnItsOwnRingOfPixels)
{
    const QRgb ground = qRgb(255, 0, 255);
    const QRgb light = ColorToQColor(clBtnHighlight).rgb();
    const QRgb shadow = ColorToQColor(clBtnShadow).rgb();
    struct Case {
        const char* Name;
        TZor_Colors_Bevel::TBevelValues Bevel;
        TBevelEdges Edges;
        // Columns 0, 1, w-2, w-1 at the middle row, then rows 0, 1, h-2, h-1
        // at the middle column.
        std::array<QRgb, 4> Columns;
        std::array<QRgb, 4> Rows;
    };
    const TBevelEdges sides = TBevelEdges(TBevelEdge::beLeft) | TBevelEdge::beRight;
    const std::vector<Case> cases = {
        {"Flat", {TBorderStyle::bsNone, TBevelCut::bvRaised, TBevelCut::bvRaised, TBevelKind::bkFlat}, AllBevelEdges,
         {shadow, ground, ground, shadow}, {shadow, ground, ground, shadow}},
        {"FlatOnTheSides", {TBorderStyle::bsNone, TBevelCut::bvNone, TBevelCut::bvNone, TBevelKind::bkFlat}, sides,
         {shadow, ground, ground, shadow}, {ground, ground, ground, ground}},
        {"RaisedAroundLowered", {TBorderStyle::bsNone, TBevelCut::bvRaised, TBevelCut::bvLowered, TBevelKind::bkTile},
         AllBevelEdges, {light, shadow, light, shadow}, {light, shadow, light, shadow}},
        {"LoweredAlone", {TBorderStyle::bsNone, TBevelCut::bvLowered, TBevelCut::bvNone, TBevelKind::bkSoft},
         AllBevelEdges, {shadow, ground, ground, light}, {shadow, ground, ground, light}},
        {"SpaceThenRaised", {TBorderStyle::bsNone, TBevelCut::bvSpace, TBevelCut::bvRaised, TBevelKind::bkTile},
         AllBevelEdges, {ground, light, shadow, ground}, {ground, light, shadow, ground}},
        {"RaisedOnTheSides", {TBorderStyle::bsNone, TBevelCut::bvRaised, TBevelCut::bvNone, TBevelKind::bkTile}, sides,
         {light, ground, ground, shadow}, {ground, ground, ground, ground}},
        {"NoBevel", {TBorderStyle::bsNone, TBevelCut::bvRaised, TBevelCut::bvRaised, TBevelKind::bkNone},
         AllBevelEdges, {ground, ground, ground, ground}, {ground, ground, ground, ground}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        QImage image(24, 12, QImage::Format_RGB32);
        image.fill(ground);
        {
            QPainter painter(&image);
            ZorPaintBevel(painter, image.rect(), c.Bevel, c.Edges);
        }
        const int w = image.width();
        const int h = image.height();
        const std::array<int, 4> columns{0, 1, w - 2, w - 1};
        const std::array<int, 4> rows{0, 1, h - 2, h - 1};
        for (std::size_t i = 0; i < 4; ++i) {
            EXPECT_EQ(image.pixel(columns[i], h / 2), c.Columns[i]) << "column " << columns[i];
            EXPECT_EQ(image.pixel(w / 2, rows[i]), c.Rows[i]) << "row " << rows[i];
        }
        EXPECT_EQ(image.pixel(w / 2, h / 2), ground) << "the inside is the control's";
    }
}

// ---- The widget ------------------------------------------------------------------

class EditWidget : public testing::Test {
protected:
    void SetUp() override
    {
        Form = std::make_unique<QWidget>();
        auto* layout = new QVBoxLayout(Form.get());
        layout->addWidget(new QLineEdit(Form.get()));
        Edit = new TZor_Edit(Form.get());
        Other = new TZor_Edit(Form.get());
        layout->addWidget(Edit);
        layout->addWidget(Other);
        Form->show();
        QApplication::setActiveWindow(Form.get());
    }
    void TearDown() override { Form.reset(); }

    void Focus(QWidget* widget)
    {
        widget->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), widget);
    }

    TFormatScope Scope;
    std::unique_ptr<QWidget> Form;
    TZor_Edit* Edit = nullptr;
    TZor_Edit* Other = nullptr;
};

TEST_F(EditWidget, PublishesItsProperties)
{
    const std::vector<std::string> names = {"InputMode", "MinValue", "MaxValue", "DecimalPlaces", "Value",
                                            "Pattern", "Alignment", "PasswordChar", "DirectHelp", "Zor_Tag",
                                            "Text", "MaxLength", "Hint"};
    for (const std::string& name : names) {
        QMetaProperty property;
        EXPECT_TRUE(FindPublishedProperty(Edit, name, &property)) << name;
    }
    EXPECT_STREQ(Edit->metaObject()->className(), "TZor_Edit");
    EXPECT_EQ(Edit->InputMode(), imAll);
    EXPECT_EQ(Edit->Pattern(), TZor_PatternStyle::psEnabled);
    EXPECT_EQ(Edit->Alignment(), TAlignment::taLeftJustify);
    EXPECT_EQ(Edit->MaxLength(), 0);
    auto* tag = qvariant_cast<TZor_Tag*>(Edit->property("Zor_Tag"));
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(tag->IntegerTag(), 0);
    EXPECT_TRUE(Edit->setProperty("InputMode", QVariant::fromValue(imInteger)));
    EXPECT_EQ(Edit->InputMode(), imInteger);
}

TEST_F(EditWidget, TypedKeysGoThroughTheInputMode)
{
    Edit->SetInputMode(imShortTime);
    Focus(Edit);
    SendText(Edit, "12.3");
    EXPECT_EQ(Edit->Text(), "12:3");
    EXPECT_EQ(Edit->QLineEdit::text(), "12:3");
    Focus(Other);
    EXPECT_EQ(Edit->Text(), "12:03");

    Other->SetInputMode(imInteger);
    Other->SetMaxValue(10);
    Focus(Other);
    TBeepCounter beeps;
    SendText(Other, "1a5");
    EXPECT_EQ(Other->Text(), "1");
    EXPECT_EQ(beeps.Count(), 1u);
}

TEST_F(EditWidget, EnterAndEscapeUseTheHistory)
{
    Edit->SetText("A");
    Focus(Edit);
    SendText(Edit, "B");
    SendKey(Edit, Qt::Key_Return);
    SendKey(Edit, Qt::Key_A, Qt::ControlModifier);
    SendText(Edit, "C");
    SendKey(Edit, Qt::Key_Return);
    SendKey(Edit, Qt::Key_Escape);
    EXPECT_EQ(Edit->Text(), "B");
    EXPECT_EQ(Edit->selectedText(), "B");
    SendKey(Edit, Qt::Key_Escape);
    EXPECT_EQ(Edit->Text(), "A");
}

TEST_F(EditWidget, ChangeEventsSeeTheWidgetsText)
{
    std::vector<std::string> seen;
    Edit->OnChange = [&](TObject* sender) {
        EXPECT_EQ(sender, static_cast<TObject*>(Edit));
        seen.push_back(Edit->QLineEdit::text().toStdString());
    };
    Edit->SetInputMode(imInteger);
    Focus(Edit);
    SendText(Edit, "4-2");
    EXPECT_EQ((std::vector<std::string>{"4", "4", "42"}), seen);
}

TEST_F(EditWidget, PasteFromTheClipboard)
{
    Edit->SetInputMode(imInteger);
    Edit->SetText("13");
    Focus(Edit);
    Edit->setCursorPosition(1);
    QGuiApplication::clipboard()->setText("42");
    SendKey(Edit, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Edit->Text(), "1423");
    QGuiApplication::clipboard()->setText("x");
    TBeepCounter beeps;
    Edit->Paste();
    EXPECT_EQ(Edit->Text(), "1423");
    EXPECT_EQ(beeps.Count(), 1u);
}

// Delete and Backspace as the X server delivers them, with their characters
// 0x7F and 0x08, in every input mode: each deletes one character, and the
// field and Text() agree on what is left.
TEST_F(EditWidget, DeleteAndBackspaceAsTheWindowSystemSendsThem)
{
    struct Case {
        TInputMode Mode;
        std::string Text; // in the machine's separators
        int Caret;
        Qt::Key Key;
        std::string Left;
    };
    const QString del = QStringLiteral("\x7f");
    const QString back = QStringLiteral("\x08");
    const std::vector<Case> cases = {
        {imAll, "abc", 1, Qt::Key_Delete, "ac"},
        {imAll, "abc", 1, Qt::Key_Backspace, "bc"},
        {imDate, Day("11.12.2026"), 0, Qt::Key_Delete, Day("1.12.2026")},
        {imDate, Day("11.12.2026"), 10, Qt::Key_Backspace, Day("11.12.202")},
        {imShortTime, "12:30", 0, Qt::Key_Delete, "2:30"},
        {imShortTime, "12:30", 5, Qt::Key_Backspace, "12:3"},
        {imLongTime, "12:30:15", 0, Qt::Key_Delete, "2:30:15"},
        {imLongTime, "12:30:15", 8, Qt::Key_Backspace, "12:30:1"},
        {imInteger, "123", 0, Qt::Key_Delete, "23"},
        {imInteger, "123", 1, Qt::Key_Delete, "13"},
        {imInteger, "123", 3, Qt::Key_Backspace, "12"},
        {imFloat, Num("3,25"), 3, Qt::Key_Delete, Num("3,2")},
        {imFloat, Num("3,25"), 4, Qt::Key_Backspace, Num("3,2")},
        {imLatitude, "N 45", 2, Qt::Key_Delete, "N 5"},
        {imLatitude, "N 45", 4, Qt::Key_Backspace, "N 4"},
        {imLongitude, "E 45", 2, Qt::Key_Delete, "E 5"},
        {imLongitude, "E 45", 4, Qt::Key_Backspace, "E 4"},
        {imMinSec, "5:30", 3, Qt::Key_Delete, "5:3"},
        {imMinSec, "5:30", 2, Qt::Key_Backspace, "530"},
    };
    for (const Case& c : cases) {
        Focus(Other);
        Edit->SetInputMode(c.Mode);
        Edit->SetText(c.Text);
        Focus(Edit);
        Edit->setCursorPosition(c.Caret);
        std::vector<char32_t> seen;
        Edit->OnKeyPress = [&](TObject*, char32_t& key) { seen.push_back(key); };
        TBeepCounter beeps;
        X11Key(Edit, c.Key, c.Key == Qt::Key_Delete ? del : back);
        const std::string what = std::to_string(static_cast<int>(c.Mode)) + " " + c.Text + " key " +
                                 (c.Key == Qt::Key_Delete ? "Delete" : "Backspace");
        EXPECT_EQ(Edit->QLineEdit::text().toStdString(), c.Left) << what;
        EXPECT_EQ(Edit->Text(), c.Left) << what;
        EXPECT_EQ(beeps.Count(), 0u) << what;
        // Backspace is a character the form's handlers see, Delete none.
        EXPECT_EQ(seen, c.Key == Qt::Key_Delete ? std::vector<char32_t>{} : std::vector<char32_t>{8}) << what;
        Edit->OnKeyPress = nullptr;
    }
}

// MaxLength is for the person's typing and pasting: what the program sets
// stays whole, in the field and in Text and Value alike, and so does the text
// there is when the limit is lowered.
TEST_F(EditWidget, MaxLengthLeavesWhatTheProgramSetsWhole)
{
    Edit->SetInputMode(imFloat);
    Edit->SetMaxLength(3);
    Edit->SetText(Num("3,14159"));
    EXPECT_EQ(Edit->QLineEdit::text().toStdString(), Num("3,14159"));
    EXPECT_EQ(Edit->Text(), Num("3,14159"));
    EXPECT_DOUBLE_EQ(static_cast<double>(Edit->Value()), 3.14159);
    Edit->SetValue(2.71828);
    EXPECT_EQ(Edit->QLineEdit::text().toStdString(), Num("2,71828"));
    EXPECT_EQ(Edit->Text(), Num("2,71828"));
    EXPECT_DOUBLE_EQ(static_cast<double>(Edit->Value()), 2.71828);

    // A lowered limit leaves the text there is.
    Other->SetInputMode(imInteger);
    Other->SetText("12345");
    Other->SetMaxLength(2);
    EXPECT_EQ(Other->QLineEdit::text(), "12345");
    EXPECT_EQ(Other->Text(), "12345");
    EXPECT_DOUBLE_EQ(static_cast<double>(Other->Value()), 12345);

    // Typing and pasting stop at the limit.
    Other->SetInputMode(imAll);
    Other->SetMaxLength(4);
    Other->SetText("ab");
    Focus(Other);
    Other->end(false);
    QGuiApplication::clipboard()->setText("xyz");
    SendKey(Other, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(Other->QLineEdit::text(), "abxy");
    EXPECT_EQ(Other->Text(), "abxy");
    SendText(Other, "q");
    EXPECT_EQ(Other->QLineEdit::text(), "abxy");
    EXPECT_EQ(Other->Text(), "abxy");
}

// A text pasted into the one-line field loses its line breaks, in the field
// as in Text.
TEST_F(EditWidget, PasteDropsEveryLineBreak)
{
    for (const char* clipboard : {"a\nb", "a\r\nb", "a\rb", "\na\r\n\rb\n"}) {
        Edit->SetText("x");
        Focus(Edit);
        Edit->end(false);
        QGuiApplication::clipboard()->setText(clipboard);
        SendKey(Edit, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Edit->QLineEdit::text(), "xab") << clipboard;
        EXPECT_EQ(Edit->Text(), "xab") << clipboard;
    }
}

TEST_F(EditWidget, ColourStateWhileDisabled)
{
    struct Case {
        TZor_PatternStyle Before;
        TZor_PatternStyle After;
    };
    for (const Case& c : {Case{TZor_PatternStyle::psError, TZor_PatternStyle::psError},
                          Case{TZor_PatternStyle::psDisabled, TZor_PatternStyle::psEnabled},
                          Case{TZor_PatternStyle::psOk, TZor_PatternStyle::psOk}}) {
        Edit->SetPattern(c.Before);
        Edit->setEnabled(false);
        EXPECT_EQ(Edit->Pattern(), TZor_PatternStyle::psDisabled);
        Edit->setEnabled(true);
        EXPECT_EQ(Edit->Pattern(), c.After);
    }
}

TEST_F(EditWidget, PaintsWithTheSchemeOfItsState)
{
    Edit->SetPattern(TZor_PatternStyle::psError);
    (void)Edit->grab();
    const TZor_Colors_Bevel& set = *G_Zor_Pattern().Edit();
    EXPECT_EQ(Edit->palette().color(QPalette::Base), ColorToQColor(set.Error()));
    EXPECT_EQ(Edit->palette().color(QPalette::Text), ColorToQColor(set.ErrorFont()));
    // A changed scheme shows at the next paint.
    const TColor saved = set.Error();
    G_Zor_Pattern().Edit()->SetError(0x00123456);
    (void)Edit->grab();
    EXPECT_EQ(Edit->palette().color(QPalette::Base), ColorToQColor(0x00123456));
    G_Zor_Pattern().Edit()->SetError(saved);
    const QImage picture = Edit->grab().toImage();
    EXPECT_EQ(picture.pixelColor(picture.width() / 2, 3), ColorToQColor(saved));
}

TEST_F(EditWidget, PasswordCharHidesTheText)
{
    Edit->SetPasswordChar('*');
    EXPECT_EQ(Edit->echoMode(), QLineEdit::Password);
    Edit->SetPasswordChar(QChar());
    EXPECT_EQ(Edit->echoMode(), QLineEdit::Normal);
}

// What the person sees: each character of the text as the password
// character, exactly as an edit that holds that character would show it.
TEST_F(EditWidget, PasswordCharIsTheCharacterShown)
{
    Form->findChild<QLineEdit*>()->setFocus(); // no caret in the grabs
    Other->SetText("abc");
    const QImage clear = Other->grab().toImage();
    for (const QChar c : {QChar('*'), QChar('#')}) {
        Edit->SetPasswordChar(c);
        Edit->SetText("abc");
        Other->SetText(QString(3, c).toStdString());
        const QImage shown = Edit->grab().toImage();
        EXPECT_EQ(shown, Other->grab().toImage()) << "shows " << c.toLatin1();
        EXPECT_NE(shown, clear) << "hides the text behind " << c.toLatin1();
        EXPECT_EQ(Edit->Text(), "abc");
    }
    // Typed characters are kept as typed and shown masked.
    Focus(Edit);
    Edit->selectAll();
    SendText(Edit, "xy");
    EXPECT_EQ(Edit->Text(), "xy");
    EXPECT_EQ(Edit->displayText(), "##");
    Edit->SetPasswordChar(QChar());
    EXPECT_EQ(Edit->displayText(), "xy");
}

// A default and a cancel button on a dialog with an edit.
class DialogKeys : public testing::Test {
protected:
    void SetUp() override
    {
        Dialog = std::make_unique<QDialog>();
        auto* layout = new QVBoxLayout(Dialog.get());
        Edit = new TZor_Edit(Dialog.get());
        Ok = new TZor_BitBtn(Dialog.get());
        Abort = new TZor_BitBtn(Dialog.get());
        for (QWidget* w : {static_cast<QWidget*>(Edit), static_cast<QWidget*>(Ok), static_cast<QWidget*>(Abort)})
            layout->addWidget(w);
        Ok->SetCaption("&OK");
        Ok->SetDefault(true);
        Ok->SetModalResult(1);
        Abort->SetCaption("&Abbrechen");
        Abort->SetDefault(true);
        Abort->SetCancel(true);
        Abort->SetModalResult(2);
        Ok->OnClick = [this](TObject*) { Clicks.push_back("OK"); };
        Abort->OnClick = [this](TObject*) { Clicks.push_back("Abort"); };
        Dialog->show();
        QApplication::setActiveWindow(Dialog.get());
        Edit->setFocus();
    }

    std::unique_ptr<QDialog> Dialog;
    TZor_Edit* Edit = nullptr;
    TZor_BitBtn* Ok = nullptr;
    TZor_BitBtn* Abort = nullptr;
    std::vector<std::string> Clicks;
};

TEST_F(DialogKeys, EnterAndEscapeReachTheButtons)
{
    struct Case {
        int Key;
        Qt::KeyboardModifiers Modifiers;
        std::vector<std::string> Clicks;
        int Result;
    };
    const std::vector<Case> cases = {
        {Qt::Key_Return, Qt::NoModifier, {"OK"}, 1},
        {Qt::Key_Enter, Qt::KeypadModifier, {"OK"}, 1},
        {Qt::Key_Escape, Qt::NoModifier, {"Abort"}, 2},
        {Qt::Key_Return, Qt::ControlModifier, {}, 0},
        {Qt::Key_Escape, Qt::ShiftModifier, {}, 0},
    };
    for (const Case& c : cases) {
        Clicks.clear();
        Dialog->setResult(0);
        Dialog->show();
        QApplication::setActiveWindow(Dialog.get());
        SendKey(Edit, c.Key, c.Modifiers);
        EXPECT_EQ(Clicks, c.Clicks) << c.Key;
        EXPECT_EQ(Dialog->result(), c.Result) << c.Key;
    }
}

TEST_F(DialogKeys, AButtonThatCannotTakeTheFocusStaysOut)
{
    Ok->setEnabled(false);
    SendKey(Edit, Qt::Key_Return);
    EXPECT_TRUE(Clicks.empty());
    Ok->setEnabled(true);
    Ok->hide();
    SendKey(Edit, Qt::Key_Return);
    EXPECT_TRUE(Clicks.empty());
}

TEST_F(DialogKeys, AcceleratorsClickButLeaveTheResult)
{
    Ok->setFocus();
    SendKey(Ok, Qt::Key_A, Qt::NoModifier, "a");
    EXPECT_EQ(Clicks, std::vector<std::string>{"Abort"});
    EXPECT_EQ(Dialog->result(), 0);
    EXPECT_TRUE(Dialog->isVisible());
    // Alt and the letter from inside an edit.
    Clicks.clear();
    Edit->setFocus();
    SendKey(Edit, Qt::Key_O, Qt::AltModifier, "o");
    EXPECT_EQ(Clicks, std::vector<std::string>{"OK"});
    EXPECT_EQ(Dialog->result(), 0);
    // Space on the focused button.
    Clicks.clear();
    Abort->setFocus();
    SendKey(Abort, Qt::Key_Space, Qt::NoModifier, " ");
    EXPECT_EQ(Clicks, std::vector<std::string>{"Abort"});
    EXPECT_EQ(Dialog->result(), 0);
}

// ---- Direct help -------------------------------------------------------------------

class THelpDisplay : public QPlainTextEdit, public TZor_DirectHelpDisplay {
public:
    using QPlainTextEdit::QPlainTextEdit;
    std::string DirectHelpText() const override { return toPlainText().toStdString(); }
    void SetDirectHelpText(const std::string& text) override
    {
        setPlainText(QString::fromStdString(text));
        ++Updates;
    }
    void ResetVerticalScroll() override { verticalScrollBar()->setValue(0); }
    void RepaintDisplay() override { update(); }
    int Updates = 0;
};

TEST(DirectHelp, DisplaysFollowTheFocus)
{
    QMainWindow main;
    auto* central = new QWidget(&main);
    auto* layout = new QVBoxLayout(central);
    auto* edit = new TZor_Edit(central);
    auto* plain = new QLineEdit(central);
    auto* display = new THelpDisplay(central);
    display->setFocusPolicy(Qt::NoFocus);
    layout->addWidget(edit);
    layout->addWidget(plain);
    layout->addWidget(display);
    main.setCentralWidget(central);
    edit->SetDirectHelp({"  First line", "second line  "});
    G_Zor_AutoScreen()->SetMainForm(&main);

    G_Zor_AutoScreen()->ActiveControlChanged(edit);
    EXPECT_EQ(display->DirectHelpText(), "First line\nsecond line");
    EXPECT_EQ(display->Updates, 1);
    G_Zor_AutoScreen()->ActiveControlChanged(edit);
    EXPECT_EQ(display->Updates, 1) << "the same text is not shown again";
    // A scroll bar keeps the text; a control without help clears it.
    QScrollBar bar;
    G_Zor_AutoScreen()->ActiveControlChanged(&bar);
    EXPECT_EQ(display->DirectHelpText(), "First line\nsecond line");
    G_Zor_AutoScreen()->ActiveControlChanged(plain);
    EXPECT_EQ(display->DirectHelpText(), "");
    // No active control: the main form has no help, so the displays clear.
    G_Zor_AutoScreen()->ActiveControlChanged(edit);
    G_Zor_AutoScreen()->ActiveControlChanged(nullptr);
    EXPECT_EQ(display->DirectHelpText(), "");
    G_Zor_AutoScreen()->SetMainForm(nullptr);
}

// Freeing a part of the main form that holds the focus moves the focus while
// that part's children are being freed: the displays are then looked for in
// a tree with holes.
TEST(DirectHelp, FocusLeavingAPartThatIsBeingFreedIsHarmless)
{
    QMainWindow main;
    auto* central = new QWidget(&main);
    auto* layout = new QVBoxLayout(central);
    auto* display = new THelpDisplay(central);
    auto* part = new QWidget(central);
    auto* partLayout = new QVBoxLayout(part);
    partLayout->addWidget(new QWidget(part));
    auto* box = new QWidget(part);
    auto* boxLayout = new QVBoxLayout(box);
    auto* edit = new TZor_Edit(box);
    boxLayout->addWidget(edit);
    partLayout->addWidget(box);
    layout->addWidget(display);
    layout->addWidget(part);
    main.setCentralWidget(central);
    main.show();
    QApplication::setActiveWindow(&main);
    edit->setFocus();
    QCoreApplication::processEvents();
    ASSERT_TRUE(edit->hasFocus());
    G_Zor_AutoScreen()->SetMainForm(&main);
    edit->SetDirectHelp({"Help"});
    G_Zor_AutoScreen()->ActiveControlChanged(edit);
    ASSERT_EQ(display->DirectHelpText(), "Help");

    delete part;
    EXPECT_EQ(display->DirectHelpText(), "") << "the focus left the control with the help";
    G_Zor_AutoScreen()->SetMainForm(nullptr);
}

} // namespace

// A form's dialog keys as a person presses them: Enter and Escape typed into
// an edit or a combo box reach the form's default and cancel buttons, plain
// push buttons and the library's own alike; what no button takes stays the
// control's (the edit's history, its undo).
#include "controls/Zor_StandardControls.h"
#include "controls/Zor_ZusaetzlicheControls.h"
#include "platform/Forms.h"
#include "platform/StdCtrls.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QApplication>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

enum class TButtons { Plain, Library };

const char* Name(TButtons kind)
{
    return kind == TButtons::Plain ? "TButton" : "TZor_BitBtn";
}

// A dialog set up as the program's: an edit, then OK (default, mrOk) and
// Abort (cancel, mrCancel), either plain push buttons or the library's (both
// default there, Abort also cancel).
class TKeysForm {
public:
    explicit TKeysForm(TButtons kind, bool withCancel = true)
    {
        auto* layout = new QVBoxLayout(&Form);
        Edit = new TZor_Edit(&Form);
        Edit->setObjectName("edValue");
        layout->addWidget(Edit);
        if (kind == TButtons::Plain) {
            auto* ok = new TButton("OK", &Form);
            ok->SetDefault(true);
            ok->SetModalResult(mrOk);
            Ok = ok;
            if (withCancel) {
                auto* abort = new TButton("Abbrechen", &Form);
                abort->SetCancel(true);
                abort->SetModalResult(mrCancel);
                Abort = abort;
            }
        } else {
            auto* ok = new TZor_BitBtn(&Form);
            ok->SetCaption("&OK");
            ok->SetDefault(true);
            ok->SetModalResult(mrOk);
            Ok = ok;
            if (withCancel) {
                auto* abort = new TZor_BitBtn(&Form);
                abort->SetCaption("&Abbrechen");
                abort->SetDefault(true);
                abort->SetCancel(true);
                abort->SetModalResult(mrCancel);
                Abort = abort;
            }
        }
        for (QWidget* button : {Ok, Abort})
            if (button)
                layout->addWidget(button);
        QObject::connect(&Form, &QDialog::finished, [this](int result) { Closed = result; });
    }

    // Shown with the text in the edit, which has the focus.
    bool Open(const QString& text)
    {
        Edit->SetQText(text);
        if (!ShowActive(&Form))
            return false;
        Edit->setFocus(Qt::TabFocusReason);
        return QApplication::focusWidget() == Edit;
    }

    void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier)
    {
        PressKey(&Form, key, modifiers);
        QCoreApplication::processEvents(); // the form closes once the key is handled
    }

    TForm Form;
    TZor_Edit* Edit = nullptr;
    QWidget* Ok = nullptr;
    QWidget* Abort = nullptr;
    std::optional<int> Closed;
};

TEST(FormKeys, EnterAndEscapeInAnEditReachTheButtons)
{
    struct Case {
        Qt::Key Key;
        Qt::KeyboardModifiers Modifiers;
        std::optional<int> Closed; // none: the form stays open
        std::string Text;          // the edit's text afterwards
    };
    const std::vector<Case> cases = {
        {Qt::Key_Return, Qt::NoModifier, mrOk, "AB"},
        {Qt::Key_Enter, Qt::KeypadModifier, mrOk, "AB"},
        {Qt::Key_Escape, Qt::NoModifier, mrCancel, "AB"}, // the form took it: no undo
        {Qt::Key_Return, Qt::ControlModifier, std::nullopt, "AB"},
        {Qt::Key_Escape, Qt::ShiftModifier, std::nullopt, "A"}, // the edit's own undo
    };
    for (const TButtons kind : {TButtons::Plain, TButtons::Library}) {
        for (const Case& c : cases) {
            TKeysForm f(kind);
            ASSERT_TRUE(f.Open("A"));
            f.Edit->end(false);
            TypeKeys(&f.Form, "B");
            f.Press(c.Key, c.Modifiers);
            EXPECT_EQ(f.Closed, c.Closed) << Name(kind) << " key " << c.Key << " " << c.Modifiers;
            EXPECT_EQ(f.Form.isVisible(), !c.Closed.has_value()) << Name(kind) << " key " << c.Key;
            EXPECT_EQ(f.Edit->Text(), c.Text) << Name(kind) << " key " << c.Key;
            EXPECT_EQ(f.Form.ModalResult(), c.Closed.value_or(mrNone)) << Name(kind);
        }
    }
}

TEST(FormKeys, WithoutACancelButtonEscapeIsTheEditsUndo)
{
    for (const TButtons kind : {TButtons::Plain, TButtons::Library}) {
        TKeysForm f(kind, false);
        ASSERT_TRUE(f.Open("first"));
        TypeKeys(&f.Form, "second");
        f.Press(Qt::Key_Escape);
        EXPECT_TRUE(f.Form.isVisible()) << Name(kind);
        EXPECT_FALSE(f.Closed.has_value()) << Name(kind);
        EXPECT_EQ(f.Edit->Text(), "first") << Name(kind);
        EXPECT_EQ(f.Edit->selectedText(), "first") << Name(kind) << ": undo selects the text";
        f.Press(Qt::Key_Return);
        EXPECT_EQ(f.Closed, mrOk) << Name(kind);
    }
}

// Enter that no button takes confirms the text into the edit's history.
TEST(FormKeys, EnterWithTheDefaultButtonDisabledStaysInTheEdit)
{
    for (const TButtons kind : {TButtons::Plain, TButtons::Library}) {
        TKeysForm f(kind, false);
        ASSERT_TRUE(f.Open("one"));
        f.Ok->setEnabled(false);
        TypeKeys(&f.Form, "two");
        f.Press(Qt::Key_Return);
        EXPECT_TRUE(f.Form.isVisible()) << Name(kind);
        f.Edit->end(false);
        TypeKeys(&f.Form, "3");
        f.Press(Qt::Key_Escape);
        EXPECT_EQ(f.Edit->Text(), "two") << Name(kind) << ": Escape goes back to the confirmed text";
        f.Press(Qt::Key_Escape);
        EXPECT_EQ(f.Edit->Text(), "one") << Name(kind);
    }
}

TEST(FormKeys, AFocusedPushButtonTakesEnterItself)
{
    TKeysForm f(TButtons::Plain);
    ASSERT_TRUE(f.Open("x"));
    f.Press(Qt::Key_Tab); // the edit, OK, Abort
    f.Press(Qt::Key_Tab);
    ASSERT_EQ(QApplication::focusWidget(), f.Abort);
    f.Press(Qt::Key_Return);
    EXPECT_EQ(f.Closed, mrCancel);
}

// Enter on a focused button clicks that button, plain or the library's: a
// person who goes to Abort and presses Enter cancels.
TEST(FormKeys, EnterClicksTheFocusedButton)
{
    for (const TButtons kind : {TButtons::Plain, TButtons::Library}) {
        for (const int tabs : {1, 2}) {
            TKeysForm f(kind);
            ASSERT_TRUE(f.Open("x"));
            for (int i = 0; i < tabs; ++i)
                f.Press(Qt::Key_Tab); // the edit, OK, Abort
            ASSERT_EQ(QApplication::focusWidget(), tabs == 1 ? f.Ok : f.Abort) << Name(kind);
            X11Key(&f.Form, Qt::Key_Return, "\r");
            EXPECT_EQ(f.Closed, tabs == 1 ? mrOk : mrCancel) << Name(kind) << " after " << tabs << " tabs";
            EXPECT_FALSE(f.Form.isVisible()) << Name(kind);
        }
    }
}

// Which button takes Enter is the form's own matter, one rule for plain push
// buttons and the library's: a form that is not the active window answers as
// it will once it is, and the library's button that Enter would click is
// drawn as the default one there too.
TEST(FormKeys, TheButtonForEnterIsTheSameWhetherTheFormIsActiveOrNot)
{
    for (const TButtons kind : {TButtons::Plain, TButtons::Library}) {
        TKeysForm f(kind);
        ASSERT_TRUE(f.Open("x"));
        QWidget elsewhere;
        ASSERT_TRUE(ShowActive(&elsewhere));
        ASSERT_FALSE(f.Form.isActiveWindow()) << Name(kind);
        EXPECT_EQ(FormEnterReceiver(&f.Form), f.Ok)
            << Name(kind) << ": the default button while the edit has the focus";
        for (QWidget* focused : {f.Ok, f.Abort}) {
            focused->setFocus(Qt::TabFocusReason);
            ASSERT_EQ(f.Form.focusWidget(), focused) << Name(kind);
            EXPECT_EQ(FormEnterReceiver(&f.Form), focused) << Name(kind) << ": the focused button";
            if (kind == TButtons::Library) {
                EXPECT_EQ(static_cast<TZor_BitBtn*>(f.Ok)->DrawnAsDefault(), focused == f.Ok);
                EXPECT_EQ(static_cast<TZor_BitBtn*>(f.Abort)->DrawnAsDefault(), focused == f.Abort);
            }
        }
        // Active again, Enter clicks the button that has the focus.
        ASSERT_TRUE(ShowActive(&f.Form));
        ASSERT_EQ(QApplication::focusWidget(), f.Abort) << Name(kind);
        f.Press(Qt::Key_Return);
        EXPECT_EQ(f.Closed, mrCancel) << Name(kind);
    }
}

// Alt and a button's letter in a combo box is the button's accelerator, in
// every style: the box neither searches its list for the letter nor types it.
TEST(FormKeys, AltAndALetterInAComboBoxReachTheButtons)
{
    using enum TComboBoxStyle;
    struct Case {
        TComboBoxStyle Style;
        Qt::Key Key;
        QString Letter;
        int Closed;
    };
    const std::vector<Case> cases = {
        {csDropDownList, Qt::Key_A, "a", mrCancel},
        {csDropDownList, Qt::Key_O, "o", mrOk},
        {csDropDown, Qt::Key_A, "a", mrCancel},
        {csDropDown, Qt::Key_O, "o", mrOk},
    };
    for (const Case& c : cases) {
        TKeysForm f(TButtons::Library);
        auto* ok = static_cast<TZor_BitBtn*>(f.Ok);
        auto* abort = static_cast<TZor_BitBtn*>(f.Abort);
        ok->OnClick = [&](TObject*) { f.Form.SetModalResult(mrOk); };
        abort->OnClick = [&](TObject*) { f.Form.SetModalResult(mrCancel); };
        auto* combo = new TZor_ComboBox(&f.Form);
        f.Form.layout()->addWidget(combo);
        combo->SetStyle(c.Style);
        combo->SetItems({"COM1", "Abc", "Oxo"});
        combo->SetItemIndex(0);
        ASSERT_TRUE(f.Open("x"));
        combo->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), combo);
        X11Key(&f.Form, c.Key, c.Letter, Qt::AltModifier);
        EXPECT_EQ(f.Closed, c.Closed) << static_cast<int>(c.Style) << " Alt+" << c.Letter.toStdString();
        EXPECT_EQ(combo->currentText(), "COM1") << static_cast<int>(c.Style) << " Alt+" << c.Letter.toStdString();
        EXPECT_EQ(combo->ItemIndex(), 0) << static_cast<int>(c.Style);
    }
}

TEST(FormKeys, AClickHandlerCanKeepTheFormOpen)
{
    TKeysForm f(TButtons::Plain);
    int clicks = 0;
    QObject::connect(static_cast<TButton*>(f.Ok), &QPushButton::clicked, [&] {
        ++clicks;
        EXPECT_EQ(f.Form.ModalResult(), mrOk) << "set before the click's handlers run";
        f.Form.SetModalResult(mrNone);
    });
    ASSERT_TRUE(f.Open("x"));
    f.Press(Qt::Key_Return);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(f.Form.isVisible());
    EXPECT_FALSE(f.Closed.has_value());
    // A mouse click closes with the button's result as Enter does.
    QObject::disconnect(static_cast<TButton*>(f.Ok), &QPushButton::clicked, nullptr, nullptr);
    QTest::mouseClick(f.Abort, Qt::LeftButton);
    QCoreApplication::processEvents();
    EXPECT_EQ(f.Closed, mrCancel);
}

// Escape in a combo box puts its entry value back and still reaches the
// cancel button.
TEST(FormKeys, EscapeInAComboBoxRestoresAndCancels)
{
    TKeysForm f(TButtons::Library);
    auto* combo = new TZor_ComboBox(&f.Form);
    f.Form.layout()->addWidget(combo);
    combo->SetItems({"COM1", "COM2"});
    combo->SetText("COM1");
    int changes = 0;
    combo->OnChange = [&](TObject*) { ++changes; };
    ASSERT_TRUE(f.Open("x"));
    combo->setFocus(Qt::TabFocusReason);
    combo->lineEdit()->selectAll();
    TypeKeys(&f.Form, "XY");
    ASSERT_EQ(combo->Text(), "XY");
    const int typed = changes;
    f.Press(Qt::Key_Escape);
    EXPECT_EQ(combo->Text(), "COM1");
    EXPECT_EQ(changes, typed + 1) << "restored once";
    EXPECT_EQ(f.Closed, mrCancel);
}

// The form's result starts at none each time it is shown; closing it by hand
// leaves none.
TEST(FormKeys, ModalResultStartsEachShowAtNone)
{
    TForm form;
    form.SetModalResult(mrOk);
    ASSERT_TRUE(ShowActive(&form));
    EXPECT_EQ(form.ModalResult(), mrNone);
    QCoreApplication::processEvents();
    EXPECT_TRUE(form.isVisible()) << "a result set while hidden closes nothing later";
    form.close();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), mrNone);
}

} // namespace

// MaxLength as a person meets it in the edit, in every input mode and in the
// formats this machine has (C.UTF-8: yyyy-mm-dd and hh:nn:ss; de_DE.UTF-8:
// dd.mm.yyyy and hh:nn): typing and pasting stop at the limit, a paste into a
// full field is refused, the texts the edit writes itself (a date or time on
// leaving, SetValue) stay whole, and the float is cut to the limit on
// leaving. The keys go to the window as the window system hands them over.
#include "controls/Zor_StandardControls.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLocale>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace {

using enum TInputMode;

// A time in the pattern of its mode.
std::string TimeText(const QTime& time, TInputMode mode)
{
    const TFormatSettings& f = FormatSettings();
    return TimeIn(mode == imShortTime ? f.ShortTimeFormat : f.LongTimeFormat, time);
}

int Units(const std::string& text)
{
    return static_cast<int>(QString::fromStdString(text).size());
}

struct TLimitCase {
    std::string What;
    TInputMode Mode;
    int MaxLength;
    int DecimalPlaces;
    std::string Typed;              // typed into the empty field, or
    std::optional<long double> Set; // set by the program (SetValue)
    std::string Shown;              // what the field shows then
    std::string Left;               // and after the person left it
    long double Value;              // Value after leaving
};

class EditMaxLength : public testing::Test {
protected:
    void SetUp() override
    {
        auto* layout = new QVBoxLayout(Form.get());
        Other = new TZor_Edit(Form.get());
        layout->addWidget(Other);
        ASSERT_TRUE(ShowActive(Form.get()));
        Other->setFocus(Qt::TabFocusReason);
    }

    // A new edit below the other one (Tab goes from it to the other one),
    // made and set up while the other one has the focus.
    TZor_Edit* NewEdit(TInputMode mode, int maxLength, int decimalPlaces = 0)
    {
        Edit.reset(new TZor_Edit(Form.get()));
        Form->layout()->addWidget(Edit.get());
        Edit->show();
        Edit->SetInputMode(mode);
        Edit->SetDecimalPlaces(decimalPlaces); // writes 0 with its decimals
        Edit->SetText("");
        Edit->SetMaxLength(maxLength);
        return Edit.get();
    }

    // The person clicks into the edit.
    void Enter()
    {
        Edit->setFocus(Qt::MouseFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), Edit.get());
    }

    // The caret put `at` characters from the start with the arrow keys.
    void CaretTo(int at)
    {
        PressKey(Form.get(), Qt::Key_Home);
        for (int i = 0; i < at; ++i)
            PressKey(Form.get(), Qt::Key_Right);
    }

    // Tab to the other edit.
    void Leave()
    {
        PressKey(Form.get(), Qt::Key_Tab);
        ASSERT_EQ(QApplication::focusWidget(), Other);
    }

    std::string Shown() const { return Edit->QLineEdit::text().toStdString(); }

    TFormatScope Scope{TFormatScope::TPatterns::Machine};
    std::unique_ptr<QWidget> Form = std::make_unique<QWidget>();
    TZor_Edit* Other = nullptr;
    std::unique_ptr<TZor_Edit> Edit;
};

TEST_F(EditMaxLength, StopsWhatIsTypedOrPastedNeverWhatTheEditWrites)
{
    const QDate day(2024, 2, 1);
    const QDate lastDay(2024, 12, 31);
    const std::vector<TLimitCase> cases = {
        {"date typed", imDate, 8, 0, TypedDate(day), {}, TypedDate(day), ShortDate(day), DateToValue(day)},
        {"date set", imDate, 8, 0, "", DateToValue(lastDay), ShortDate(lastDay), ShortDate(lastDay),
         DateToValue(lastDay)},
        {"short time typed", imShortTime, 3, 0, TypedTime({1, 5}), {}, TypedTime({1, 5}),
         TimeText(QTime(1, 5), imShortTime), TimeToValue(QTime(1, 5))},
        {"short time set", imShortTime, 4, 0, "", TimeToValue(QTime(13, 45)), TimeText(QTime(13, 45), imShortTime),
         TimeText(QTime(13, 45), imShortTime), TimeToValue(QTime(13, 45))},
        {"long time typed", imLongTime, 5, 0, TypedTime({1, 2, 3}), {}, TypedTime({1, 2, 3}),
         TimeText(QTime(1, 2, 3), imLongTime), TimeToValue(QTime(1, 2, 3))},
        {"long time set", imLongTime, 5, 0, "", TimeToValue(QTime(13, 45, 30)), TimeText(QTime(13, 45, 30), imLongTime),
         TimeText(QTime(13, 45, 30), imLongTime), TimeToValue(QTime(13, 45, 30))},
        {"integer typed", imInteger, 4, 0, "12345", {}, "1234", "1234", 1234},
        {"integer set", imInteger, 2, 0, "", 12345, "12345", "12345", 12345},
        // Cut on leaving to the limit: 12,00 to 12,0 and 3,14 to 3,1.
        {"float typed", imFloat, 4, 2, "12", {}, "12", Num("12,0"), 12},
        {"float set", imFloat, 3, 2, "", 3.14159L, Num("3,14159"), Num("3,1"), 3.1L},
        {"any text typed", imAll, 4, 0, "abcde", {}, "abcd", "abcd", 0},
        {"latitude typed", imLatitude, 4, 0, Num("N 45,5"), {}, "N 45", "N 45", 0},
        {"longitude typed", imLongitude, 3, 0, "E 179", {}, "E 1", "E 1", 0},
        {"minutes typed", imMinSec, 4, 0, "-5:30", {}, "-5:3", "-5:3", 0},
    };
    for (const TLimitCase& c : cases) {
        SCOPED_TRACE(c.What);
        NewEdit(c.Mode, c.MaxLength, c.DecimalPlaces);
        if (c.Set)
            Edit->SetValue(*c.Set);
        Enter();
        PressKey(Form.get(), Qt::Key_End);
        TypeKeys(Form.get(), QString::fromStdString(c.Typed));
        EXPECT_EQ(Shown(), c.Shown);
        EXPECT_EQ(Edit->Text(), c.Shown);

        if (Units(c.Shown) >= c.MaxLength) {
            // The field is full: a paste into its middle and a key at its
            // end are refused, each with a beep.
            const int middle = Units(c.Shown) / 2;
            QGuiApplication::clipboard()->setText("1");
            CaretTo(middle);
            TBeepCounter beeps;
            PressKey(Form.get(), Qt::Key_V, Qt::ControlModifier);
            EXPECT_EQ(Shown(), c.Shown) << "pasted into the middle";
            EXPECT_EQ(Edit->Text(), c.Shown) << "pasted into the middle";
            EXPECT_EQ(Edit->cursorPosition(), middle) << "the caret stays";
            PressKey(Form.get(), Qt::Key_End);
            TypeKeys(Form.get(), "1");
            EXPECT_EQ(Shown(), c.Shown) << "typed at the end";
            EXPECT_EQ(beeps.Count(), 2u);
        }

        Leave();
        EXPECT_EQ(Shown(), c.Left) << "after leaving";
        EXPECT_EQ(Edit->Text(), c.Left) << "after leaving";
        EXPECT_DOUBLE_EQ(static_cast<double>(Edit->Value()), static_cast<double>(c.Value)) << "after leaving";
    }
}

// What leaving a date or time field writes in the two locales the tests run
// in, as a person there reads it: the C locale's ISO date and its time with
// seconds, the German date with points and its time without.
TEST_F(EditMaxLength, DatesAndTimesLeftInTheMachinesFormats)
{
    struct TLocale {
        QString Name;
        std::string Date, ShortTime, LongTime;
    };
    const std::vector<TLocale> locales = {
        {"C", "2024-02-01", "01:05:00", "01:02:03"},
        {"de_DE", "01.02.2024", "01:05", "01:02:03"},
    };
    const QString name = QLocale::system().name();
    const auto here = std::find_if(locales.begin(), locales.end(), [&](const TLocale& l) { return l.Name == name; });
    if (here == locales.end())
        GTEST_SKIP() << "no expectations for the locale " << name.toStdString();
    struct TCase {
        TInputMode Mode;
        std::string Typed;
        std::string Left;
    };
    for (const TCase& c : {TCase{imDate, TypedDate(QDate(2024, 2, 1)), here->Date},
                           TCase{imShortTime, TypedTime({1, 5}), here->ShortTime},
                           TCase{imLongTime, TypedTime({1, 2, 3}), here->LongTime}}) {
        SCOPED_TRACE(c.Typed);
        NewEdit(c.Mode, Units(c.Typed));
        Enter();
        TypeKeys(Form.get(), QString::fromStdString(c.Typed));
        Leave();
        EXPECT_EQ(Shown(), c.Left);
        EXPECT_EQ(Edit->Text(), c.Left);
    }
}

// Lowering the limit is for what comes next: the text there is stays, no
// change is reported and the last accepted text stays.
TEST_F(EditMaxLength, ALoweredLimitLeavesTheText)
{
    NewEdit(imInteger, 0);
    Edit->SetMinValue(10);
    Edit->SetMaxValue(99);
    Edit->SetText("50");
    Enter();
    PressKey(Form.get(), Qt::Key_End);
    std::vector<std::string> changes;
    Edit->OnChange = [&](TObject*) { changes.push_back(Edit->Text()); };
    Edit->SetMaxLength(1);
    EXPECT_EQ(Shown(), "50");
    EXPECT_EQ(Edit->Text(), "50");
    EXPECT_EQ(Edit->Core().LastAccepted(), "50");
    EXPECT_TRUE(changes.empty());
    EXPECT_DOUBLE_EQ(static_cast<double>(Edit->Value()), 50);
    // Deleting still works: 5 is below the bounds, so the field falls back
    // to the last accepted text, not to an empty one.
    TBeepCounter beeps;
    PressKey(Form.get(), Qt::Key_Backspace);
    EXPECT_EQ(Edit->Text(), "50");
    EXPECT_EQ(changes, std::vector<std::string>{"50"});
    // A key at the end is refused.
    TypeKeys(Form.get(), "7");
    EXPECT_EQ(Edit->Text(), "50");
    EXPECT_EQ(beeps.Count(), 2u);
    EXPECT_EQ(changes, std::vector<std::string>{"50"});
    Leave();
    EXPECT_EQ(Edit->Text(), "50");
}

// A paste that is refused, by the limit or by the bounds, leaves Value the
// value of the text in the field, not that of the pasted text.
TEST_F(EditMaxLength, ARefusedPasteKeepsTheValue)
{
    struct TCase {
        int MaxLength;
        double Min, Max;
        std::string Text;
        std::string Clipboard;
    };
    for (const TCase& c : {TCase{4, 0, 0, "1234", "7"}, TCase{0, 0, 100, "50", "9"}}) {
        SCOPED_TRACE(c.Text + " " + c.Clipboard);
        NewEdit(imInteger, c.MaxLength);
        Edit->SetMinValue(c.Min);
        Edit->SetMaxValue(c.Max);
        Edit->SetText(c.Text);
        Enter();
        PressKey(Form.get(), Qt::Key_End);
        QGuiApplication::clipboard()->setText(QString::fromStdString(c.Clipboard));
        PressKey(Form.get(), Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(Edit->Text(), c.Text);
        EXPECT_DOUBLE_EQ(static_cast<double>(Edit->Value()), std::stod(c.Text));
    }
}

} // namespace

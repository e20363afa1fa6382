// The library's edit typed into on a real X server: the keys come as the
// window system delivers them (Delete with the character 0x7F, Backspace with
// 0x08, each typed sign with its own key), not as the toolkit's test keys
// make them. Delete and Backspace in every input mode; dates and times typed
// up to MaxLength and left.
#include "tests/common/MachineNumbers.h"
#include "tests/xtest/DrivenProgram.h"

#include <QCoreApplication>

namespace {

struct TEditCase {
    const char* Mode;
    std::string Text;    // what the edit starts with
    int DeleteAt;        // the caret (characters from the start) for Delete
    std::string Deleted; // what a person expects then
    int EraseAt;         // the caret for Backspace, after that
    std::string Erased;  // what a person expects then
};

std::vector<TEditCase> Cases()
{
    return {
        {"imAll", "abcd", 1, "acd", 3, "ac"},
        {"imDate", Day("11.12.2026"), 4, Day("11.1.2026"), 9, Day("11.1.202")},
        {"imShortTime", "12:30", 3, "12:0", 1, "2:0"},
        {"imLongTime", "12:30:45", 6, "12:30:5", 2, "1:30:5"},
        {"imInteger", "1234", 1, "134", 3, "13"},
        {"imFloat", Num("12,75"), 3, Num("12,5"), 1, Num("2,5")},
        {"imLatitude", Num("N 45,25"), 5, Num("N 45,5"), 4, Num("N 4,5")},
        {"imLongitude", Num("E 123,5"), 2, Num("E 23,5"), 4, Num("E 2,5")},
        {"imMinSec", "15:30", 3, "15:0", 1, "5:0"},
    };
}

// The caret moved `at` characters from the start with the arrow keys, then
// the key tapped.
void TapAt(TXServer& x, int at, const char* key)
{
    x.Tap("Home");
    for (int k = 0; k < at; ++k)
        x.Tap("Right");
    x.Tap(key);
}

} // namespace

TEST(EditKeysOnX, DeleteAndBackspaceInEveryInputMode)
{
    TXServer x;
    ASSERT_TRUE(x.Running()) << x.Error();
    const std::vector<TEditCase> cases = Cases();
    QStringList arguments;
    for (const TEditCase& c : cases)
        arguments << QString("%1=%2").arg(c.Mode, QString::fromStdString(c.Text));
    TDrivenProgram window(x);
    window.Start(QCoreApplication::applicationDirPath() + "/xtest_editwindow", arguments);
    ASSERT_TRUE(window.WaitForWindow("QWidget")) << window.Output().toStdString();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TEditCase& c = cases[i];
        SCOPED_TRACE(c.Mode);
        const QString name = QString("ed%1").arg(i);
        ASSERT_TRUE(window.WaitForText(name, QString::fromStdString(c.Text))) << window.Last().toStdString();
        ASSERT_TRUE(window.Click(name));
        ASSERT_TRUE(window.WaitFor("focus", [&](const QString& a) { return a.endsWith(' ' + name); }))
            << window.Last().toStdString();
        TapAt(x, c.DeleteAt, "Delete");
        EXPECT_TRUE(window.WaitForText(name, QString::fromStdString(c.Deleted)))
            << "Delete left " << window.Last().toStdString();
        TapAt(x, c.EraseAt, "BackSpace");
        EXPECT_TRUE(window.WaitForText(name, QString::fromStdString(c.Erased)))
            << "Backspace left " << window.Last().toStdString();
    }
}

// A date or time typed into a field whose MaxLength is just what a person
// types: the key after it is refused, and leaving the field with Tab writes
// the whole date or time in the machine's format (longer than the limit).
TEST(EditKeysOnX, DatesAndTimesTypedUpToTheLimitAreLeftWhole)
{
    TXServer x;
    ASSERT_TRUE(x.Running()) << x.Error();
    const TFormatSettings& f = FormatSettings();
    struct TCase {
        const char* Mode;
        std::string Typed;
        std::string Left;
    };
    const std::vector<TCase> cases = {
        {"imDate", TypedDate(QDate(2024, 2, 1)), ShortDate(QDate(2024, 2, 1))},
        {"imShortTime", TypedTime({1, 5}), TimeIn(f.ShortTimeFormat, QTime(1, 5))},
        {"imLongTime", TypedTime({1, 2, 3}), TimeIn(f.LongTimeFormat, QTime(1, 2, 3))},
    };
    QStringList arguments;
    for (const TCase& c : cases)
        arguments << QString("%1/%2=").arg(c.Mode).arg(c.Typed.size());
    TDrivenProgram window(x);
    window.Start(QCoreApplication::applicationDirPath() + "/xtest_editwindow", arguments);
    ASSERT_TRUE(window.WaitForWindow("QWidget")) << window.Output().toStdString();
    for (std::size_t i = 0; i < cases.size(); ++i) {
        const TCase& c = cases[i];
        SCOPED_TRACE(c.Mode);
        const QString name = QString("ed%1").arg(i);
        ASSERT_TRUE(window.Click(name));
        ASSERT_TRUE(window.WaitFor("focus", [&](const QString& a) { return a.endsWith(' ' + name); }))
            << window.Last().toStdString();
        x.Type(c.Typed + "9");
        EXPECT_TRUE(window.WaitForText(name, QString::fromStdString(c.Typed)))
            << "typed: " << window.Last().toStdString();
        x.Tap("Tab");
        ASSERT_TRUE(window.WaitFor("focus", [&](const QString& a) { return !a.endsWith(' ' + name); }))
            << window.Last().toStdString();
        EXPECT_TRUE(window.WaitForText(name, QString::fromStdString(c.Left)))
            << "left: " << window.Last().toStdString();
    }
}

// The radio plug-in's dialog in the shipped program, worked through the X
// server with the keys as a person's keyboard sends them: Delete comes with
// the character 0x7F, and it types nothing, in the channel table, in the
// send functions' fields and in the terminal's line. Runs in both locales:
// the table shows its frequencies with the machine's separator.
#include "tests/xtest/ProgramOnX.h"

namespace {

class RadioDialogOnX : public ProgramOnX {
protected:
    // The extended options opened from the service menu, once the link is
    // up and the module's memory slots are in the table.
    void OpenDialog()
    {
        ASSERT_TRUE(Program.WaitForText("MainStatusBarPanel2", "Verbindung OK", StartLimitMs))
            << Program.Last().toStdString();
        ASSERT_TRUE(SlotsRead()) << "the slots were not polled";
        ASSERT_TRUE(Program.ClickRect(Program.Item("MainMenu", "mmExtendedMode")));
        ASSERT_TRUE(Program.WaitFor("item mmExtendedMode actExtendedOptions",
                                    [](const QString& a) { return a != "none"; }));
        ASSERT_TRUE(Program.ClickRect(Program.Item("mmExtendedMode", "actExtendedOptions")));
        ASSERT_TRUE(Program.WaitForWindow("TfParameterForm")) << Program.Last().toStdString();
    }
    // The poll went out and was answered: the radio link is closed again.
    bool SlotsRead()
    {
        for (int waited = 0; waited < AnswerLimitMs; waited += 50) {
            const std::vector<std::string> log = Module.Log();
            const auto poll = std::find(log.begin(), log.end(), "04 00 rc\n");
            if (poll != log.end() && std::find(poll, log.end(), "radiotalk-off\n") != log.end())
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return false;
    }
    // Clicks a control and waits until it has the focus.
    void Focus(const QString& name)
    {
        ASSERT_TRUE(Program.Click(name)) << name.toStdString();
        const QString control = name.section('/', -1);
        ASSERT_TRUE(Program.WaitFor("focus", [&](const QString& a) { return a.endsWith(' ' + control); }))
            << Program.Last().toStdString();
    }
    // The class of the control that has the focus, once it is `className`.
    bool FocusClass(const QString& className)
    {
        return Program.WaitFor("focus", [&](const QString& a) { return a.section(' ', 1, 1) == className; });
    }
    // Whether a message box has come up since the program started.
    bool BoxShown() { return Program.Shown().contains("QMessageBox"); }
    // Delete at the start of an edit's text takes its first character.
    void DeleteFirst(const QString& name)
    {
        Focus(name);
        const QString before = Program.Ask("text " + name);
        ASSERT_FALSE(before.isEmpty()) << name.toStdString();
        X.Tap("Home");
        X.Tap("Delete");
        EXPECT_TRUE(Program.WaitForText(name, before.mid(1)))
            << name.toStdString() << ": Delete left " << Program.Last().toStdString();
    }
};

// Delete, then Return, on a receive cell: no editor opens on Delete, Return
// opens the cell's own value and a second Return leaves it unchanged, so no
// box comes and the next "Parameter setzen" sends the twelve device lines
// alone. Delete on the power column opens no list. Delete in the send
// functions' fields and in the terminal's line deletes.
TEST_F(RadioDialogOnX, DeleteTypesNothingAndStillDeletes)
{
    OpenDialog();
    const QRect grid = Program.Where("grdFrequencies");
    ASSERT_FALSE(grid.isEmpty());
    // A cell low in the table, then the first receive cell with Ctrl+Home.
    X.Click(grid.left() + grid.width() / 3, grid.top() + grid.height() * 3 / 4);
    ASSERT_TRUE(FocusClass("TCellGrid")) << Program.Last().toStdString();
    X.Chord("Control_L", "Home");
    X.Tap("Delete");
    X.Tap("Return");
    ASSERT_TRUE(FocusClass("TMaskEditInplace")) << "Return opens the cell's editor: " << Program.Last().toStdString();
    X.Tap("Return");
    EXPECT_TRUE(FocusClass("TCellGrid")) << Program.Last().toStdString();
    EXPECT_FALSE(BoxShown());
    // The power column: Delete, then Tab, which takes the focus on from the
    // grid, and which a list opened by Delete would keep.
    X.Tap("End");
    X.Tap("Delete");
    X.Tap("Tab");
    ASSERT_TRUE(Program.WaitFor("focus", [](const QString& a) { return a.section(' ', 1, 1) != "TCellGrid"; }));
    EXPECT_NE(Program.Last().section(' ', 1, 1), "TComboInplace") << "Delete opened the list";
    EXPECT_FALSE(BoxShown());

    // The next write: the twelve device lines, no slot line.
    Module.ClearLog();
    ASSERT_TRUE(Program.Click("btnSetDeviceParameter"));
    ASSERT_TRUE(WaitForLine("1 rt\n"));
    std::this_thread::sleep_for(std::chrono::milliseconds(1500)); // a table would be under way by now
    const std::vector<std::string> log = Module.Log();
    EXPECT_EQ(log.size(), 12u) << ::testing::PrintToString(log);
    EXPECT_EQ(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.ends_with(" rpc\n"); }), 0);
    EXPECT_EQ(log.back(), "1 rt\n");
    EXPECT_FALSE(BoxShown()) << "no word of a new table";

    // The send functions' fields: hex, the radio channel, the serial number.
    for (const char* name : {"ParameterForm/edtInfobyte01", "ParameterForm/edtRadioChannel",
                             "ParameterForm/edtSerialNumber"}) {
        SCOPED_TRACE(name);
        DeleteFirst(name);
    }
    // The terminal's line.
    ASSERT_TRUE(Program.Click("btnFunkmodulTerminal"));
    ASSERT_TRUE(Program.WaitForWindow("TfFunkmodulTerminalForm"));
    Focus("FunkmodulTerminalForm/edtSend");
    X.Type("12");
    ASSERT_TRUE(Program.WaitFor("text FunkmodulTerminalForm/edtSend", [](const QString& a) { return a.endsWith("12"); }))
        << Program.Last().toStdString();
    DeleteFirst("FunkmodulTerminalForm/edtSend");
    EXPECT_FALSE(BoxShown());
}

} // namespace

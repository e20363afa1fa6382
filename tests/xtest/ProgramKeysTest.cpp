// The shipped program on a real X server beside the simulated radio module,
// worked with the keyboard and the mouse through the server: what a person
// does, and what reaches the module.
#include "tests/xtest/ProgramOnX.h"

#include <QSettings>

#include <functional>

namespace {

// Holding Enter in the monitor's send line, with the server's own repeat:
// one line per hold reaches the module, however long the hold, although the
// server delivered its repeats during every hold.
TEST_F(ProgramOnX, EnterHeldInTheSendLineSendsOneLinePerHold)
{
    ASSERT_TRUE(X.AutoRepeatOn()); // and every hold of 0.5 s or more repeats
    constexpr int kHolds = 20;
    // The send line sends once the link is up.
    ASSERT_TRUE(Program.WaitForText("MainStatusBarPanel2", "Verbindung OK", StartLimitMs))
        << Program.Last().toStdString();
    ASSERT_TRUE(Program.WaitFor("where edtSend", [](const QString& a) { return a != "none"; }));
    ASSERT_TRUE(Program.Click("edtSend"));
    ASSERT_TRUE(Program.WaitFor("focus", [](const QString& a) { return a.endsWith(" edtSend"); }))
        << Program.Last().toStdString();
    X.Type("echo");
    ASSERT_TRUE(Program.WaitForText("edtSend", "echo"));
    // 20 holds of 0.5 to 2 s, a person's pause between them.
    for (int i = 0; i < kHolds; ++i) {
        X.Hold("Return", std::chrono::milliseconds(500 + (i * 397) % 1501));
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
    }
    // A short press of another line marks the end: lines arrive in order, so
    // once it is there nothing else is on its way.
    X.Type("ende");
    ASSERT_TRUE(Program.WaitForText("edtSend", "ende"));
    X.Tap("Return");
    ASSERT_TRUE(WaitForLine("ENDE\n"));
    EXPECT_EQ(Received("ECHO\n"), static_cast<std::size_t>(kHolds));
    EXPECT_EQ(Received("ENDE\n"), 1u);
    // What the server delivered of Enter (the program has handled it all, the
    // last press included): each hold released again and again, the last
    // press once.
    const QStringList holds = Program.Ask(QString("holds %1").arg(X.KeyCodeOf("Return"))).split(' ');
    ASSERT_EQ(holds.size(), kHolds + 1) << holds.join(' ').toStdString();
    for (int i = 0; i < kHolds; ++i)
        EXPECT_GE(holds[i].toInt(), 2) << "hold " << i << " of " << (500 + (i * 397) % 1501) << " ms";
    EXPECT_EQ(holds[kHolds].toInt(), 1);
}

// The port dialog as a person works it, the focus in the port list where it
// starts: Alt+A and Tab to "Abbrechen" with Enter cancel, Alt+O and Enter in
// the list accept. Each case chooses another entry first; the next opening
// shows which port the program then holds, and the settings file the last.
TEST_F(ProgramOnX, ThePortDialogClosesByItsKeys)
{
    const auto open = [&] {
        const QRect options = Program.Item("MainMenu", "mmOptionen");
        if (!Program.ClickRect(options))
            return false;
        if (!Program.WaitFor("item mmOptionen acOptionenSchnittstelle", [](const QString& a) { return a != "none"; }))
            return false;
        Program.ClickRect(Program.Item("mmOptionen", "acOptionenSchnittstelle"));
        if (!Program.WaitForWindow("TfComportOptions"))
            return false;
        // The dialog comes up active, its port list focused.
        return Program.WaitFor("focus", [](const QString& a) { return a == "TfComportOptions TZor_ComboBox ePort"; });
    };
    struct Case {
        const char* Name;
        std::function<void()> Keys;
        bool Accepts;
    };
    const Case cases[] = {
        {"Alt+A", [&] { X.Chord("Alt_L", "a"); }, false},
        {"Tab to Abbrechen, Enter",
         [&] {
             for (int i = 0; i < 4 && Program.FocusIn("TfComportOptions") != "btAbort"; ++i) {
                 const QString before = Program.Ask("focus");
                 X.Tap("Tab");
                 Program.WaitFor("focus", [&](const QString& a) { return a != before; });
             }
             ASSERT_EQ(Program.FocusIn("TfComportOptions"), "btAbort");
             X.Tap("Return");
         },
         false},
        {"Alt+O", [&] { X.Chord("Alt_L", "o"); }, true},
        {"Enter in the list", [&] { X.Tap("Return"); }, true},
    };
    ASSERT_TRUE(open()) << Program.Last().toStdString();
    QString held = Program.Ask("text ePort");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        // Another entry: the one below, or above the last ("Keine Schnittstelle").
        X.Tap(held == "Keine Schnittstelle" ? "Up" : "Down");
        ASSERT_TRUE(Program.WaitFor("text ePort", [&](const QString& a) { return a != held; }));
        const QString chosen = Program.Last();
        c.Keys();
        const bool closed = Program.WaitForWindow("TfComportOptions", false);
        EXPECT_TRUE(closed) << "the dialog stayed open";
        if (!closed) {
            X.Tap("Escape");
            ASSERT_TRUE(Program.WaitForWindow("TfComportOptions", false));
        }
        ASSERT_TRUE(open()) << Program.Last().toStdString();
        const QString now = Program.Ask("text ePort");
        EXPECT_EQ(now.toStdString(), (c.Accepts ? chosen : held).toStdString());
        held = now;
    }
    X.Tap("Escape");
    ASSERT_TRUE(Program.WaitForWindow("TfComportOptions", false));
    ASSERT_TRUE(Program.Terminate());
    // What the program keeps: the port of the last accepted choice.
    const QString port = QSettings(Program.ConfigFolder() + "/Zorvatek.ini", QSettings::IniFormat)
                             .value("Tessaro/ComPort")
                             .toString();
    const int number = held == "USB" ? 255 : held == "Keine Schnittstelle" ? 0 : held.mid(3).section(' ', 0, 0).toInt();
    EXPECT_EQ(port.toInt(), number) << held.toStdString();
}

} // namespace

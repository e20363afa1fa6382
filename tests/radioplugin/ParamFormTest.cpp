// The parameter dialog offscreen, on a recording link and a virtual clock:
// reading, writing, flashing, loading and saving, the table, the send
// functions and the monitor windows it opens.
#include "localization/lcDialog.h"
#include "platform/Beep.h"
#include "platform/Exception.h"
#include "platform/MessageWindow.h"
#include "radioplugin/CellGridWidget.h"
#include "radioplugin/FrequencyGrid.h"
#include "radioplugin/FunkmodulTerminalForm.h"
#include "radioplugin/GPSTraceForm.h"
#include "radioplugin/IBISTraceForm.h"
#include "radioplugin/ParamForm.h"
#include "radioplugin/PluginApp.h"
#include "radioplugin/RuvoCommands.h"
#include "tests/common/KeyInput.h"
#include "tests/common/TestServices.h"
#include "tests/radioplugin/RuvoTestSupport.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <fstream>
#include <functional>

using Lines = std::vector<std::string>;

namespace {

class ParamFormTest : public testing::Test {
protected:
    static constexpr const char* MutexName = "Global\\{ruvo-form-test}";

    ParamFormTest() : Mutex(CreateMutex(true, MutexName)), Link(MutexName)
    {
        TestDialogs().Clear();
        TRuvoTiming timing;
        timing.ReplyWaitMs = 0;
        timing.MutexWaitMs = 0;
        Form = std::make_unique<TfParameterForm>(nullptr, &Link, MutexName, [this] { return Now; }, timing);
        Link.OnSend = [this](const std::string& line) {
            if (Answer)
                for (const std::string& a : Answer(line))
                    Pending.push_back(a);
        };
    }
    ~ParamFormTest() override
    {
        Form.reset();
        CloseHandle(Mutex);
    }

    // Up, with the slots taken as read, so no polls run in between.
    // The radio queue, idle at the connection, closes the radio link once;
    // that line is answered and forgotten here.
    void Connect()
    {
        Form->ConnectionChanged(true);
        Form->Transport().SetSlotTelegramSeen(true);
        Answer = [](const std::string&) -> Lines { return {"OK."}; };
        RunFor(200);
        EXPECT_EQ(Link.Texts(), (Lines{RuvoRadioTalkOff}));
        Link.Sent.clear();
        Answer = nullptr;
    }
    // The module answers what it is sent: "OK." to device lines, "#r OK" to
    // radio lines.
    void AnswerAll()
    {
        Answer = [](const std::string& line) -> Lines {
            return {line.find("rpc") != std::string::npos || line.find(" rc") != std::string::npos ? "#r OK" : "OK."};
        };
    }
    void RunFor(std::int64_t ms)
    {
        const std::int64_t end = Now + ms;
        for (;;) {
            const auto due = Form->Transport().NextDue();
            if (!due || *due > end)
                break;
            Now = std::max(Now, *due);
            while (!Pending.empty()) {
                const std::string data = Pending.front();
                Pending.pop_front();
                Form->HandleReply(data);
            }
            Form->RunDueTimers();
        }
        Now = std::max(Now, end); // a box may have let the time run on
    }
    std::vector<std::string> Boxes() const
    {
        std::vector<std::string> texts;
        for (const TShownBox& b : TestDialogs().Boxes())
            texts.push_back(b.Text);
        return texts;
    }
    std::string Temp(const std::string& name) const { return Dir.path().toStdString() + "/" + name; }
    void WriteBroken() const { std::ofstream(Temp("broken.xml")) << "<RUVO><PARAMETER"; }

    HANDLE Mutex;
    std::int64_t Now = 1000000;
    TFakeLink Link;
    std::function<Lines(const std::string&)> Answer;
    std::deque<std::string> Pending;
    QTemporaryDir Dir;
    std::unique_ptr<TfParameterForm> Form;
};

Lines ToLines(const std::deque<std::string>& queue)
{
    return Lines(queue.begin(), queue.end());
}

// Boxes that stay open a while, as a person's do: each runs `WhileOpen`
// (the timers go on in its own event loop) before it is answered. Counts how
// many were open at once.
class TLingeringBoxes : public TRecordingDialogs {
public:
    explicit TLingeringBoxes(std::function<void()> whileOpen) : FWhileOpen(std::move(whileOpen))
    {
        SetDialogService(this);
    }
    ~TLingeringBoxes() override { SetDialogService(&TestDialogs()); }
    int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags) override
    {
        const int answer = TRecordingDialogs::MessageBox(owner, text, caption, flags);
        ++Open;
        MostOpen = std::max(MostOpen, Open);
        if (Open == 1)
            FWhileOpen();
        --Open;
        return answer;
    }
    std::vector<std::string> Texts() const
    {
        std::vector<std::string> texts;
        for (const TShownBox& b : Boxes())
            texts.push_back(b.Text);
        return texts;
    }
    int Open = 0, MostOpen = 0;

private:
    std::function<void()> FWhileOpen;
};

const Lines kStartWrite = {
    "00DC PARAM-SQUELCH-LOW !\n", "02D0 PARAM-SQUELCH-HIGH !\n", "0000 PARAM-SQUELCH-INDEX !\n",
    "005A PARAM-AIR-LIMIT !\n",   "0000 PARAM-PROJECT !\n",      "0000 PARAM-NFLEVEL !\n",
    "0000 PARAM-SN !\n",          "0000 PARAM-MODULATION !\n",   "0000 PARAM-FFSK-FILTER !\n",
    "FLASH-PARAM\n",              ".PARAM\n",                    "1 rt\n",
};

} // namespace

TEST_F(ParamFormTest, StartsWithItsStartValues)
{
    TfParameterForm& f = *Form;
    EXPECT_EQ(f.windowTitle().toStdString(), "Derazudiduradid - Optionen");
    EXPECT_EQ(f.minimumSize(), QSize(501, 548));
    EXPECT_STREQ(f.metaObject()->className(), "TfParameterForm");
    EXPECT_EQ(ParameterForm, &f);
    EXPECT_FALSE(f.isVisible());
    struct Spin {
        QSpinBox* box;
        int min, max, value;
    };
    for (const Spin& s : {Spin{f.edtSquelchLow, 0, 1023, 220}, Spin{f.edtSquelchHigh, 0, 1023, 720},
                          Spin{f.edtParamSendTimeLimit, 0, 180, 90}, Spin{f.edtNFLevel, 0, 31, 0},
                          Spin{f.edtFFSKMode, 0, 7, 0}, Spin{f.edtTesttoneNr, 0, 15, 0},
                          Spin{f.edtSendTimeLimit, 0, 180, 30}}) {
        EXPECT_EQ(s.box->minimum(), s.min) << s.box->objectName().toStdString();
        EXPECT_EQ(s.box->maximum(), s.max) << s.box->objectName().toStdString();
        EXPECT_EQ(s.box->value(), s.value) << s.box->objectName().toStdString();
    }
    EXPECT_EQ(f.edtSerialNumber->text(), "0");
    EXPECT_EQ(f.cbxProject->count(), 3);
    EXPECT_EQ(f.cbxProject->currentIndex(), 0);
    EXPECT_EQ(f.btnFFSKFilterOnOff->text(), "FFSK-Filter einschalten");
    EXPECT_FALSE(f.btnFFSKFilterOnOff->isChecked());
    EXPECT_EQ(f.lblFFSKFilter->text(), "FFSK-Filter ist ausgeschaltet");
    // Info byte 1 "91" offers the additional bytes, "06" enables six of them.
    EXPECT_EQ(f.lblInfobyte02->text(), "Länge");
    EXPECT_TRUE(f.lbl09Hint->isHidden());
    for (int i = 0; i < 8; ++i) {
        EXPECT_FALSE(f.edtZusatzbyte[i]->isHidden());
        EXPECT_EQ(f.edtZusatzbyte[i]->isEnabled(), i < 6) << i;
    }
    EXPECT_TRUE(f.Transport().FrequencyPollingTimer().Enabled());
    EXPECT_FALSE(f.TableModified());
    // The dialog's texts come from its own component, in German.
    EXPECT_EQ(f.Text("IDS_55"), "Die Frequenztabelle wurde neu in das Funkgerät geladen.");
    EXPECT_EQ(f.Text("ids_43"), "Datei existiert bereits");
}

TEST_F(ParamFormTest, InfoByteFieldsFollowTheirValues)
{
    TfParameterForm& f = *Form;
    f.edtInfobyte01->setText("12");
    EXPECT_EQ(f.lblInfobyte02->text(), "Infobyte 2");
    EXPECT_FALSE(f.lbl09Hint->isHidden());
    EXPECT_TRUE(f.edtZusatzbyte[0]->isHidden());
    f.edtInfobyte01->setText("9A");
    EXPECT_TRUE(f.lbl09Hint->isHidden());
    f.edtZusatzbyte[5]->setText("77");
    f.edtInfobyte02->setText("02");
    EXPECT_TRUE(f.edtZusatzbyte[1]->isEnabled());
    EXPECT_FALSE(f.edtZusatzbyte[2]->isEnabled());
    EXPECT_EQ(f.edtZusatzbyte[5]->text(), "00"); // a disabled one is reset
    f.edtInfobyte02->setText("zz");
    EXPECT_FALSE(f.edtZusatzbyte[0]->isEnabled());
}

TEST_F(ParamFormTest, TypingIntoTheFields)
{
    TfParameterForm& f = *Form;
    f.show();
    f.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&f));
    const unsigned beeps = BeepCount();
    f.edtInfobyte03->setText("");
    f.edtInfobyte03->setFocus();
    QTest::keyClicks(f.edtInfobyte03, "a");
    EXPECT_EQ(f.edtInfobyte03->text(), "A");
    QTest::keyClicks(f.edtInfobyte03, "gb"); // g refused, b taken
    EXPECT_EQ(f.edtInfobyte03->text(), "AB");
    QTest::keyClicks(f.edtInfobyte03, "1"); // full
    EXPECT_EQ(f.edtInfobyte03->text(), "AB");
    EXPECT_EQ(BeepCount(), beeps + 2);
    // Info byte 2 of a 09 telegram: no more than eight additional bytes.
    f.edtInfobyte02->setText("08");
    f.edtInfobyte02->setFocus();
    f.edtInfobyte02->setSelection(1, 1);
    QTest::keyClicks(f.edtInfobyte02, "9");
    EXPECT_EQ(f.edtInfobyte02->text(), "08");
    EXPECT_EQ(BeepCount(), beeps + 3);
    // Leaving a hex field pads it; leaving an empty channel makes it 0.
    f.edtInfobyte01->setText("5");
    f.edtInfobyte01->setFocus();
    f.edtRadioChannel->setText("");
    f.edtRadioChannel->setFocus();
    EXPECT_EQ(f.edtInfobyte01->text(), "05");
    QTest::keyClicks(f.edtRadioChannel, "1x2");
    EXPECT_EQ(f.edtRadioChannel->text(), "12");
    f.edtSerialNumber->setFocus();
    EXPECT_EQ(f.edtRadioChannel->text(), "12");
    f.edtSerialNumber->setText("");
    QTest::keyClicks(f.edtSerialNumber, "4-2");
    EXPECT_EQ(f.edtSerialNumber->text(), "42");
    EXPECT_EQ(BeepCount(), beeps + 5);
    // Enter in a hex field sends the telegram.
    f.edtInfobyte01->setText("12");
    f.edtInfobyte01->setFocus();
    QTest::keyClick(f.edtInfobyte01, Qt::Key_Return);
    EXPECT_EQ(ToLines(f.Transport().DeviceQueue()), (Lines{"AB 08 12 03 0C FFSK-SEND\n"}));
    f.hide();
}

TEST_F(ParamFormTest, SquelchRuleIgnoresTheConnection)
{
    struct Case {
        int low, high;
        bool enabled;
    };
    Form->ConnectionChanged(false);
    EXPECT_FALSE(Form->btnSetDeviceParameter->isEnabled());
    for (const Case& c : {Case{500, 400, false}, Case{400, 400, true}, Case{401, 400, false}, Case{0, 1023, true}}) {
        Form->edtSquelchLow->setValue(c.low);
        Form->edtSquelchHigh->setValue(c.high);
        EXPECT_EQ(Form->btnSetDeviceParameter->isEnabled(), c.enabled) << c.low << " " << c.high;
    }
}

TEST_F(ParamFormTest, WriteWithAnUnchangedTableSendsTheTwelveDeviceLines)
{
    Connect();
    AnswerAll();
    Form->btnSetDeviceParameterClick();
    EXPECT_EQ(ToLines(Form->Transport().DeviceQueue()), kStartWrite);
    EXPECT_TRUE(Form->Transport().RadioQueue().empty());
    EXPECT_FALSE(Form->ProgressDialog->isVisible());
    RunFor(2000);
    EXPECT_EQ(Link.Texts(), kStartWrite);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ParamFormTest, WriteCopiesTheControlsIntoTheSet)
{
    Connect();
    Form->edtSquelchLow->setValue(100);
    Form->edtSquelchHigh->setValue(1023);
    Form->edtParamSendTimeLimit->setValue(180);
    Form->edtNFLevel->setValue(31);
    Form->edtFFSKMode->setValue(7);
    Form->cbxProject->setCurrentIndex(2);
    Form->Parameter().SetSquelchIndex(0x1234);
    Form->Parameter().SetFFSKFilterActive(true);
    for (const auto& [text, number] : {std::pair<const char*, int>{"4711", 4711}, {"", 0}, {"99999999999", 0}}) {
        Form->edtSerialNumber->setText(text);
        Form->btnSetDeviceParameterClick();
        EXPECT_EQ(Form->Parameter().SerialNumber(), number) << text;
    }
    const Lines lines(Form->Transport().DeviceQueue().begin(), Form->Transport().DeviceQueue().begin() + 9);
    EXPECT_EQ(lines, (Lines{"0064 PARAM-SQUELCH-LOW !\n", "03FF PARAM-SQUELCH-HIGH !\n", "1234 PARAM-SQUELCH-INDEX !\n",
                            "00B4 PARAM-AIR-LIMIT !\n", "0002 PARAM-PROJECT !\n", "001F PARAM-NFLEVEL !\n",
                            "1267 PARAM-SN !\n", "0007 PARAM-MODULATION !\n", "0001 PARAM-FFSK-FILTER !\n"}));
}

TEST_F(ParamFormTest, WriteAfterALoadSendsTheWholeTable)
{
    TRuvoParameter file;
    for (int i = 0; i < 32; ++i) {
        file.GetSlot(i)->SetReceive(10 + i);
        file.GetSlot(i)->SetTransmit(1500 + i);
        file.GetSlot(i)->SetPower(1 + i % 5);
    }
    file.SetSquelchLow(300);
    file.SetSquelchHigh(800);
    file.SaveToXML(Temp("set.xml"));
    TestDialogs().QueueFile(Temp("set.xml"));
    Form->btnLoadClick();
    ASSERT_TRUE(Form->TableModified());

    Connect();
    AnswerAll();
    Form->btnSetDeviceParameterClick();
    // The radio link opened at once, then the 32 rows queued.
    ASSERT_EQ(Link.Texts(), (Lines{"radiotalk-on\n"}));
    ASSERT_EQ(Form->Transport().RadioQueue().size(), 32u);
    EXPECT_EQ(Form->Transport().RadioQueue().front(), "00 5DC 0A 01 rpc\n");
    EXPECT_EQ(Form->Transport().RadioQueue().back(), "1F 5FB 29 02 rpc\n");
    EXPECT_FALSE(Form->TableModified());
    EXPECT_TRUE(Form->ProgressDialog->isVisible());
    // The box that says the table is in the radio waits for the module's
    // answers to the write.
    EXPECT_TRUE(Boxes().empty());
    RunFor(300);
    EXPECT_TRUE(Boxes().empty());
    RunFor(2700);
    const Lines sent = Link.Texts();
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const std::string& l) { return l.ends_with("rpc\n"); }), 32);
    EXPECT_EQ(sent.back(), "radiotalk-off\n");
    EXPECT_FALSE(Form->ProgressDialog->isVisible());
    EXPECT_EQ(Boxes(), (Lines{"Die Frequenztabelle wurde neu in das Funkgerät geladen.\r\n"
                              "Damit die neue Tabelle wirksam wird, muss das Funkgerät neu gestartet werden.\r\n"
                              "Bitte schalten Sie jetzt Ihr Gerät an und wieder ein."}));
    EXPECT_EQ(TestDialogs().Boxes()[0].Flags, unsigned(MB_OK | MB_ICONWARNING));
    EXPECT_FALSE(Form->TableModified());
    // The next write has nothing new for the table.
    Link.Sent.clear();
    Form->btnSetDeviceParameterClick();
    RunFor(2000);
    EXPECT_EQ(Link.Texts().size(), 12u);
}

TEST_F(ParamFormTest, TableEditsBecomeChannelsAndAreWritten)
{
    Form->FormShow();
    TFrequencyGrid& grid = Form->Grid();
    grid.SetEditText(1, 1, Num("146,0300"));
    EXPECT_EQ(grid.Object(1, 1), 1);
    EXPECT_EQ(grid.DisplayText(1, 1), Num("146,0300 MHz"));
    EXPECT_TRUE(Form->TableModified());
    grid.SetEditText(2, 1, Num("146,0350"));
    EXPECT_EQ(grid.Object(2, 1), 0);
    EXPECT_EQ(grid.Cell(2, 1), Num("146,0100"));
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_EQ(TestDialogs().Boxes()[0].Flags, unsigned(MB_OK | MB_ICONERROR));
    EXPECT_NE(TestDialogs().Boxes()[0].Text.find(Num("146,0350")), std::string::npos);
    grid.SetEditText(3, 1, "6");
    EXPECT_EQ(grid.Object(3, 1), 5);
    TestDialogs().Clear();

    Connect();
    Form->btnSetDeviceParameterClick();
    EXPECT_EQ(Form->Transport().RadioQueue().front(), "00 00 01 05 rpc\n");
    EXPECT_EQ(Form->Parameter().GetSlot(0)->Receive(), 1);
    EXPECT_EQ(Form->Parameter().GetSlot(0)->Power(), 5);
}

TEST_F(ParamFormTest, RepliesReachTheControlsAndTheTable)
{
    Form->FormShow();
    Form->HandleReply("PARAM SQUELCH-LOW=64 SQUELCH-HIGH=3FF AIR-LIMIT=B4 NFLEVEL=1F SN=1267 MODULATION=7 "
                      "FFSK-FILTER=1 PROJECT=2 SQUELCH-INDEX=5");
    EXPECT_EQ(Form->edtSquelchLow->value(), 100);
    EXPECT_EQ(Form->edtSquelchHigh->value(), 1023);
    EXPECT_EQ(Form->edtParamSendTimeLimit->value(), 180);
    EXPECT_EQ(Form->edtNFLevel->value(), 31);
    EXPECT_EQ(Form->edtSerialNumber->text(), "4711");
    EXPECT_EQ(Form->edtFFSKMode->value(), 7);
    EXPECT_EQ(Form->cbxProject->currentIndex(), 2);
    EXPECT_TRUE(Form->btnFFSKFilterOnOff->isChecked());
    EXPECT_EQ(Form->btnFFSKFilterOnOff->text(), "FFSK-Filter ausschalten");
    EXPECT_EQ(Form->lblFFSKFilter->text(), "FFSK-Filter ist eingeschaltet");
    EXPECT_TRUE(Boxes().empty());
    // A project beyond the list: the standard project, with a warning.
    Form->HandleReply("PARAM PROJECT=7");
    EXPECT_EQ(Form->cbxProject->currentIndex(), 0);
    EXPECT_EQ(Boxes(), (Lines{"Die vom Gerät gemeldete Projektkennung (7) ist nicht bekannt.\r\n"
                              "Es wird das Standardprojekt eingestellt."}));
    Form->HandleReply("PARAM FFSK-FILTER=0");
    EXPECT_FALSE(Form->btnFFSKFilterOnOff->isChecked());
    EXPECT_EQ(Form->lblFFSKFilter->text(), "FFSK-Filter ist ausgeschaltet");
    // A memory-slot telegram fills its row.
    Form->HandleReply("#r SPEICHER 3 RX: 1 TX: 1400 P: 4");
    EXPECT_EQ(Form->Grid().Object(1, 4), 1);
    EXPECT_EQ(Form->Grid().Object(2, 4), 1400);
    EXPECT_EQ(Form->Grid().Cell(3, 4), "1");
    EXPECT_TRUE(Form->Transport().SlotTelegramSeen());
}

TEST_F(ParamFormTest, LoadSetsControlsTableAndFilter)
{
    TRuvoParameter file;
    file.SetSquelchLow(10);
    file.SetSquelchHigh(20);
    file.SetSendTimeLimit(30);
    file.SetNFLevel(4);
    file.SetModulation(5);
    file.SetSerialNumber(999);
    file.SetProjectNr(1);
    file.SetFFSKFilterActive(true);
    file.GetSlot(31)->SetReceive(2518);
    file.SaveToXML(Temp("a.xml"));
    file.SetProjectNr(7); // beyond the list: the selection stays
    file.SaveToXML(Temp("b.xml"));

    Form->edtSerialNumber->setText("5");
    TestDialogs().QueueFile(""); // cancelled: nothing happens
    Form->btnLoadClick();
    EXPECT_FALSE(Form->TableModified());
    EXPECT_EQ(Form->edtSquelchLow->value(), 220);

    TestDialogs().QueueFile(Temp("a.xml"));
    Form->btnLoadClick();
    const TFileDialog shown = TestDialogs().FileDialogs().back();
    EXPECT_EQ(shown.Title, "Ruvo Parametersatz öffnen ...");
    EXPECT_EQ(shown.Filter, "Ruvo Paramtersatz (*.XML)|*.XML|Alle Dateien|*.*");
    EXPECT_EQ(shown.DefaultExt, "xml");
    EXPECT_EQ(Form->edtSquelchLow->value(), 10);
    EXPECT_EQ(Form->edtSquelchHigh->value(), 20);
    EXPECT_EQ(Form->edtParamSendTimeLimit->value(), 30);
    EXPECT_EQ(Form->edtNFLevel->value(), 4);
    EXPECT_EQ(Form->edtFFSKMode->value(), 5);
    EXPECT_EQ(Form->edtSerialNumber->text(), "5"); // not touched
    EXPECT_EQ(Form->cbxProject->currentIndex(), 1);
    EXPECT_TRUE(Form->btnFFSKFilterOnOff->isChecked());
    EXPECT_EQ(Form->btnFFSKFilterOnOff->text(), "FFSK-Filter ausschalten");
    EXPECT_EQ(Form->Grid().Object(1, 32), 2518);
    EXPECT_TRUE(Form->TableModified());

    TestDialogs().QueueFile(Temp("b.xml"));
    Form->btnLoadClick();
    EXPECT_EQ(Form->cbxProject->currentIndex(), 1);

    // A broken file: the error reaches the user, the set stays.
    WriteBroken();
    TestDialogs().QueueFile(Temp("broken.xml"));
    EXPECT_THROW(Form->btnLoadClick(), Exception);
    EXPECT_EQ(Form->Parameter().SquelchLow(), 10);
}

// A file may hold values beyond the spin edits' ranges: they load as they
// stand, the spin edits show them clamped, and a write sends what they show.
TEST_F(ParamFormTest, LoadedValuesBeyondTheSpinEditsAreClamped)
{
    const std::string path = Temp("wide.xml");
    std::ofstream(path) << "<Root><Parameter squelchlow=\"-5\" squelchhigh=\"5000\" sendtimelimit=\"600\" "
                           "nflevel=\"40\" modulation=\"9\"/></Root>";
    TestDialogs().QueueFile(path);
    Form->btnLoadClick();
    EXPECT_TRUE(Boxes().empty());
    EXPECT_EQ(Form->Parameter().SquelchHigh(), 5000); // the set holds the file's value
    EXPECT_EQ(Form->edtSquelchLow->value(), 0);
    EXPECT_EQ(Form->edtSquelchHigh->value(), 1023);
    EXPECT_EQ(Form->edtParamSendTimeLimit->value(), 180);
    EXPECT_EQ(Form->edtNFLevel->value(), 31);
    EXPECT_EQ(Form->edtFFSKMode->value(), 7);
    Connect();
    Form->btnSetDeviceParameterClick();
    const Lines lines(Form->Transport().DeviceQueue().begin(), Form->Transport().DeviceQueue().begin() + 8);
    EXPECT_EQ(lines, (Lines{"0000 PARAM-SQUELCH-LOW !\n", "03FF PARAM-SQUELCH-HIGH !\n", "0000 PARAM-SQUELCH-INDEX !\n",
                            "00B4 PARAM-AIR-LIMIT !\n", "0000 PARAM-PROJECT !\n", "001F PARAM-NFLEVEL !\n",
                            "0000 PARAM-SN !\n", "0007 PARAM-MODULATION !\n"}));
    // A slot channel below 0, which no module reports, is still refused.
    std::ofstream(path) << "<Root><Frequencies><Slot number=\"0\" receive=\"-1\"/></Frequencies></Root>";
    TestDialogs().QueueFile(path);
    EXPECT_THROW(Form->btnLoadClick(), Exception);
}

TEST_F(ParamFormTest, SaveStoresTheSetAsItStands)
{
    Form->Parameter().SetSerialNumber(4711);
    Form->Parameter().SetNFLevel(7);
    Form->edtSquelchLow->setValue(1); // not written: not in the file
    const std::string path = Temp("out.xml");
    TestDialogs().QueueFile(path);
    Form->btnSaveClick();
    const TFileDialog shown = TestDialogs().FileDialogs().back();
    EXPECT_EQ(shown.Title, "Parametersatz speichern");
    EXPECT_EQ(shown.DefaultExt, "XML");
    EXPECT_EQ(shown.Filter, "Ruvo-Parametersätze (*.XML)|*.XML|Alle Dateien|*.*");
    const QDate d = QDate::currentDate();
    EXPECT_EQ(shown.FileName, ParameterSetFileName("Standard", 4711, d.year(), d.month(), d.day(), "ddmmyyyy"));
    TRuvoParameter read;
    read.LoadFromXML(path);
    EXPECT_EQ(read.SquelchLow(), 0);
    EXPECT_EQ(read.NFLevel(), 7);
    EXPECT_TRUE(Boxes().empty());

    // An existing file: replaced only on Yes.
    Form->Parameter().SetNFLevel(8);
    TestDialogs().QueueFile(path);
    TestDialogs().QueueAnswer(IDNO);
    Form->btnSaveClick();
    read.LoadFromXML(path);
    EXPECT_EQ(read.NFLevel(), 7);
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    const TShownBox box = TestDialogs().Boxes()[0];
    EXPECT_EQ(box.Caption, "Datei existiert bereits");
    EXPECT_EQ(box.Flags, unsigned(MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING));
    EXPECT_EQ(box.Text, "Die Datei existiert bereits. Wenn Sie fortfahren, dann werden die bestehende Parameter "
                        "überschrieben.\r\nSoll die bestehende Datei ersetzt werden?");
    TestDialogs().QueueFile(path);
    TestDialogs().QueueAnswer(IDYES);
    Form->btnSaveClick();
    read.LoadFromXML(path);
    EXPECT_EQ(read.NFLevel(), 8);
}

TEST_F(ParamFormTest, FFSKSendQueuesTheTelegramOrSaysWhy)
{
    Form->btnSendClick();
    EXPECT_EQ(ToLines(Form->Transport().DeviceQueue()), (Lines{"00 00 00 00 00 00 00 06 91 09 00 FFSK-SEND\n"}));
    Form->edtInfobyte03->setText("x");
    Form->btnSendClick();
    EXPECT_EQ(Form->Transport().DeviceQueue().size(), 1u);
    EXPECT_EQ(Boxes(), (Lines{"Fehlerhafter Dateninhalt: Hexadezimalumwandlung des Telegramms nicht möglich."}));
}

TEST_F(ParamFormTest, TestToneRunsForItsDuration)
{
    Connect();
    Form->edtSendTimeLimit->setValue(5);
    Form->edtTesttoneNr->setValue(3);
    Form->edtRadioChannel->setText("12");
    Form->btnTestTone->click();
    EXPECT_TRUE(Form->btnTestTone->isChecked());
    EXPECT_EQ(Form->btnTestTone->text(), "Testton ausschalten");
    EXPECT_TRUE(Form->TestToneTimer->isActive());
    EXPECT_EQ(Form->TestToneTimer->interval(), 5000);
    EXPECT_FALSE(Form->btnSetDeviceParameter->isEnabled());
    EXPECT_FALSE(Form->btnSend->isEnabled());
    EXPECT_FALSE(Form->btnFFSKFilterOnOff->isEnabled());
    EXPECT_TRUE(Form->btnTestTone->isEnabled());
    // The tone number is the one switched on, whatever the field says now.
    Form->edtTesttoneNr->setValue(9);
    Form->TestToneTimerTimer();
    EXPECT_FALSE(Form->btnTestTone->isChecked());
    EXPECT_FALSE(Form->TestToneTimer->isActive());
    EXPECT_EQ(Form->btnTestTone->text(), "Testton senden");
    EXPECT_EQ(ToLines(Form->Transport().DeviceQueue()), (Lines{"0C 03 01 TEST-TONE\n", "0C 03 00 TEST-TONE\n"}));
    EXPECT_TRUE(Form->btnSetDeviceParameter->isEnabled());
    EXPECT_TRUE(Form->btnSend->isEnabled());

    // Duration 0: no timer, the tone runs until switched off.
    Form->edtSendTimeLimit->setValue(0);
    Form->btnTestTone->click();
    EXPECT_FALSE(Form->TestToneTimer->isActive());
    // Closing the dialog switches it off.
    Form->show();
    Form->close();
    EXPECT_FALSE(Form->isVisible());
    EXPECT_FALSE(Form->btnTestTone->isChecked());
    EXPECT_EQ(Form->Transport().DeviceQueue().back(), "0C 09 00 TEST-TONE\n");
    EXPECT_EQ(ParameterForm, Form.get()); // hidden, not freed
}

TEST_F(ParamFormTest, FilterSwitchQueuesStoreFlashAndReport)
{
    Connect();
    Form->btnFFSKFilterOnOff->click();
    EXPECT_EQ(Form->btnFFSKFilterOnOff->text(), "FFSK-Filter ausschalten");
    EXPECT_EQ(Form->lblFFSKFilter->text(), "FFSK-Filter ist eingeschaltet");
    Form->btnFFSKFilterOnOff->click();
    EXPECT_EQ(Form->lblFFSKFilter->text(), "FFSK-Filter ist ausgeschaltet");
    EXPECT_EQ(ToLines(Form->Transport().DeviceQueue()),
              (Lines{"0001 PARAM-FFSK-FILTER !\n", "FLASH-PARAM\n", ".PARAM\n", "0000 PARAM-FFSK-FILTER !\n",
                     "FLASH-PARAM\n", ".PARAM\n"}));
    EXPECT_FALSE(Form->Parameter().FFSKFilterActive()); // follows the module's report
    // Without a link object nothing happens.
    Form->SetCommunication(nullptr);
    Form->btnFFSKFilterOnOff->click();
    EXPECT_EQ(Form->Transport().DeviceQueue().size(), 6u);
}

TEST_F(ParamFormTest, LostConnectionStopsToneClosesWindowsAndDisablesButtons)
{
    Connect();
    Form->btnGPSTraceClick();
    Form->btnIBISTraceClick();
    Form->btnFunkmodulTerminalClick();
    Form->btnTestTone->click();
    Link.IsConnected = false;
    Link.Sent.clear();
    Form->ConnectionChanged(false);
    // GPS and IBIS say goodbye directly even on a dead link; the terminal
    // only while it is up.
    EXPECT_EQ(Link.Texts(), (Lines{RuvoGPSTraceOff, RuvoIBISTraceOff}));
    EXPECT_EQ(GPSTraceForm, nullptr);
    EXPECT_EQ(IBISTraceForm, nullptr);
    EXPECT_EQ(FunkmodulTerminalForm, nullptr);
    EXPECT_FALSE(Form->btnTestTone->isChecked());
    EXPECT_EQ(Form->Transport().DeviceQueue().back(), "00 00 00 TEST-TONE\n");
    for (QPushButton* b : {Form->btnGPSTrace, Form->btnIBISTrace, Form->btnFunkmodulTerminal,
                           Form->btnSetDeviceParameter, Form->btnTestTone, Form->btnSend, Form->btnFFSKFilterOnOff})
        EXPECT_FALSE(b->isEnabled()) << b->objectName().toStdString();
    EXPECT_FALSE(Form->Transport().FrequencyPollingTimer().Enabled());
    EXPECT_FALSE(Form->Transport().DeviceSendTimer().Enabled());
    // The queue keeps its lines for the next connection.
    EXPECT_FALSE(Form->Transport().DeviceQueue().empty());
    Link.IsConnected = true;
    Form->ConnectionChanged(true);
    EXPECT_TRUE(Form->btnGPSTrace->isEnabled());
    EXPECT_FALSE(Form->Transport().SlotTelegramSeen());
}

TEST_F(ParamFormTest, PowerOutsideTheStepsIsReportedWhenTheTableIsShown)
{
    Form->Parameter().GetSlot(2)->SetPower(9);
    Form->Parameter().GetSlot(1)->SetReceive(5);
    EXPECT_THROW(Form->FormShow(), Exception);
    EXPECT_EQ(Form->Grid().Object(1, 2), 5);
    // Shown as a window, the error goes to the plug-in's message box.
    Form->show();
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0], "Die vom Funkgerät gemeldete Sendeleistung 9 für Slot 2 ist nicht bekannt\r\n"
                          "Akzeptiert werden Werte zwischen 0 und 4.");
    Form->hide();
}

TEST_F(ParamFormTest, MonitorWindowsOpenOnceAndSayGoodbye)
{
    Connect();
    Form->btnGPSTraceClick();
    Form->btnGPSTraceClick(); // brought to the front, not opened again
    Form->btnIBISTraceClick();
    Form->btnFunkmodulTerminalClick();
    EXPECT_EQ(ToLines(Form->Transport().DeviceQueue()),
              (Lines{RuvoGPSTraceOn, RuvoIBISTraceOn, RuvoRadioTalkOn, RuvoRadioTraceOn}));
    ASSERT_TRUE(GPSTraceForm && IBISTraceForm && FunkmodulTerminalForm);
    struct Window {
        TfMonitorForm* form;
        const char* caption;
        const char* list;
    };
    for (const Window& w : {Window{GPSTraceForm, "GPS Empfangsdaten", "lbxGPSTrace"},
                            Window{IBISTraceForm, "IBIS-Wagenbus Daten", "lbxIBISTrace"},
                            Window{FunkmodulTerminalForm, "FSE Terminal", "lbxFSETrace"}}) {
        EXPECT_EQ(w.form->windowTitle().toStdString(), w.caption);
        EXPECT_EQ(w.form->lbxTrace->objectName().toStdString(), w.list);
        EXPECT_EQ(w.form->lbxTrace->font().family(), "Courier New");
        EXPECT_EQ(w.form->parent(), Form.get());
        EXPECT_TRUE(w.form->isVisible());
    }
    // The parser feeds them; the GPS window shows a line from its fourth
    // character on.
    Form->HandleReply("#g1: $GPRMC,1");
    Form->HandleReply("#w1IBIS");
    Form->HandleReply("#r1 version 2");
    EXPECT_EQ(GPSTraceForm->Line(0), "$GPRMC,1");
    EXPECT_EQ(IBISTraceForm->Line(0), "1IBIS");
    EXPECT_EQ(FunkmodulTerminalForm->Line(0), "1 VERSION 2");

    Link.Sent.clear();
    QPointer<TfMonitorForm> gps = GPSTraceForm;
    GPSTraceForm->btnOK->click();
    EXPECT_EQ(GPSTraceForm, nullptr);
    QPointer<TfMonitorForm> terminal = FunkmodulTerminalForm;
    FunkmodulTerminalForm->close();
    IBISTraceForm->close();
    EXPECT_EQ(Link.Texts(), (Lines{RuvoGPSTraceOff, RuvoRadioTalkOff, RuvoIBISTraceOff}));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(gps.isNull() && terminal.isNull()); // closing frees them

    // Opened again: a fresh, empty window.
    Form->btnGPSTraceClick();
    ASSERT_TRUE(GPSTraceForm);
    EXPECT_EQ(GPSTraceForm->LineCount(), 0);
}

// The module's bytes are Latin-1: an umlaut arrives as one byte and shows
// as the letter, upper-cased like the rest of the line, in all three windows.
TEST_F(ParamFormTest, MonitorWindowsShowTheModulesBytesAsLatin1)
{
    Connect();
    Form->btnGPSTraceClick();
    Form->btnIBISTraceClick();
    Form->btnFunkmodulTerminalClick();
    Form->HandleReply("#r Ger\xE4" "t \xB0" "C");
    Form->HandleReply("#g1: Stra\xDF" "e");
    Form->HandleReply("#w Z\xFC" "ge 1\xBD");
    EXPECT_EQ(FunkmodulTerminalForm->lbxTrace->item(0)->text(), QString::fromUtf8(" GERÄT °C"));
    EXPECT_EQ(GPSTraceForm->lbxTrace->item(0)->text(), QString::fromUtf8("STRAßE"));
    EXPECT_EQ(IBISTraceForm->lbxTrace->item(0)->text(), QString::fromUtf8(" ZÜGE 1½"));
    // A broken telegram names the module's text in the error, readable.
    try {
        Form->HandleReply("#r SPEICHER x\xE4 RX: 1");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "Invalid syntax of radio-channel-telegram \"X\xC3\x84 RX: 1\"");
    }
}

TEST_F(ParamFormTest, MonitorKeepsTheLastThousandLines)
{
    Connect();
    Form->btnIBISTraceClick();
    TfMonitorForm& w = *IBISTraceForm;
    for (int i = 1; i <= 1001; ++i)
        w.AddLine("line " + std::to_string(i));
    EXPECT_EQ(w.LineCount(), 1000);
    EXPECT_EQ(w.Line(0), "line 2");
    EXPECT_EQ(w.lbxTrace->currentRow(), 999);
    // Paused: lines keep coming, the selection stays.
    w.btnPause->click();
    EXPECT_TRUE(w.Paused());
    EXPECT_EQ(w.btnPause->text(), "Weiter");
    w.AddLine("line 1002");
    EXPECT_EQ(w.LineCount(), 1000);
    EXPECT_EQ(w.Line(999), "line 1002");
    EXPECT_EQ(w.lbxTrace->currentRow(), 998);
    w.btnPause->click();
    EXPECT_EQ(w.btnPause->text(), "Pause");
    w.AddLine("line 1003");
    EXPECT_EQ(w.lbxTrace->currentRow(), 999);
    // Cleared, the count starts again.
    w.btnClear->click();
    EXPECT_EQ(w.LineCount(), 0);
    w.AddLine("again");
    EXPECT_EQ(w.LineCount(), 1);
    EXPECT_EQ(w.Line(0), "again");
}

TEST_F(ParamFormTest, TerminalSendsItsCommandAtOnce)
{
    Connect();
    Form->btnFunkmodulTerminalClick();
    TfFunkmodulTerminalForm& t = *FunkmodulTerminalForm;
    ASSERT_EQ(t.cbxCommands->count(), 19);
    EXPECT_EQ(t.cbxCommands->itemText(0).toStdString(), "(V)  Versionsmeldung ausgeben");
    EXPECT_EQ(t.cbxCommands->itemText(0x12).toStdString(), "(F) Rücksetzen auf Werkseinstellung");
    Link.Sent.clear();
    struct Case {
        int command;
        const char* input;
        const char* line;
    };
    for (const Case& c : {Case{0x0A, "300", "0A 12C RC\n"}, Case{4, "", "04 00 RC\n"}, Case{0x12, "15", "12 0F RC\n"}}) {
        t.cbxCommands->setCurrentIndex(c.command);
        t.edtSend->setText(c.input);
        t.btnSend->click();
        ASSERT_FALSE(Link.Sent.empty());
        EXPECT_EQ(Link.Sent.back().Text, c.line);
    }
    EXPECT_TRUE(Form->Transport().RadioQueue().empty()); // no queue
    // Enter in the input sends too; nothing goes while the link is down.
    const std::size_t before = Link.Sent.size();
    QTest::keyClick(t.edtSend, Qt::Key_Return);
    EXPECT_EQ(Link.Sent.size(), before + 1);
    QTest::keyClicks(t.edtSend, "a");
    EXPECT_EQ(t.edtSend->text(), "15");
    Link.IsConnected = false;
    t.btnSend->click();
    EXPECT_EQ(Link.Sent.size(), before + 1);
}

// A technician clicks a frequency cell, types, and presses Enter, in the
// locale of the machine: the digits alone, or the number with either
// separator key (the mask steps over its own). What the cell shows, the
// channel stored and the line the next write sends follow; a frequency off
// the raster brings the error box and the old frequency back.
TEST_F(ParamFormTest, TypingAFrequencyIntoTheTable)
{
    struct Case {
        const char* Keys;
        int Col;
        std::int32_t Channel; // -1: off the raster, the old channel stays
        const char* Shown;    // ',' the machine's separator
    };
    const Case cases[] = {
        {"1460300", 1, 1, "146,0300 MHz"},
        {"146,0300", 1, 1, "146,0300 MHz"},
        {"146.0300", 1, 1, "146,0300 MHz"},
        {"14603", 2, 1, "146,0300 MHz"},       // the rest of the mask stays blank
        {"146,0350", 2, -1, "146,0100 MHz"},   // between the rasters
        {"146,0350", 1, -1, "146,0100 MHz"},
        {"1750000", 1, -1, "146,0100 MHz"},    // beyond the band
        {"173,975", 2, 2518, "173,9750 MHz"},  // the 25 kHz raster
    };
    TfParameterForm& f = *Form;
    f.show();
    QApplication::setActiveWindow(&f);
    TCellGrid* grid = f.grdFrequencies;
    EXPECT_EQ(grid->Cells(1, 0), "Empf. Frequnz (MHz)");
    EXPECT_EQ(grid->Cells(3, 0), "Leistung (W)");
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.Keys) + " in column " + std::to_string(c.Col));
        TestDialogs().Clear();
        f.Grid().SetObject(c.Col, 2, 0); // 146,0100 MHz
        grid->setFocus(Qt::MouseFocusReason);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(c.Col, 2).center());
        ASSERT_EQ(grid->Col(), c.Col);
        ASSERT_EQ(grid->Row(), 2);
        // Immediate edit: the first digit opens the masked edit.
        for (const char* key = c.Keys; *key; ++key) {
            QWidget* target = QApplication::focusWidget();
            ASSERT_NE(target, nullptr);
            QTest::keyClick(target, *key);
        }
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        ASSERT_NE(editor, nullptr) << "the cell editor has the focus";
        EXPECT_EQ(editor->inputMask().left(8), QString::fromStdString(Num("900,9000")));
        QTest::keyClick(editor, Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), grid) << "Enter gives the focus back to the table";
        EXPECT_EQ(f.Grid().Object(c.Col, 2), c.Channel < 0 ? 0 : c.Channel);
        EXPECT_EQ(f.Grid().DisplayText(c.Col, 2), Num(c.Shown));
        if (c.Channel < 0) {
            ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
            EXPECT_EQ(TestDialogs().Boxes()[0].Flags, unsigned(MB_OK | MB_ICONERROR));
            EXPECT_EQ(f.Grid().Cell(c.Col, 2), Num("146,0100"));
        } else {
            EXPECT_TRUE(Boxes().empty()) << Boxes()[0];
        }
    }
    EXPECT_TRUE(f.TableModified());
    EXPECT_FALSE(grid->grab().isNull());

    // The next write sends the slot with the channels typed last:
    // transmit 2518 (9D6), receive 0 (the last receive edit was refused).
    f.Grid().SetObject(3, 2, 4);
    Connect();
    TestDialogs().Clear();
    f.btnSetDeviceParameter->click();
    ASSERT_EQ(f.Transport().RadioQueue().size(), 32u);
    EXPECT_EQ(f.Transport().RadioQueue()[1], "01 9D6 00 04 rpc\n");
    EXPECT_EQ(f.Parameter().GetSlot(1)->Transmit(), 2518);
    f.hide();
}

// Typed into a receive cell and written: the line the module gets.
TEST_F(ParamFormTest, ATypedFrequencyReachesTheModule)
{
    TfParameterForm& f = *Form;
    f.show();
    QApplication::setActiveWindow(&f);
    TCellGrid* grid = f.grdFrequencies;
    grid->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(1, 1).center());
    for (const char key : std::string("146,0300")) // comma key, whatever the machine uses
        QTest::keyClick(QApplication::focusWidget(), key);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(f.Grid().Object(1, 1), 1);
    EXPECT_EQ(f.Grid().DisplayText(1, 1), Num("146,0300 MHz"));
    Connect();
    AnswerAll();
    f.btnSetDeviceParameter->click();
    RunFor(3000);
    const Lines sent = Link.Texts();
    ASSERT_FALSE(sent.empty());
    EXPECT_NE(std::find(sent.begin(), sent.end(), "00 00 01 00 rpc\n"), sent.end());
    EXPECT_EQ(f.Parameter().GetSlot(0)->Receive(), 1);
    f.hide();
}

TEST_F(ParamFormTest, AfterAConnectionTheSlotsArePolledUntilTheFirstTelegram)
{
    Form->FormShow();
    // The module answers the poll with its 32 slots, then OK.
    Answer = [](const std::string& line) -> Lines {
        if (line != RuvoSlotPoll)
            return {"OK."};
        Lines replies;
        for (int slot = 0; slot < 32; ++slot)
            replies.push_back("#r SPEICHER " + std::to_string(slot) + " RX: " + std::to_string(slot) +
                              " TX: " + std::to_string(1400 + slot) + " P: " + std::to_string(1 + slot % 5));
        replies.push_back("#r OK");
        return replies;
    };
    Form->ConnectionChanged(true);
    RunFor(3500);
    const Lines sent = Link.Texts();
    EXPECT_EQ(std::count(sent.begin(), sent.end(), RuvoSlotPoll), 1) << "the first telegram ends the polling";
    for (int row = 1; row <= 32; ++row) {
        EXPECT_EQ(Form->Grid().Object(1, row), row - 1);
        EXPECT_EQ(Form->Grid().Object(2, row), 1400 + row - 1);
        EXPECT_EQ(Form->Grid().Object(3, row), 1 + (row - 1) % 5);
    }
    EXPECT_EQ(Form->Grid().DisplayText(2, 1), Num("146,0250 MHz"));
    EXPECT_EQ(Form->Parameter().GetSlot(31)->Receive(), 31);
    // The controls keep their start values until the module is asked.
    EXPECT_EQ(Form->edtSquelchLow->value(), 220);
    // A new connection polls again.
    Form->ConnectionChanged(false);
    Form->ConnectionChanged(true);
    RunFor(1500);
    const Lines again = Link.Texts();
    EXPECT_EQ(std::count(again.begin(), again.end(), RuvoSlotPoll), 2);
    EXPECT_TRUE(Boxes().empty());
}

// An error of a queue timer ends its tick and is shown by the plug-in's
// own message box, owned by the program's window and captioned as the
// entries' errors are; the program's handler of stray errors never sees it.
TEST_F(ParamFormTest, TimerErrorsGoToThePluginsDisplay)
{
    QWidget host;
    SetPluginAppWindow(reinterpret_cast<TAppHandle>(&host));
    std::vector<std::string> stray;
    SetApplicationExceptionHandler([&](const std::exception& e) { stray.push_back(e.what()); });
    Connect();
    Form->QueueDevice("A\n");
    Form->QueueDevice("B\n");
    RunFor(20 * 205); // the module stays silent: the queue gives up
    SetApplicationExceptionHandler({});
    EXPECT_TRUE(stray.empty());
    const std::vector<TShownBox> boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].Text, "TfParameterForm: The device did not answer \"A\"; it and 1 further lines were dropped.");
    EXPECT_EQ(boxes[0].Caption, "Ravvel");
    EXPECT_EQ(boxes[0].Flags, unsigned(MB_OK | MB_ICONERROR));
    EXPECT_EQ(boxes[0].Owner, &host);
    // The queue goes on with the next line.
    Answer = [](const std::string&) -> Lines { return {"OK."}; };
    Form->QueueDevice("C\n");
    RunFor(100);
    EXPECT_EQ(Link.Texts().back(), "C\n");
}

// The first show gives the dialog room for all it holds, even on a screen
// of 800 x 600 (the offscreen screen), where a window that sizes itself
// takes at most two thirds of the width; 501 x 548 stays its minimum.
TEST_F(ParamFormTest, TheFirstShowShowsEverythingWhole)
{
    TfParameterForm& f = *Form;
    f.FormShow();
    f.show();
    QCoreApplication::processEvents();
    EXPECT_EQ(f.minimumSize(), QSize(501, 548));
    const QSize screen = f.screen()->availableGeometry().size();
    EXPECT_LE(f.width(), screen.width());
    EXPECT_LE(f.height(), screen.height());
    for (QWidget* w : f.findChildren<QWidget*>()) {
        if (!w->isVisibleTo(&f) || w->window() != &f || (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w)))
            continue;
        const QString text = qobject_cast<QLabel*>(w) ? qobject_cast<QLabel*>(w)->text()
                                                      : qobject_cast<QAbstractButton*>(w)->text();
        EXPECT_GE(w->width(), w->minimumSizeHint().width()) << text.toStdString() << " is cut";
    }
    // All four columns of the table, the scroll bar beside them.
    TCellGrid* grid = f.grdFrequencies;
    int right = 0;
    for (int c = 0; c < 4; ++c)
        right += grid->ColWidths(c) + grid->GridLineWidth();
    EXPECT_LE(right, grid->viewport()->width());
    EXPECT_FALSE(grid->horizontalScrollBar()->isVisible());
    // Shown again, it keeps the size the person gave it.
    f.resize(600, 560);
    f.hide();
    f.show();
    EXPECT_EQ(f.size(), QSize(600, 560));
    f.hide();
}

TEST_F(ParamFormTest, FreedWhileACellIsBeingEdited)
{
    TfParameterForm& f = *Form;
    f.show();
    QApplication::setActiveWindow(&f);
    f.grdFrequencies->setFocus(Qt::OtherFocusReason);
    QCoreApplication::processEvents();
    f.grdFrequencies->SetCol(1);
    f.grdFrequencies->SetRow(3);
    FocusKey(Qt::Key_1, "1");
    ASSERT_NE(f.grdFrequencies->ActiveEditor(), nullptr);
    // Unloading the plug-in frees the dialog with the editor open.
    Form.reset();
    EXPECT_EQ(ParameterForm, nullptr);
}

// A module whose link is up but that never answers a line: what the plug-in
// sends on its own (the slot polls, the radio link's lines) is given up
// quietly, whether the dialog is open or not. A write the person starts is
// lost and told once, in one box, and while that box is open no second one
// comes, however long the person leaves it. A table that was not written is
// not said to be in the radio, and the next write sends it again.
TEST_F(ParamFormTest, ASilentModuleCostsOneBoxForAWriteAndNoneBefore)
{
    QWidget host;
    SetPluginAppWindow(reinterpret_cast<TAppHandle>(&host));
    TLingeringBoxes boxes([this] { RunFor(60000); });
    Form->ConnectionChanged(true);
    RunFor(60000); // the dialog closed
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    Form->show();
    RunFor(10000);
    EXPECT_TRUE(boxes.Texts().empty()) << boxes.Texts().front();
    const Lines sent = Link.Texts();
    EXPECT_GE(std::count(sent.begin(), sent.end(), RuvoSlotPoll), 10) << "the polling goes on";

    for (const bool table : {false, true}) {
        SCOPED_TRACE(table ? "values and table" : "device values");
        boxes.Clear();
        if (table)
            Form->grdFrequenciesSetEditText(1, 1, Num("146,0250"));
        ASSERT_TRUE(Form->btnSetDeviceParameter->isEnabled());
        QTest::mouseClick(Form->btnSetDeviceParameter, Qt::LeftButton);
        RunFor(60000);
        const std::vector<TShownBox> shown = boxes.Boxes();
        ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(boxes.Texts());
        EXPECT_EQ(Form->TableModified(), table);
        const TShownBox& lost = shown.back();
        EXPECT_EQ(lost.Text.rfind("TfParameterForm: ", 0), 0u) << lost.Text;
        EXPECT_EQ(lost.Caption, "Ravvel");
        EXPECT_EQ(lost.Owner, &host);
        EXPECT_EQ(boxes.MostOpen, 1);
    }
}

// A link that refuses every line: one click on "Parameter setzen" is one
// box, whether the table goes too or not, and the polling behind it adds
// none.
TEST_F(ParamFormTest, ALinkThatRefusesEveryLineCostsOneBoxPerClick)
{
    QWidget host;
    SetPluginAppWindow(reinterpret_cast<TAppHandle>(&host));
    TLingeringBoxes boxes([this] { RunFor(10000); });
    Connect();
    Form->Transport().SetSlotTelegramSeen(false); // the slots are polled too
    Link.Accept = false;
    for (const bool table : {false, true}) {
        SCOPED_TRACE(table ? "with the table" : "device values");
        boxes.Clear();
        if (table)
            Form->grdFrequenciesSetEditText(1, 1, Num("146,0250"));
        QTest::mouseClick(Form->btnSetDeviceParameter, Qt::LeftButton);
        RunFor(60000);
        ASSERT_EQ(boxes.Texts(), Lines{"ExtendedDLL: The link did not take the message."});
        EXPECT_EQ(boxes.Boxes()[0].Owner, &host);
        EXPECT_EQ(boxes.MostOpen, 1);
    }
}

// A module that takes the device values but refuses every line of the
// table ("#r ERROR"): the write still sends every line, one after the
// other's answer, and the person gets one box that names the refused line
// and the module's answer, not the box that says the table is in the radio.
// The table stays marked, so the next write, which the module takes, sends
// it again and ends with that box.
TEST_F(ParamFormTest, ATableTheModuleRefusesIsToldNotSaidToBeLoaded)
{
    QWidget host;
    SetPluginAppWindow(reinterpret_cast<TAppHandle>(&host));
    Form->FormShow();
    Form->grdFrequenciesSetEditText(1, 1, Num("146,0300"));
    ASSERT_TRUE(Form->TableModified());
    Connect();
    Answer = [](const std::string& line) -> Lines { return {line.ends_with(" rpc\n") ? "#r ERROR" : "OK."}; };
    QTest::mouseClick(Form->btnSetDeviceParameter, Qt::LeftButton);
    RunFor(5000);
    const Lines sent = Link.Texts();
    EXPECT_EQ(std::count_if(sent.begin(), sent.end(), [](const std::string& l) { return l.ends_with(" rpc\n"); }), 32);
    const std::vector<TShownBox> shown = TestDialogs().Boxes();
    ASSERT_EQ(shown.size(), 1u) << ::testing::PrintToString(Boxes());
    EXPECT_EQ(shown[0].Text, "TfParameterForm: The radio refused \"00 00 01 00 rpc\" with \"#r ERROR\".");
    EXPECT_EQ(shown[0].Flags, unsigned(MB_OK | MB_ICONERROR));
    EXPECT_EQ(shown[0].Owner, &host);
    EXPECT_TRUE(Form->TableModified());
    EXPECT_FALSE(Form->ProgressDialog->isVisible());

    TestDialogs().Clear();
    Link.Sent.clear();
    AnswerAll();
    QTest::mouseClick(Form->btnSetDeviceParameter, Qt::LeftButton);
    RunFor(5000);
    const Lines again = Link.Texts();
    EXPECT_EQ(std::count_if(again.begin(), again.end(), [](const std::string& l) { return l.ends_with(" rpc\n"); }),
              32);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].rfind("Die Frequenztabelle wurde neu in das Funkgerät geladen.", 0), 0u) << Boxes()[0];
    EXPECT_FALSE(Form->TableModified());
}

// Delete reaches the table as the X server sends it, with the character
// 0x7F: it types nothing. On a frequency cell it opens no editor, Return
// then opens the cell's own value and a second Return leaves it as it was,
// so no box comes and the next write sends the twelve device lines alone;
// on the power column it opens no list.
TEST_F(ParamFormTest, DeleteInTheTableTypesNothing)
{
    TfParameterForm& f = *Form;
    f.FormShow();
    f.show();
    QApplication::setActiveWindow(&f);
    TCellGrid* grid = f.grdFrequencies;
    grid->setFocus(Qt::MouseFocusReason);
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->CellRect(2, 5).center());
    X11Key(grid, Qt::Key_Home, "", Qt::ControlModifier);
    ASSERT_EQ(QApplication::focusWidget(), grid);
    ASSERT_EQ(grid->Col(), 1);
    ASSERT_EQ(grid->Row(), 1);
    X11Key(grid, Qt::Key_Delete, "\x7f");
    EXPECT_EQ(QApplication::focusWidget(), grid) << "no editor opened";
    EXPECT_EQ(grid->ActiveEditor(), nullptr);
    X11Key(grid, Qt::Key_Return, "\r");
    auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
    ASSERT_NE(editor, nullptr) << "Return opens the cell's editor";
    EXPECT_EQ(editor->text().toStdString(), Num("146,0100"));
    X11Key(grid, Qt::Key_Return, "\r");
    EXPECT_EQ(QApplication::focusWidget(), grid);
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
    EXPECT_EQ(f.Grid().Object(1, 1), 0);
    EXPECT_FALSE(f.TableModified());

    X11Key(grid, Qt::Key_End, "");
    ASSERT_EQ(grid->Col(), 3);
    X11Key(grid, Qt::Key_Delete, "\x7f");
    EXPECT_EQ(QApplication::focusWidget(), grid) << "no list opened";
    EXPECT_EQ(grid->ActiveEditor(), nullptr);

    Connect();
    AnswerAll();
    f.btnSetDeviceParameter->click();
    RunFor(2000);
    EXPECT_EQ(Link.Texts(), kStartWrite);
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
    f.hide();
}

// A module that sends slot telegrams faster than they are handled: no
// telegram handles the next message inside its own window pass, so however
// many wait, they are handled one after the other, and the table shows each
// slot as it came.
TEST_F(ParamFormTest, ASlotTelegramHandlesNoOtherMessageInsideIt)
{
    Form->show();
    struct TArrivals : QObject {
        TfParameterForm* Form = nullptr;
        int Depth = 0, Deepest = 0, Handled = 0;
        std::uintptr_t Top = 0, Bottom = 0;
        bool event(QEvent* e) override
        {
            if (e->type() != QEvent::User)
                return QObject::event(e);
            char here = 0;
            const auto at = reinterpret_cast<std::uintptr_t>(&here);
            Top = Top ? std::max(Top, at) : at;
            Bottom = Bottom ? std::min(Bottom, at) : at;
            ++Depth;
            Deepest = std::max(Deepest, Depth);
            const int i = Handled++;
            Form->HandleReply("#r SPEICHER " + std::to_string(i % 32) + " EMPFANG: " + std::to_string(i) +
                              " SENDEN: " + std::to_string(1400 + i) + " LEISTUNG: " + std::to_string(1 + i % 5));
            --Depth;
            return true;
        }
    } arrivals;
    arrivals.Form = Form.get();
    constexpr int Count = 320;
    for (int i = 0; i < Count; ++i)
        QCoreApplication::postEvent(&arrivals, new QEvent(QEvent::User));
    ASSERT_TRUE(ProcessEventsUntil([&] { return arrivals.Handled == Count; }, 60000));
    EXPECT_EQ(arrivals.Deepest, 1);
    EXPECT_LT(arrivals.Top - arrivals.Bottom, 16u * 1024) << "the stack grew with the waiting messages";
    for (int row = 1; row <= 32; ++row) {
        const int last = Count - 32 + row - 1;
        EXPECT_EQ(Form->Grid().Object(1, row), last) << row;
        EXPECT_EQ(Form->Grid().Object(2, row), 1400 + last) << row;
    }
    EXPECT_TRUE(Boxes().empty());
}

// What the buttons fail at reaches the person in the plug-in's own box,
// owned by the program's window; no error leaves a button's handler.
TEST_F(ParamFormTest, ButtonErrorsAreShownInThePluginsBox)
{
    QWidget host;
    SetPluginAppWindow(reinterpret_cast<TAppHandle>(&host));
    std::vector<std::string> stray;
    SetApplicationExceptionHandler([&](const std::exception& e) { stray.push_back(e.what()); });
    Form->show();
    WriteBroken();
    struct Case {
        const char* What;
        QPushButton* Button;
        std::string File;
        const char* Begins;
    };
    const Case cases[] = {
        {"a broken file", Form->btnLoad, Temp("broken.xml"), "LoadFromXML: File \""},
        {"a file that is gone", Form->btnLoad, Temp("gone.xml"), "LoadFromXML: File \""},
        {"a folder that does not exist", Form->btnSave, Temp("no/such/folder/set.xml"),
         "Der Hardwarekonfiguration konnte nicht gespeichert werden."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        TestDialogs().Clear();
        TestDialogs().QueueFile(c.File);
        QTest::mouseClick(c.Button, Qt::LeftButton);
        const std::vector<TShownBox> boxes = TestDialogs().Boxes();
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].Text.rfind(c.Begins, 0), 0u) << boxes[0].Text;
        EXPECT_EQ(boxes[0].Caption, "Ravvel");
        EXPECT_EQ(boxes[0].Flags, unsigned(MB_OK | MB_ICONERROR));
        EXPECT_EQ(boxes[0].Owner, &host);
    }
    SetApplicationExceptionHandler({});
    EXPECT_TRUE(stray.empty()) << stray.front();
    EXPECT_EQ(Form->Parameter().SquelchLow(), 0) << "the set stays";
}

// Whatever the module reports, the set holds, and a file saved from it loads
// back: channels off the raster and a squelch index beyond four digits too.
TEST_F(ParamFormTest, WhatTheModuleReportedIsSavedAndLoadsBack)
{
    Form->show();
    Form->HandleReply("PARAM SQUELCH-INDEX=1FFFF NFLEVEL=40");
    Form->HandleReply("#r SPEICHER 4 EMPFANG: 99999 SENDEN: 2519 LEISTUNG: 5");
    Form->HandleReply("#r SPEICHER 5 EMPFANG: 7 SENDEN: 8 LEISTUNG: 0");
    ASSERT_EQ(Form->Parameter().SquelchIndex(), 0x1FFFF);
    ASSERT_EQ(Form->Parameter().GetSlot(4)->Receive(), 99999);
    TRuvoParameter reported;
    reported.Assign(Form->Parameter());
    TestDialogs().QueueFile(Temp("reported.xml"));
    QTest::mouseClick(Form->btnSave, Qt::LeftButton);
    Form->Parameter().SetSquelchIndex(0);
    Form->Parameter().GetSlot(4)->SetReceive(0);
    TestDialogs().QueueFile(Temp("reported.xml"));
    QTest::mouseClick(Form->btnLoad, Qt::LeftButton);
    EXPECT_TRUE(Boxes().empty()) << Boxes().front();
    reported.SetSerialNumber(Form->Parameter().SerialNumber()); // not in the file
    for (int slot = 0; slot < TRuvoParameter::SlotCount; ++slot)
        if (reported.GetSlot(slot)->Power() == 0)
            reported.GetSlot(slot)->SetPower(1); // a file's power 0 loads as 1
    EXPECT_TRUE(Form->Parameter() == reported);
    EXPECT_EQ(Form->Grid().Object(1, 5), 99999);
    EXPECT_EQ(Form->Grid().Object(2, 5), 2519);
}

TEST_F(ParamFormTest, LoadAndSaveRunTheFormsOwnTranslatedDialogs)
{
    auto* open = Form->findChild<TlcOpenDialog*>("OpenDialog");
    auto* save = Form->findChild<TlcSaveDialog*>("SaveDialog");
    ASSERT_NE(open, nullptr);
    ASSERT_NE(save, nullptr);
    // Linked to no translation component: the toolkit's own texts.
    EXPECT_EQ(open->lcLang(), nullptr);
    EXPECT_EQ(save->lcLang(), nullptr);
    TestDialogs().QueueFile(""); // cancelled
    Form->btnLoadClick();
    EXPECT_EQ(open->Title(), "Ruvo Parametersatz öffnen ...");
    EXPECT_EQ(open->DefaultExt(), "xml");
    TestDialogs().QueueFile("");
    Form->btnSaveClick();
    EXPECT_EQ(save->Title(), "Parametersatz speichern");
    EXPECT_FALSE(TestDialogs().FileDialogs().back().OverwritePrompt); // the form asks in its own words
}

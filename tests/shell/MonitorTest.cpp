// The communication monitor: row formats, what is recorded when, the head
// highlighting, the log file, and the send line.
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "platform/Exception.h"
#include "shell/CommunicationMonitor.h"
#include "shell/DataModule.h"
#include "shell/Environment.h"
#include "shell/MainForm.h"
#include "tests/common/TestServices.h"
#include "tests/link/VirtualComIo.h"
#include "tests/shell/ShellFixture.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QSettings>
#include <QSpinBox>

using TPause = TCommunicationMonitor::TPause;
using TMode = TCommunicationMonitor::TMode;

TEST(MonitorRows, HexAndEscapedText)
{
    const std::string bytes("AB\r\xFF \x00~", 7);
    EXPECT_EQ(BytesToHexText(bytes, true), " 41 42 0D FF 20 00 7E");
    EXPECT_EQ(BytesToHexText(bytes, false), "41420DFF20007E");
    EXPECT_EQ(EscapeText(bytes), "AB<0D><FF> <00>~");
    EXPECT_EQ(EscapeText(""), "");
}

TEST(MonitorRows, WhatIsRecordedAndWhen)
{
    TCommunicationMonitor m;
    EXPECT_FALSE(m.AddReceived("x", 0).Added); // hidden: nothing
    m.SetVisible(true);
    EXPECT_TRUE(m.AddReceived(" ", 1).Added); // one blank: an empty text
    EXPECT_TRUE(m.AddSent("\x41\x42\x0A", 2).Added);
    m.SetMode(TMode::Hex);
    EXPECT_TRUE(m.AddReceived("\x41\x42\x43\x0D", 3).Added);
    ASSERT_EQ(m.In().size(), 3u);
    ASSERT_EQ(m.Out().size(), 3u);
    EXPECT_EQ(m.In()[0].Text, "");
    EXPECT_EQ(m.Out()[0].Text, "");
    EXPECT_EQ(m.Out()[1].Text, "AB<0A>");
    EXPECT_EQ(m.In()[1].Text, "");
    EXPECT_EQ(m.In()[2].Text, "41 42 43 0D"); // the leading blank goes
    m.SetPause(TPause::ByUser);
    EXPECT_TRUE(m.AddReceived("y", 4).Added);
    EXPECT_FALSE(m.FollowsNewest());
    m.SetPause(TPause::ForUpload);
    EXPECT_FALSE(m.AddSent("z", 5).Added);
    m.Clear();
    EXPECT_TRUE(m.In().empty());
}

TEST(MonitorRows, ReceivedTrafficKeepsAThousandRowsSendsDoNot)
{
    TCommunicationMonitor m;
    m.SetVisible(true);
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(m.AddReceived("r" + std::to_string(i), 0).DroppedFirst);
    const auto change = m.AddReceived("last", 0);
    EXPECT_TRUE(change.DroppedFirst);
    EXPECT_EQ(m.In().size(), 1000u);
    EXPECT_EQ(m.In().front().Text, "r1");
    for (int i = 0; i < 50; ++i)
        m.AddSent("s", 0);
    EXPECT_EQ(m.Out().size(), 1050u);
    EXPECT_EQ(m.In().size(), 1050u);
}

TEST(MonitorRows, HeadOfARow)
{
    TCommunicationMonitor m;
    const struct {
        TMode mode;
        const char* text;
        int bytes;
        std::size_t head;
    } cases[] = {
        {TMode::Ascii, "A<0D>B", 2, 5}, {TMode::Ascii, "A<0D>B", 0, 0}, {TMode::Ascii, "ABC", 1, 1},
        {TMode::Ascii, "A<B", 2, 5},    // a "<" too near the end counts as an escape
        {TMode::Ascii, "A<BCD", 2, 2},  // a "<" whose fourth character is no ">" counts one
        {TMode::Ascii, "AB", 4, 10},    // past the end: 4 each
        {TMode::Hex, "41 42", 3, 9},    // more than the text: drawn clipped
        {TMode::Hex, "41 42", 1, 3},
    };
    for (const auto& c : cases) {
        m.SetMode(c.mode);
        EXPECT_EQ(m.HeadLength(c.text, c.bytes), c.head) << c.text << " " << c.bytes;
    }
}

TEST(MonitorRows, LogFileLinesAndName)
{
    TCommunicationMonitor m;
    m.SetVisible(true);
    m.SetMode(TMode::Hex);
    const std::uint32_t t1 = ((14 * 60 + 4) * 60 + 58) * 1000 + 120;
    m.AddSent("AB\n", t1);
    m.SetMode(TMode::Ascii);
    m.AddReceived(" ", t1 + 30); // one blank in ASCII: empty in both lists, skipped
    m.SetMode(TMode::Hex);
    m.AddReceived("ABC\r", t1 + 67);
    const QDate day(2026, 12, 9);
    const QTime at(14, 5);
    EXPECT_EQ(TCommunicationMonitor::ProposedFileName(day, at), "Kommunikationsprotokoll_09-12-2026_14-05.txt");
    EXPECT_EQ(m.LogLines(day, at), (std::vector<std::string>{
                                        "Kommunikationsprotokoll. Aufgezeichnet: 09.12.2026 14:05",
                                        std::string(65, '-'),
                                        "[PC > Gerät 14:04:58,120] 41 42 0A",
                                        "[Gerät > PC 14:04:58,187] 41 42 43 0D",
                                        "----ENDE DER AUFZEICHNUNG -----------------------------------",
                                    }));
}

namespace {

class MonitorWindowTest : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        TestDialogs().Clear();
        TDM::PluginLoadPause = [](int) {};
        TMyComInterface::SetIoFactory([this](HWND window, std::uint16_t) {
            auto io = std::make_unique<TVirtualComIo>(window);
            Io = io.get();
            return io;
        });
        QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat)
            .setValue("Tessaro/ComPort", 2);
        WriteFile(ProgramDir() + "ZorDevices.xml", R"(<ZORDEVICES><DEVICE name="Ruvo"/></ZORDEVICES>)");
        Dm = std::make_unique<TDM>(QStringList{"Tessaro", "Ruvo"});
        Form = std::make_unique<TfMainForm>();
        Form->FormShow();
        Dm->Environment()->StoreServiceCode("48213"); // the monitor shows in the extended mode
        Form->AppIdle();
    }
    void TearDown() override
    {
        Form.reset();
        Dm.reset();
        TMyComInterface::SetIoFactory({});
        ShellFixture::TearDown();
    }
    void Connect()
    {
        Io->PostToInterface(RegisterWindowMessage("ComVerbStatus"), 1, {});
        QCoreApplication::processEvents();
        ASSERT_TRUE(Dm->ComControl()->Connected());
    }
    std::vector<std::string> SentToThread() const
    {
        std::vector<std::string> out;
        for (const auto& m : Io->ThreadMessages)
            if (m.Msg == RegisterWindowMessage("ComSend"))
                out.push_back(std::string(1, static_cast<char>(m.WParam & 0xFF)) + m.Block.value_or(""));
        return out;
    }
    TVirtualComIo* Io = nullptr;
    std::unique_ptr<TDM> Dm;
    std::unique_ptr<TfMainForm> Form;
};

} // namespace

TEST_F(MonitorWindowTest, SendLineUpperCasesAndSendsWithLineFeed)
{
    Form->edtSend->setText("ver");
    Form->btnSendClick(); // not connected: nothing
    EXPECT_TRUE(SentToThread().empty());
    EXPECT_FALSE(Form->btnSend->isEnabled());
    Connect();
    Form->AppIdle();
    EXPECT_TRUE(Form->btnSend->isEnabled());
    Form->btnSend->click();
    EXPECT_EQ(SentToThread(), std::vector<std::string>{"VER\n"});
    EXPECT_EQ(Form->edtSend->text().toStdString(), "VER");
    EXPECT_EQ(Form->edtSend->selectedText().toStdString(), "VER");
    // The send shows in the right-hand list (through the link's monitor copy).
    ASSERT_EQ(Form->lbxOut->count(), 1);
    EXPECT_EQ(Form->lbxOut->item(0)->text().toStdString(), "VER<0A>");
    EXPECT_EQ(Form->lbxIn->item(0)->text().toStdString(), "");
    Form->edtSend->clear();
    Form->btnSend->click();
    EXPECT_EQ(SentToThread().size(), 1u);
}

TEST_F(MonitorWindowTest, ButtonsPauseToggleClearAndTheUploadNotices)
{
    Form->DebugReceiveData("\x41\r");
    ASSERT_EQ(Form->lbxIn->count(), 1);
    EXPECT_EQ(Form->lbxIn->currentRow(), 0);
    Form->btnPause->click();
    EXPECT_EQ(Form->btnPause->text().toStdString(), "Weiter");
    Form->DebugReceiveData("B");
    EXPECT_EQ(Form->lbxIn->count(), 2);
    EXPECT_EQ(Form->lbxIn->currentRow(), 0); // the view stays
    Form->btnPause->click();
    EXPECT_EQ(Form->btnPause->text().toStdString(), "Pause");
    Form->btnToggleASCII->click();
    EXPECT_EQ(Form->btnToggleASCII->text().toStdString(), "In ASCII-Darstellung umschalten");
    Form->DebugReceiveData(Dm->Text("IDS_70")); // notices are formatted like data
    EXPECT_EQ(Form->lbxIn->item(2)->text().left(8).toStdString(), "46 49 52");
    Form->btnToggleASCII->click();
    EXPECT_EQ(Form->btnToggleASCII->text().toStdString(), "In HEX-Darstellung umschalten");
    Form->btnClear->click();
    EXPECT_EQ(Form->lbxIn->count(), 0);
    EXPECT_EQ(Form->lbxOut->count(), 0);
}

TEST_F(MonitorWindowTest, SavingWritesTheLogAndSaysSo)
{
    Form->DebugReceiveData("ABC\r");
    Form->DebugSendData("AB\n");
    const std::string path = ProgramDir() + "log.txt";
    TestDialogs().QueueFile(path);
    Form->btnSave->click();
    const auto dialogs = TestDialogs().FileDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].Title, "Protokoll speichern");
    EXPECT_EQ(dialogs[0].DefaultExt, "TXT");
    EXPECT_EQ(dialogs[0].FileName.rfind("Kommunikationsprotokoll_", 0), 0u);
    const std::string log = ReadFile(path);
    EXPECT_EQ(log.rfind("Kommunikationsprotokoll. Aufgezeichnet: ", 0), 0u);
    EXPECT_NE(log.find("] ABC<0D>\r\n[PC > Ger\xE4t "), std::string::npos); // Latin-1, CR LF
    EXPECT_NE(log.find("] AB<0A>\r\n----ENDE DER AUFZEICHNUNG"), std::string::npos);
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_EQ(TestDialogs().Boxes()[0].Text, "Die Daten wurden gespeichert!");

    // A file that cannot be written: the error, no success message, the old file kept.
    TestDialogs().Clear();
    TestDialogs().QueueFile(ProgramDir() + "no/such/folder/log.txt");
    Form->btnSaveClick();
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_NE(TestDialogs().Boxes()[0].Text.find(ProgramDir() + "no/such/folder/log.txt"), std::string::npos);
    EXPECT_EQ(TestDialogs().Boxes()[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONERROR));
}

TEST_F(MonitorWindowTest, NothingIsRecordedOutsideTheExtendedMode)
{
    Dm->Environment()->StoreServiceCode("1");
    Form->AppIdle();
    Form->DebugReceiveData("hidden");
    EXPECT_EQ(Form->lbxIn->count(), 0);
}

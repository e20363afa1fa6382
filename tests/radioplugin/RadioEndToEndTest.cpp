// The transport and the reply parser through the serial link over a
// pseudo-terminal to the simulated radio module, in real time: slot polling
// after the connection, a full parameter write read back, a 32-slot table
// write, trace lines, send functions, and a module that is silent, answers
// with broken or out-of-range replies, answers wrongly or refuses.
#include "radioplugin/GlobalFunctionsRuvo.h"
#include "radioplugin/RuvoCommands.h"
#include "tests/radioplugin/RuvoHarness.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

using Lines = std::vector<std::string>;

namespace {

class RadioEndToEnd : public testing::Test {
protected:
    void SetUp() override
    {
        static std::uint16_t next = 300;
        H = std::make_unique<TRuvoHarness>(next++);
        for (int i = 0; i < 32; ++i)
            H->Module.SetSlot(i, {100 + i, 2000 + i, 1 + i % 5});
    }
    void TearDown() override { H.reset(); }
    // The module is up, its slots read, and its log cleared.
    void Ready()
    {
        ASSERT_TRUE(H->WaitReady()) << "link up, slots polled, queues at rest";
        H->Module.ClearLog();
        H->View.Lines.clear();
        H->View.Steps = 0;
    }
    bool WaitIdle(int ms = 5000) { return TRuvoHarness::RunUntil([&] { return H->Idle(); }, ms); }

    std::unique_ptr<TRuvoHarness> H;
};

} // namespace

TEST_F(RadioEndToEnd, SlotsArePolledOnceTheLinkIsUp)
{
    ASSERT_TRUE(H->WaitReady());
    // The radio queue, idle when the link came up, closes the radio link
    // once; then the first poll opens it, and closes it when answered.
    EXPECT_EQ(H->Module.Log(), (Lines{"radiotalk-off\n", "radiotalk-on\n", "04 00 rc\n", "radiotalk-off\n"}));
    for (int i = 0; i < 32; ++i) {
        const TChannelEntry& s = *H->Set.GetSlot(i);
        EXPECT_EQ(s.Receive(), 100 + i);
        EXPECT_EQ(s.Transmit(), 2000 + i);
        EXPECT_EQ(s.Power(), 1 + i % 5);
    }
    EXPECT_EQ(H->View.SlotsReported, 32);
    EXPECT_FALSE(H->Module.RadioTalk());
    EXPECT_TRUE(H->Errors.empty()) << H->Errors.front();
}

TEST_F(RadioEndToEnd, FullParameterWriteIsFlashedAndReadBack)
{
    Ready();
    TRuvoParameter written;
    written.SetSquelchLow(300);
    written.SetSquelchHigh(900);
    written.SetSquelchIndex(5);
    written.SetSendTimeLimit(120);
    written.SetProjectNr(2);
    written.SetNFLevel(21);
    written.SetSerialNumber(654321);
    written.SetModulation(3);
    written.SetFFSKFilterActive(true);
    const Lines lines = ParameterWriteLines(written);
    ASSERT_EQ(lines.size(), 12u);
    for (const auto& l : lines)
        H->Transport.QueueDevice(l);
    ASSERT_TRUE(WaitIdle());

    EXPECT_EQ(H->Module.Log(), lines);
    EXPECT_EQ(H->Module.LinesWhileAnswering(), 0u) << "one line in flight";
    const TRadioParams flash = H->Module.Flash();
    EXPECT_EQ(flash, (TRadioParams{300, 900, 5, 120, 2, 21, 654321, 3, 1}));
    EXPECT_EQ(H->Module.FlashWrites(), 1u);
    EXPECT_TRUE(H->Module.TerminalTrace());

    // The ".PARAM" answer filled the plug-in's set.
    EXPECT_EQ(H->Set.SquelchLow(), 300);
    EXPECT_EQ(H->Set.SquelchHigh(), 900);
    EXPECT_EQ(H->Set.SquelchIndex(), 5);
    EXPECT_EQ(H->Set.SendTimeLimit(), 120);
    EXPECT_EQ(H->Set.ProjectNr(), 2);
    EXPECT_EQ(H->Set.NFLevel(), 21);
    EXPECT_EQ(H->Set.SerialNumber(), 654321);
    EXPECT_EQ(H->Set.Modulation(), 3);
    EXPECT_TRUE(H->Set.FFSKFilterActive());
    EXPECT_TRUE(H->Errors.empty()) << H->Errors.front();
}

TEST_F(RadioEndToEnd, TableWriteOfAll32Slots)
{
    Ready();
    Lines expected{"radiotalk-on\n"};
    for (int slot = 0; slot < 32; ++slot) {
        const std::string line = SlotWriteLine(slot, RuvoLastChannel - slot * 7, slot * 43, 5 - slot % 5);
        expected.push_back(line);
        H->Transport.QueueRadio(line);
    }
    expected.push_back("radiotalk-off\n");
    ASSERT_TRUE(WaitIdle(8000));

    EXPECT_EQ(H->Module.Log(), expected);
    EXPECT_EQ(H->Module.LinesWhileAnswering(), 0u) << "one line in flight";
    const auto moduleSlots = H->Module.Slots();
    for (int slot = 0; slot < 32; ++slot) {
        const TRadioSlot want{slot * 43, RuvoLastChannel - slot * 7, 5 - slot % 5};
        EXPECT_EQ(moduleSlots[static_cast<std::size_t>(slot)], want) << slot;
    }
    EXPECT_FALSE(H->Module.RadioTalk());
    EXPECT_EQ(H->View.Steps, 32) << "one step per line";
    EXPECT_TRUE(H->Errors.empty()) << H->Errors.front();
}

TEST_F(RadioEndToEnd, TracesAndSendFunctions)
{
    Ready();
    for (const std::string& l : {RuvoGPSTraceOn, RuvoIBISTraceOn, TestToneLine(12, 3, true),
                                 FFSKSendLine("00 00 00 00 00 00 06 91", 0), TestToneLine(12, 3, false)})
        H->Transport.QueueDevice(l);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(H->Module.TestTones(), (std::vector<TRadioTestTone>{{12, 3, true}, {12, 3, false}}));
    ASSERT_EQ(H->Module.Telegrams().size(), 1u);
    EXPECT_EQ(H->Module.Telegrams()[0].Bytes, (std::vector<std::uint8_t>{0, 0, 0, 0, 0, 0, 6, 0x91}));

    ASSERT_TRUE(H->Module.SendGPSLine("$GPRMC,123519,A"));
    ASSERT_TRUE(H->Module.SendIBISLine("wagen 7"));
    EXPECT_FALSE(H->Module.SendTerminalLine("aus")) << "the terminal trace is off";
    ASSERT_TRUE(TRuvoHarness::RunUntil([&] { return H->View.Lines.size() >= 2; }, 3000));
    EXPECT_EQ(H->View.Lines, (std::vector<std::pair<TRuvoMonitor, std::string>>{
                                 {TRuvoMonitor::GPS, " $GPRMC,123519,A"}, {TRuvoMonitor::IBIS, " WAGEN 7"}}));
    EXPECT_TRUE(H->Errors.empty()) << H->Errors.front();
}

TEST_F(RadioEndToEnd, BrokenAndOutOfRangeRepliesAreReportedAndLoseNothing)
{
    Ready();
    TRuvoParameter before;
    before.Assign(H->Set);

    // Broken hex in the report: an error, the queue goes on.
    H->Module.SetMalformed(true);
    for (const std::string& l : {RuvoReportParam, RuvoRadioTraceOn})
        H->Transport.QueueDevice(l);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(H->Module.Log(), (Lines{".PARAM\n", "1 rt\n"}));
    ASSERT_EQ(H->Errors.size(), 1u);
    EXPECT_EQ(H->Errors[0].rfind("HexToInt: Invalid character in Hex string: X", 0), 0u) << H->Errors[0];

    // A broken slot telegram leaves its slot; the others are read.
    H->Errors.clear();
    H->Module.SetSlot(1, {7, 8, 2});
    H->Transport.QueueRadio(RuvoSlotPoll);
    ASSERT_TRUE(WaitIdle());
    ASSERT_EQ(H->Errors.size(), 1u);
    EXPECT_EQ(H->Errors[0].rfind("Invalid syntax of radio-channel-telegram", 0), 0u) << H->Errors[0];
    EXPECT_TRUE(*H->Set.GetSlot(0) == *before.GetSlot(0));
    EXPECT_EQ(H->Set.GetSlot(1)->Receive(), 7);

    // Out of range: an unknown project is warned about, a power index that
    // does not exist is refused.
    H->Errors.clear();
    H->Module.SetMalformed(false);
    H->Module.SetOutOfRange(true);
    H->Transport.QueueDevice(RuvoReportParam);
    H->Transport.QueueRadio(RuvoSlotPoll);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(H->Set.ProjectNr(), 7);
    ASSERT_EQ(H->View.Warnings.size(), 1u);
    EXPECT_NE(H->View.Warnings[0].find("(7)"), std::string::npos);
    ASSERT_EQ(H->Errors.size(), 1u);
    EXPECT_NE(H->Errors[0].find("Sendeleistung 9 für Slot 0"), std::string::npos) << H->Errors[0];
    EXPECT_TRUE(*H->Set.GetSlot(0) == *before.GetSlot(0));
}

TEST_F(RadioEndToEnd, ASilentModuleIsGivenUpAndReported)
{
    Ready();
    H->Module.SetSilent(true);
    H->Transport.QueueDevice(StoreLine(TRuvoStore::NFLevel, 4));
    H->Transport.QueueDevice(RuvoFlashParam);
    ASSERT_TRUE(TRuvoHarness::RunUntil([&] { return !H->Errors.empty(); }, 15000));
    EXPECT_EQ(H->Errors[0],
              "TfParameterForm: The device did not answer \"0004 PARAM-NFLEVEL !\"; it and 1 further lines were dropped.");
    EXPECT_EQ(H->Module.Log(), Lines{"0004 PARAM-NFLEVEL !\n"});

    // It speaks again: the next line goes out at once.
    H->Module.SetSilent(false);
    H->Transport.QueueDevice(RuvoFlashParam);
    ASSERT_TRUE(WaitIdle());
    EXPECT_EQ(H->Module.Log().back(), "FLASH-PARAM\n");
}

// A module that answers every line, but not with its answer (a device line
// with the radio's "#r OK", a radio line with the device's "OK."), or that
// refuses every line. A write of the person's is one action: the first line
// that goes unanswered is told once and what waits behind it is dropped
// with it. A refusal ("Huh?", "#r ERROR") is an answer: the queues go on, the
// module keeps what it had, and the write is told as refused, once.
TEST_F(RadioEndToEnd, AModuleThatAnswersWronglyOrRefusesLosesNothingOfTheProgram)
{
    Ready();
    const TRadioParams before = H->Module.Params();
    TRuvoParameter set;
    set.SetNFLevel(4);
    set.SetSquelchLow(1);
    set.SetSquelchHigh(2);
    struct Case {
        const char* What;
        void (TRadioModule::*Mode)(bool);
        bool Table;         // a slot goes too
        std::size_t Logged; // lines the module saw of the write
        std::size_t Errors;
        const char* Says; // in the error
    };
    const std::size_t lines = ParameterWriteLines(set).size();
    // (A wrong answer to a radio line would answer the device queue's line.)
    for (const Case& c : {Case{"wrong answers", &TRadioModule::SetWrongAnswers, false, 1, 1, " did not answer \""},
                          Case{"refusing", &TRadioModule::SetRefusing, true, lines + 1, 1, " refused \""}}) {
        SCOPED_TRACE(c.What);
        H->Module.ClearLog();
        H->Errors.clear();
        (H->Module.*c.Mode)(true);
        {
            TRuvoAction write(H->Transport);
            for (const std::string& line : ParameterWriteLines(set))
                H->Transport.QueueDevice(line);
            if (c.Table)
                H->Transport.QueueRadio(SlotWriteLine(0, 1, 2, 3));
        }
        ASSERT_TRUE(TRuvoHarness::RunUntil([&] { return H->Idle(); }, 20000)) << "the queues came to rest";
        TRuvoHarness::RunUntil([] { return false; }, 300);
        ASSERT_EQ(H->Errors.size(), c.Errors) << ::testing::PrintToString(H->Errors);
        EXPECT_NE(H->Errors[0].find(c.Says), std::string::npos) << H->Errors[0];
        const Lines log = H->Module.Log();
        // The radio link's own lines come and go beside the write.
        const auto own = [](const std::string& l) { return l == RuvoRadioTalkOn || l == RuvoRadioTalkOff; };
        const auto written = std::count_if(log.begin(), log.end(), [&](const std::string& l) { return !own(l); });
        EXPECT_EQ(static_cast<std::size_t>(written), c.Logged) << ::testing::PrintToString(log);
        EXPECT_EQ(H->Module.Params(), before) << "the module keeps its values";
        EXPECT_EQ(H->Module.Slots()[0], (TRadioSlot{100, 2000, 1}));
        // One line at a time on each queue; the two queues wait for their
        // answers apart, so a slot line may meet the answer to a device line.
        if (!c.Table) {
            EXPECT_EQ(H->Module.LinesWhileAnswering(), 0u) << "one line at a time";
        }
        (H->Module.*c.Mode)(false);
    }
    // It answers again: the next write goes through.
    H->Errors.clear();
    for (const std::string& line : ParameterWriteLines(set))
        H->Transport.QueueDevice(line);
    ASSERT_TRUE(WaitIdle(10000));
    EXPECT_TRUE(H->Errors.empty()) << H->Errors.front();
    EXPECT_EQ(H->Module.Params().NFLevel, 4);
}

TEST_F(RadioEndToEnd, TheModuleAnswersEveryCommandOfItsLanguage)
{
    Ready();
    struct Case {
        std::string Line;
        Lines Replies;
    };
    // In order: the radio link state carries from one line to the next.
    const Case cases[] = {
        {"0010 PARAM-NFLEVEL !\n", {"OK."}},
        {"0020 PARAM-NFLEVEL !\n", {"Huh?"}}, // beyond 31
        {"00G1 PARAM-NFLEVEL !\n", {"Huh?"}},
        {"0001 PARAM-VOLUME !\n", {"Huh?"}},
        {"00 00 00 01 rpc\n", {"Huh?"}}, // the radio link is closed
        {"radiotalk-on\n", {"OK."}},
        {"20 00 00 01 rpc\n", {"#r ERROR"}}, // slot 32
        {"01 00 00 06 rpc\n", {"#r ERROR"}}, // power 6
        {"01 9D6 578 05 rpc\n", {"#r OK"}},
        {"05 01 rc\n", {"#r OK"}},
        {"radiotalk-off\n", {"OK."}},
        {"0C 0F 01 TEST-TONE\n", {"OK."}},
        {"0C 10 01 TEST-TONE\n", {"Huh?"}}, // tone 16
        {"06 91 03 00 FFSK-SEND\n", {"Huh?"}}, // two bytes counted as three
        {"FLASH-PARAM\n", {"OK."}},
        {"FLASH-PARAM", {"Huh?"}}, // no line feed
        {"hallo\n", {"Huh?"}},
        {".PARAM\n",
         {"PARAM SQUELCH-LOW=DC SQUELCH-HIGH=2D0 SQUELCH-INDEX=3 AIR-LIMIT=5A PROJECT=1 NFLEVEL=10 SN=329D3 "
          "MODULATION=0 FFSK-FILTER=0",
          "OK."}},
    };
    Lines expected;
    for (const auto& c : cases) {
        ASSERT_TRUE(H->Transport.SendNow(c.Line)) << c.Line;
        expected.insert(expected.end(), c.Replies.begin(), c.Replies.end());
        ASSERT_TRUE(TRuvoHarness::RunUntil([&] { return H->Module.Replies().size() >= expected.size(); }, 3000))
            << c.Line;
    }
    // Replies leave in order, so a reply too many shows up as a mismatch.
    EXPECT_EQ(H->Module.Replies(), expected);
    EXPECT_EQ(H->Module.Flash().NFLevel, 16);
    EXPECT_EQ(H->Module.Slots()[1], (TRadioSlot{1400, 2518, 5}));
    EXPECT_EQ(H->Module.TestTones(), (std::vector<TRadioTestTone>{{12, 15, true}}));
    EXPECT_TRUE(H->Module.Telegrams().empty());
}

TEST_F(RadioEndToEnd, ASlowModuleIsWaitedForLineByLine)
{
    Ready();
    H->Module.SetReplyDelay(std::chrono::milliseconds(60));
    TRuvoParameter set;
    set.SetSquelchLow(100);
    set.SetSquelchHigh(200);
    const Lines lines = ParameterWriteLines(set);
    for (const auto& l : lines)
        H->Transport.QueueDevice(l);
    ASSERT_TRUE(WaitIdle(10000));

    EXPECT_EQ(H->Module.Log(), lines);
    EXPECT_EQ(H->Module.LinesWhileAnswering(), 0u) << "no line went out before the answer to the one before";
    EXPECT_EQ(H->Module.Flash().SquelchHigh, 200);
    EXPECT_TRUE(H->Errors.empty()) << H->Errors.front();
}

// The simulated module starts as a module set up for a customer: 32 slots of
// distinct frequencies in the band that the table shows and edits back to
// the same channels, a serial number and a known project.
TEST(SimulatedModule, StartsWithAPlausibleDevice)
{
    const TRadioModule::TSlots factory = TRadioModule::FactorySlots();
    std::set<std::int32_t> channels;
    for (const TRadioSlot& slot : factory) {
        for (const std::int32_t channel : {slot.Receive, slot.Transmit}) {
            EXPECT_GT(ChannelToFrequency(channel), 146.0f) << channel;
            EXPECT_EQ(FrequencyToChannel(ChannelToFrequency(channel)), channel);
            EXPECT_TRUE(channels.insert(channel).second) << channel;
        }
        EXPECT_TRUE(slot.Power >= 1 && slot.Power <= 5) << slot.Power;
    }
    const TRadioParams params;
    EXPECT_GT(params.SerialNumber, 0);
    EXPECT_TRUE(params.Project > 0 && params.Project < 3) << "an entry of the dialog's project list, not the default";
}

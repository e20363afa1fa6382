// The paced command queues against a fake link in virtual time: the bytes of
// every line, one line in flight per queue, the radio link framing, the
// mutex around every send, give-up after 200 ticks, send errors, a link that
// is missing or down, and the slot polling.
#include "platform/Exception.h"
#include "radioplugin/RuvoCommands.h"
#include "tests/radioplugin/RuvoTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

using Lines = std::vector<std::string>;

TEST(CommandLines, ExactBytes)
{
    struct Case {
        std::string Line, Expected;
    };
    const Case cases[] = {
        {StoreLine(TRuvoStore::SquelchLow, 220), "00DC PARAM-SQUELCH-LOW !\n"},
        {StoreLine(TRuvoStore::SquelchHigh, 1023), "03FF PARAM-SQUELCH-HIGH !\n"},
        {StoreLine(TRuvoStore::SquelchIndex, 0), "0000 PARAM-SQUELCH-INDEX !\n"},
        {StoreLine(TRuvoStore::AirLimit, 180), "00B4 PARAM-AIR-LIMIT !\n"},
        {StoreLine(TRuvoStore::Project, 2), "0002 PARAM-PROJECT !\n"},
        {StoreLine(TRuvoStore::NFLevel, 31), "001F PARAM-NFLEVEL !\n"},
        {StoreLine(TRuvoStore::SerialNumber, 123456), "1E240 PARAM-SN !\n"}, // more digits when needed
        {StoreLine(TRuvoStore::Modulation, 7), "0007 PARAM-MODULATION !\n"},
        {StoreLine(TRuvoStore::FFSKFilter, 1), "0001 PARAM-FFSK-FILTER !\n"},
        {StoreLine(TRuvoStore::SerialNumber, -1), "FFFFFFFF PARAM-SN !\n"},
        {SlotWriteLine(0, 0, 0, 1), "00 00 00 01 rpc\n"},
        {SlotWriteLine(31, 2518, 1400, 5), "1F 9D6 578 05 rpc\n"},
        {TerminalLine(0x0A, 300), "0A 12C RC\n"},
        {TerminalLine(4, 0), "04 00 RC\n"},
        {TestToneLine(12, 15, true), "0C 0F 01 TEST-TONE\n"},
        {TestToneLine(300, 0, false), "12C 00 00 TEST-TONE\n"},
        {FFSKSendLine("00 00 00 00 00 00 06 91", 0), "00 00 00 00 00 00 06 91 08 00 FFSK-SEND\n"},
        {FFSKSendLine("00 12 34", 12), "00 12 34 03 0C FFSK-SEND\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(c.Line, c.Expected);

    TRuvoParameter set;
    set.SetSquelchLow(220);
    set.SetSquelchHigh(720);
    set.SetSquelchIndex(3);
    set.SetSendTimeLimit(90);
    set.SetProjectNr(1);
    set.SetNFLevel(16);
    set.SetSerialNumber(4711);
    set.SetModulation(2);
    set.SetFFSKFilterActive(true);
    const Lines write = {"00DC PARAM-SQUELCH-LOW !\n", "02D0 PARAM-SQUELCH-HIGH !\n", "0003 PARAM-SQUELCH-INDEX !\n",
                         "005A PARAM-AIR-LIMIT !\n",   "0001 PARAM-PROJECT !\n",      "0010 PARAM-NFLEVEL !\n",
                         "1267 PARAM-SN !\n",          "0002 PARAM-MODULATION !\n",   "0001 PARAM-FFSK-FILTER !\n",
                         "FLASH-PARAM\n",              ".PARAM\n",                    "1 rt\n"};
    EXPECT_EQ(ParameterWriteLines(set), write);
    EXPECT_EQ(FilterSwitchLines(false), (Lines{"0000 PARAM-FFSK-FILTER !\n", "FLASH-PARAM\n", ".PARAM\n"}));
}

namespace {

class Queues : public RuvoFixture {
protected:
    void SetUp() override
    {
        RuvoFixture::SetUp();
        // Polling is watched by its own tests; here the slots are known.
        Transport->SetSlotTelegramSeen(true);
    }
    Lines Sent() const { return Link.Texts(); }
    static std::vector<std::string> DeviceOK(const std::string&) { return {"OK."}; }
};

} // namespace

TEST_F(Queues, DeviceQueueSendsOneLineAtATime)
{
    for (const char* l : {"A 1\n", "B 2\n", "C 3\n"})
        Transport->QueueDevice(l);
    EXPECT_TRUE(Sent().empty()) << "nothing goes out before the first tick";
    RunFor(20);
    EXPECT_EQ(Sent(), Lines{"A 1\n"});
    EXPECT_EQ(Transport->DeviceInFlight(), "A 1\n");
    RunFor(2000); // no answer: nothing more, whatever the time
    EXPECT_EQ(Sent(), Lines{"A 1\n"});
    EXPECT_EQ(Transport->DeviceWaitCount(), 100);

    Parser->HandleReply("OK.");
    RunFor(20);
    EXPECT_EQ(Sent(), (Lines{"A 1\n", "B 2\n"}));
    EXPECT_EQ(Transport->DeviceWaitCount(), 0);
    Parser->HandleReply("Huh?"); // refused: an answer too, and told
    RunFor(20);
    Parser->HandleReply("OK.");
    RunFor(20);
    EXPECT_EQ(Sent(), (Lines{"A 1\n", "B 2\n", "C 3\n"}));
    EXPECT_FALSE(Transport->DeviceSendTimer().Enabled()) << "drained: idle";
    EXPECT_TRUE(IsSignalled(Transport->DeviceReply()));
    EXPECT_EQ(Errors, Lines{"TfParameterForm: The device refused \"B 2\" with \"Huh?\"."});

    for (const TSent& s : Link.Sent) {
        EXPECT_TRUE(s.MutexHeld) << s.Text;
        EXPECT_EQ(s.Sender, Transport.get());
        EXPECT_EQ(s.Transfer, 0);
    }
    EXPECT_FALSE(MutexHeldElsewhere(MutexName)) << "released after every send";
    EXPECT_GE(View.Processed, 3);
}

TEST_F(Queues, AMutexTheHostHoldsIsTakenAndGivenBackOnce)
{
    // The host owns its mutex in the GUI thread for the whole run; the
    // transport, in the same thread, takes it again for every send and gives
    // back only its own hold.
    ASSERT_EQ(WaitForSingleObject(Mutex, 0), WAIT_OBJECT_0);
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        return {line.find("rpc") != std::string::npos ? "#r OK" : "OK."};
    });
    Transport->QueueDevice("A\n");
    Transport->QueueDevice("B\n");
    Transport->QueueRadio("00 00 00 01 rpc\n");
    RunFor(200);
    EXPECT_EQ(Link.Sent.size(), 5u) << "radiotalk-on, A, B, the radio line, radiotalk-off";
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(MutexHeldElsewhere(MutexName)) << "the host's own hold is left as it was";
    ASSERT_TRUE(ReleaseMutex(Mutex));
    EXPECT_FALSE(MutexHeldElsewhere(MutexName)) << "no hold of the transport is left over";
}

TEST_F(Queues, TheSenderIsTheOwnerWhenSet)
{
    TObject dialog;
    Transport->SetSender(&dialog);
    Transport->QueueDevice("A\n");
    RunFor(20);
    ASSERT_EQ(Link.Sent.size(), 1u);
    EXPECT_EQ(Link.Sent[0].Sender, &dialog);
}

TEST_F(Queues, AnEmptyLineIsSkippedWithoutWaiting)
{
    AnswerWith(DeviceOK);
    Transport->QueueDevice("");
    Transport->QueueDevice("A\n");
    RunFor(20);
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(IsSignalled(Transport->DeviceReply()));
    RunFor(20);
    EXPECT_EQ(Sent(), Lines{"A\n"});
}

TEST_F(Queues, RadioQueueOpensAndClosesTheRadioLink)
{
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        return line.find("rpc") != std::string::npos ? std::vector<std::string>{"#r OK"}
                                                     : std::vector<std::string>{"OK."};
    });
    Transport->QueueRadio("00 01 02 01 rpc\n");
    EXPECT_EQ(Sent(), Lines{"radiotalk-on\n"}) << "sent at once, outside the queue";
    Transport->QueueRadio("01 01 02 01 rpc\n");
    Transport->QueueRadio("02 01 02 01 rpc\n");
    RunUntil([&] { return !Transport->RadioSendTimer().Enabled() && !Transport->DeviceSendTimer().Enabled(); }, 2000);
    EXPECT_EQ(Sent(), (Lines{"radiotalk-on\n", "00 01 02 01 rpc\n", "01 01 02 01 rpc\n", "02 01 02 01 rpc\n",
                             "radiotalk-off\n"}));
    EXPECT_EQ(View.Steps, 3);
    EXPECT_EQ(View.Hides, 1);
    EXPECT_TRUE(Errors.empty());

    // Both queues have a line in flight at the same time, one each.
    Link.OnSend = nullptr;
    Link.Sent.clear();
    Transport->QueueRadio("03 00 00 01 rpc\n");
    Transport->QueueRadio("04 00 00 01 rpc\n");
    Transport->QueueDevice("A\n");
    Transport->QueueDevice("B\n");
    RunFor(200);
    EXPECT_EQ(Sent(), (Lines{"radiotalk-on\n", "A\n", "03 00 00 01 rpc\n"}));
}

TEST_F(Queues, ASilentModuleIsGivenUpAfter200TicksAndTheLostLineNamed)
{
    for (const char* l : {"A\n", "B\n", "C\n"})
        Transport->QueueDevice(l);
    RunFor(20); // sends A
    RunFor(199 * 20);
    EXPECT_TRUE(Errors.empty());
    EXPECT_EQ(Transport->DeviceQueue().size(), 2u);
    RunFor(20);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "TfParameterForm: The device did not answer \"A\"; it and 2 further lines were dropped.");
    EXPECT_TRUE(Transport->DeviceQueue().empty());
    EXPECT_FALSE(Transport->DeviceSendTimer().Enabled());
    EXPECT_TRUE(IsSignalled(Transport->DeviceReply()));
    EXPECT_EQ(Sent(), Lines{"A\n"});

    // The next line starts afresh.
    Transport->QueueDevice("D\n");
    RunFor(20);
    EXPECT_EQ(Sent(), (Lines{"A\n", "D\n"}));
    EXPECT_EQ(Transport->DeviceWaitCount(), 0);
}

TEST_F(Queues, ASilentRadioIsGivenUpAndTheRadioLinkClosed)
{
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        return line.find("radiotalk") != std::string::npos ? std::vector<std::string>{"OK."}
                                                           : std::vector<std::string>{};
    });
    Transport->QueueRadio("05 01 02 01 rpc\n");
    Transport->QueueRadio("06 01 02 01 rpc\n");
    RunFor(201 * 20 + 40);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0], "TfParameterForm: The radio did not answer \"05 01 02 01 rpc\"; it and 1 further lines were "
                         "dropped.");
    EXPECT_EQ(Sent(), (Lines{"radiotalk-on\n", "05 01 02 01 rpc\n", "radiotalk-off\n"}));
    EXPECT_EQ(View.Hides, 1);
    EXPECT_TRUE(Transport->RadioQueue().empty());
    EXPECT_TRUE(IsSignalled(Transport->RadioReply()));
}

// A line that cannot be sent is lost, and the lines its action has waiting
// behind it in that queue go with it; the action is told once. Nothing waits
// for the lost line: the queue goes on at once with the next action's lines.
// So a link that refuses every line costs one report per action, not one
// per queued line.
TEST_F(Queues, ASendErrorLosesTheLineWithItsActionAndTheQueueGoesOn)
{
    AnswerWith(DeviceOK);
    // Another thread holds the mutex while the first line is due.
    std::promise<void> taken, release;
    std::thread holder([&] {
        const HANDLE m = OpenMutex(MutexName);
        WaitForSingleObject(m, INFINITE);
        taken.set_value();
        release.get_future().wait();
        ReleaseMutex(m);
        CloseHandle(m);
    });
    taken.get_future().wait();
    {
        TRuvoAction write(*Transport);
        Transport->QueueDevice("A\n");
        Transport->QueueDevice("B\n");
    }
    Transport->QueueDevice("C\n"); // an action of its own
    RunFor(20);
    release.set_value();
    holder.join();
    ASSERT_EQ(Errors, Lines{"ExtendedDLL: Timeout while waiting to send a message"});
    EXPECT_TRUE(Sent().empty());
    EXPECT_TRUE(IsSignalled(Transport->DeviceReply())) << "nothing waits for the lost line";
    EXPECT_TRUE(Transport->DeviceInFlight().empty());
    EXPECT_EQ(Transport->DeviceQueue(), std::deque<std::string>{"C\n"}) << "B went with A";
    EXPECT_TRUE(Transport->DeviceSendTimer().Enabled());
    RunFor(20);
    EXPECT_EQ(Sent(), Lines{"C\n"});
    RunFor(60000);
    EXPECT_EQ(Errors.size(), 1u);

    // A mutex that cannot be opened, and a link that refuses the line, are
    // send errors too.
    struct Case {
        const char* What;
        std::function<void()> Break, Mend;
        const char* Error;
    };
    const Case cases[] = {
        {"no mutex", [&] { Transport->SetMutexName("Global\\{no-such-mutex}"); },
         [&] { Transport->SetMutexName(MutexName); }, "ExtendedDLL: Could not open the communication mutex."},
        {"refused", [&] { Link.Accept = false, Link.OnSend = nullptr; },
         [&] { Link.Accept = true, AnswerWith(DeviceOK); },
         "ExtendedDLL: The link did not take the message."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Errors.clear();
        Link.Sent.clear();
        c.Break();
        {
            TRuvoAction write(*Transport);
            for (const char* l : {"E\n", "F\n", "G\n"})
                Transport->QueueDevice(l);
        }
        RunFor(60000);
        c.Mend();
        ASSERT_EQ(Errors, Lines{c.Error});
        EXPECT_LE(Link.Sent.size(), 1u) << "one attempt for the action";
        EXPECT_TRUE(Transport->DeviceQueue().empty());
        EXPECT_TRUE(IsSignalled(Transport->DeviceReply()));
        Link.Sent.clear();
        Transport->QueueDevice("H\n");
        RunFor(40);
        EXPECT_EQ(Sent(), Lines{"H\n"}) << "the next line goes out at once";
        EXPECT_EQ(Errors.size(), 1u);
    }
}

// The lines the transport sends on its own (the slot polls and the radio
// link's "radiotalk-on" and "radiotalk-off") are given up and lost quietly:
// the polling asks again by itself. A module that keeps its link up but
// never answers a line costs no message until a line of the person's is
// lost.
TEST_F(RuvoFixture, TheTransportsOwnLinesFailQuietly)
{
    RunFor(60000); // silent: polls, radio link closed, polls again ...
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    const Lines sent = Link.Texts();
    EXPECT_GE(std::count(sent.begin(), sent.end(), RuvoSlotPoll), 10);
    EXPECT_GE(std::count(sent.begin(), sent.end(), RuvoRadioTalkOff), 10);
    // Each time the radio link is closed again (the last may be on its way).
    EXPECT_LE(std::count(sent.begin(), sent.end(), RuvoRadioTalkOn) -
                  std::count(sent.begin(), sent.end(), RuvoRadioTalkOff),
              1);

    // A link that refuses every line: the polls fail quietly as well.
    Link.Accept = false;
    RunFor(60000);
    EXPECT_TRUE(Errors.empty()) << Errors.front();

    // A line of the person's is told of, once.
    Link.Accept = true;
    Transport->SetSlotTelegramSeen(true);
    Transport->QueueDevice("A\n");
    Transport->QueueDevice("B\n");
    RunFor(60000);
    ASSERT_EQ(Errors.size(), 1u);
    EXPECT_EQ(Errors[0].rfind("TfParameterForm: ", 0), 0u) << Errors[0];
    EXPECT_NE(Errors[0].find("device"), std::string::npos) << Errors[0];
}

TEST_F(Queues, NothingIsSentWithoutALinkOrWhileItIsDown)
{
    for (const bool withLink : {false, true}) {
        Link.Sent.clear();
        Transport->SetCommunication(withLink ? &Link : nullptr);
        Link.IsConnected = false;
        Transport->QueueDevice("A\n");
        Transport->QueueRadio("00 00 00 01 rpc\n");
        RunFor(500);
        EXPECT_TRUE(Sent().empty());
        EXPECT_EQ(Transport->DeviceQueue().size(), 1u) << "the lines wait";
        EXPECT_EQ(Transport->RadioQueue().size(), 1u);
        EXPECT_FALSE(Transport->DeviceSendTimer().Enabled());
        EXPECT_TRUE(Errors.empty());
        Transport->SetCommunication(&Link);
        Link.IsConnected = true;
        Transport->ConnectionChanged(false);
        Parser.reset();
        Make();
        Transport->SetSlotTelegramSeen(true);
    }

    // Lines kept across a break go out on the next connection, the radio
    // lines behind a fresh "radiotalk-on".
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        return {line.find("rpc") != std::string::npos ? "#r OK" : "OK."};
    });
    Link.IsConnected = false;
    Transport->QueueDevice("A\n");
    Transport->QueueRadio("00 00 00 01 rpc\n");
    RunFor(100);
    Link.IsConnected = true;
    Transport->ConnectionChanged(true);
    Transport->SetSlotTelegramSeen(true);
    RunFor(1000);
    EXPECT_EQ(Sent(), (Lines{"radiotalk-on\n", "A\n", "00 00 00 01 rpc\n", "radiotalk-off\n"}));
}

TEST_F(Queues, ALineInFlightWhenTheLinkDropsIsSentAgain)
{
    Transport->QueueDevice("A\n");
    Transport->QueueDevice("B\n");
    RunFor(20);
    EXPECT_EQ(Sent(), Lines{"A\n"});
    Link.IsConnected = false;
    Transport->ConnectionChanged(false);
    EXPECT_EQ(Transport->DeviceQueue(), (std::deque<std::string>{"A\n", "B\n"}));
    EXPECT_TRUE(IsSignalled(Transport->DeviceReply()));
    RunFor(1000);
    Link.IsConnected = true;
    AnswerWith(DeviceOK);
    Transport->ConnectionChanged(true);
    Transport->SetSlotTelegramSeen(true);
    RunFor(100);
    // The radio queue, idle at the connection, closes the radio link once.
    EXPECT_EQ(Sent(), (Lines{"A\n", "A\n", "B\n", "radiotalk-off\n"}));
    EXPECT_TRUE(Errors.empty());
}

TEST_F(Queues, TimersFollowTheConnection)
{
    Transport->ConnectionChanged(false);
    EXPECT_FALSE(Transport->FrequencyPollingTimer().Enabled());
    EXPECT_FALSE(Transport->NextDue().has_value());
    Transport->ConnectionChanged(true);
    EXPECT_TRUE(Transport->FrequencyPollingTimer().Enabled());
    EXPECT_TRUE(Transport->DeviceSendTimer().Enabled());
    EXPECT_FALSE(Transport->SlotTelegramSeen());
    // An idle radio queue at a connection closes the radio link once.
    Transport->SetSlotTelegramSeen(true);
    AnswerWith(DeviceOK);
    RunFor(200);
    EXPECT_EQ(Sent(), Lines{"radiotalk-off\n"});
}

TEST_F(RuvoFixture, SlotPollingUntilTheFirstTelegram)
{
    RunFor(999);
    EXPECT_TRUE(Link.Sent.empty());
    RunFor(1);
    EXPECT_EQ(Link.Texts(), Lines{"radiotalk-on\n"});
    RunFor(20);
    EXPECT_EQ(Link.Texts(), (Lines{"radiotalk-on\n", "04 00 rc\n"}));
    // Unanswered, it is not asked again while the poll waits.
    RunFor(3000);
    EXPECT_EQ(Link.Texts().size(), 2u);
    const auto polls = [&] {
        const auto t = Link.Texts();
        return std::count(t.begin(), t.end(), std::string("04 00 rc\n"));
    };

    // Giving up on a poll alone is no error: the next poll, a second later,
    // finds the module answering, and the polling ends.
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        if (line == "04 00 rc\n")
            return {"#r SPEICHER 0 EMPFANG: 1 SENDEN: 2 LEISTUNG: 3", "#r OK"};
        return {"OK."};
    });
    RunFor(3000);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
    EXPECT_TRUE(Transport->SlotTelegramSeen());
    EXPECT_EQ(polls(), 2);
    RunFor(10000);
    EXPECT_EQ(polls(), 2);
    const auto count = polls();
    EXPECT_EQ(Set.GetSlot(0)->Power(), 3);
    EXPECT_EQ(Link.Texts().back(), "radiotalk-off\n");

    // A connection change starts it again; a link that is down is not polled.
    Transport->ConnectionChanged(true);
    RunFor(1100);
    EXPECT_EQ(polls(), count + 1);
    Link.IsConnected = false;
    RunFor(5000);
    EXPECT_EQ(polls(), count + 1);
}

// While no slot telegram has come the slots are asked for once a second:
// a module that answers the poll without its slots is asked every second,
// one that keeps silent is not asked again while the poll waits, so polls
// never pile up in the radio queue behind an unanswered one.
TEST_F(RuvoFixture, SlotPollingAsksOnceASecond)
{
    const auto polls = [&] {
        const auto t = Link.Texts();
        return std::count(t.begin(), t.end(), std::string("04 00 rc\n"));
    };
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        return {line == "04 00 rc\n" ? "#r OK" : "OK."};
    });
    RunFor(10030);
    EXPECT_EQ(polls(), 10); // 20 ms after 1 s, 2 s ... 10 s
    EXPECT_TRUE(Errors.empty());
    // Silent to the poll (the device part still answers).
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        return line == "04 00 rc\n" ? std::vector<std::string>{} : std::vector<std::string>{"OK."};
    });
    for (int second = 0; second < 10; ++second) {
        RunFor(1000);
        EXPECT_LE(Transport->RadioQueue().size(), 1u) << "second " << second;
    }
    // Asked again only a second after the queue gave up on the poll (200
    // ticks of 20 ms): at 15 s and 20 s.
    EXPECT_EQ(polls(), 12);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

namespace {

// A module as the polling meets it: the slot poll answered with 32 slot
// telegrams and "#r OK", a slot write with "#r OK", a device line with "OK.".
std::vector<std::string> AnswersOfAModule(const std::string& line)
{
    if (line == RuvoSlotPoll) {
        std::vector<std::string> replies;
        for (int slot = 0; slot < 32; ++slot)
            replies.push_back("#r SPEICHER " + std::to_string(slot) + " EMPFANG: " + std::to_string(100 + slot) +
                              " SENDEN: " + std::to_string(1400 + slot) + " LEISTUNG: " + std::to_string(1 + slot % 5));
        replies.push_back("#r OK");
        return replies;
    }
    if (line.ends_with(" rpc\n"))
        return {"#r OK"};
    return {"OK."};
}

} // namespace

// A link that refuses lines for a moment after the connection (its SendText
// returns 0), whether the refusal meets the line that opens the radio link,
// the poll itself, or several polls: once it takes lines again, a poll goes
// out within 2 s, the table fills, and a table write right after goes
// through whole. The refused lines are the transport's own: no report.
TEST_F(RuvoFixture, ALinkThatRefusesLinesForAMomentIsPolledAgainAtOnce)
{
    struct Case {
        const char* What;
        std::int64_t From, To; // ms after the connection
    };
    const Case cases[] = {
        {"the radio link's opening", 700, 1400},
        {"the poll", 1010, 1400},
        {"several polls", 700, 5300},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.What);
        Make();
        Errors.clear();
        Link.Sent.clear();
        Set.Assign(TRuvoParameter());
        const std::int64_t connected = Now;
        Transport->ConnectionChanged(true);
        std::vector<std::int64_t> polls; // when a poll was taken
        std::vector<std::string> taken;
        Link.OnSend = [&](const std::string& line) {
            const std::int64_t t = Now - connected;
            Link.Accept = t < c.From || t >= c.To;
            if (!Link.Accept)
                return;
            taken.push_back(line);
            if (line == RuvoSlotPoll)
                polls.push_back(t);
            for (const std::string& a : AnswersOfAModule(line))
                Pending.push_back(a);
        };
        ASSERT_TRUE(RunUntil([&] { return Transport->SlotTelegramSeen(); }, c.To + 4000));
        ASSERT_FALSE(polls.empty());
        EXPECT_GE(polls.front(), c.To);
        EXPECT_LE(polls.front(), c.To + 2000) << "the first poll after the refusal";
        RunFor(200);
        for (int slot = 0; slot < 32; ++slot) {
            EXPECT_EQ(Set.GetSlot(slot)->Receive(), 100 + slot);
            EXPECT_EQ(Set.GetSlot(slot)->Transmit(), 1400 + slot);
        }
        EXPECT_TRUE(Errors.empty()) << Errors.front();

        // A table write right after: every line goes out and is answered.
        taken.clear();
        std::vector<bool> done;
        {
            TRuvoAction write(*Transport);
            for (int slot = 0; slot < 32; ++slot)
                Transport->QueueRadio(SlotWriteLine(slot, 1400, slot, 2));
            Transport->WhenActionDone([&](bool ok) { done.push_back(ok); });
        }
        RunFor(3000);
        EXPECT_EQ(std::count_if(taken.begin(), taken.end(), [](const std::string& l) { return l.ends_with(" rpc\n"); }),
                  32);
        EXPECT_EQ(done, std::vector<bool>{true});
        EXPECT_TRUE(Errors.empty()) << Errors.front();
    }
}

// A handler the person sets off while a write of theirs lets the window pass
// run (a key, a click): the slot poll due then opens the radio link, and the
// handler runs in that send's own window pass. It is an action of its own,
// and the write keeps its lines: when the module stays silent, their loss is
// told, once, whether the handler queued a line of its own or none.
TEST_F(RuvoFixture, AnActionInThePollsWindowPassLeavesTheWriteItsLines)
{
    struct Case {
        bool NestedLine;
        const char* Error;
    };
    const Case cases[] = {
        {false, "TfParameterForm: The device did not answer \"A\"; it and 1 further lines were dropped."},
        {true, "TfParameterForm: The device did not answer \"N\"; it and 2 further lines were dropped."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.NestedLine ? "with a line of its own" : "without lines");
        Make();
        Errors.clear();
        Link.Sent.clear();
        bool nested = false;
        View.OnProcessMessages = [&] {
            const Lines sent = Link.Texts();
            if (nested || sent.empty() || sent.back() != RuvoRadioTalkOn)
                return;
            nested = true;
            TRuvoAction other(*Transport);
            if (c.NestedLine)
                Transport->QueueDevice("N\n");
        };
        {
            TRuvoAction write(*Transport);
            RunFor(1000); // the write's window pass: the poll is due
            ASSERT_TRUE(nested);
            Transport->QueueDevice("A\n");
            Transport->QueueDevice("B\n");
        }
        View.OnProcessMessages = nullptr;
        RunFor(20000);
        EXPECT_EQ(Errors, Lines{c.Error});
    }
}

// A refusal ("Huh?" to a device line, "#r ... ERROR" to a radio line) is an
// answer: the queue goes on with the next line as after any answer, and the
// module sees every line of the write. It is told once for the action,
// naming the line and what the module said, and the action is not done
// well; the transport's own lines are refused quietly.
TEST_F(Queues, ARefusedLineIsToldOnceForItsActionAndTheQueueGoesOn)
{
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        if (line.ends_with(" rpc\n"))
            return {"#r ERROR"};
        if (line.starts_with("bad") || line == RuvoRadioTalkOn)
            return {"Huh?"};
        return {"OK."};
    });
    std::vector<bool> done;
    {
        TRuvoAction write(*Transport);
        for (const char* l : {"bad 1\n", "good\n", "bad 2\n"})
            Transport->QueueDevice(l);
        Transport->QueueRadio(SlotWriteLine(0, 1, 2, 3));
        Transport->QueueRadio(SlotWriteLine(1, 1, 2, 3));
        Transport->WhenActionDone([&](bool ok) { done.push_back(ok); });
    }
    RunFor(1000);
    EXPECT_EQ(Errors, Lines{"TfParameterForm: The device refused \"bad 1\" with \"Huh?\"."});
    EXPECT_EQ(done, std::vector<bool>{false});
    Lines device, radio;
    for (const std::string& l : Sent())
        (l.ends_with(" rpc\n") ? radio : device).push_back(l);
    EXPECT_EQ(device, (Lines{"radiotalk-on\n", "bad 1\n", "good\n", "bad 2\n", "radiotalk-off\n"}));
    EXPECT_EQ(radio, (Lines{"00 01 02 03 rpc\n", "01 01 02 03 rpc\n"}));
    EXPECT_TRUE(Transport->DeviceQueue().empty());
    EXPECT_TRUE(Transport->RadioQueue().empty());

    // The radio's refusal, told for an action of its own.
    Errors.clear();
    done.clear();
    {
        TRuvoAction write(*Transport);
        Transport->QueueRadio(SlotWriteLine(2, 1, 2, 3));
        Transport->QueueDevice("good\n");
        Transport->WhenActionDone([&](bool ok) { done.push_back(ok); });
    }
    RunFor(1000);
    EXPECT_EQ(Errors, Lines{"TfParameterForm: The radio refused \"02 01 02 03 rpc\" with \"#r ERROR\"."});
    EXPECT_EQ(done, std::vector<bool>{false});

    // Taken whole: done well, nothing told.
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        return {line.ends_with(" rpc\n") ? "#r OK" : "OK."};
    });
    Errors.clear();
    done.clear();
    {
        TRuvoAction write(*Transport);
        Transport->QueueRadio(SlotWriteLine(3, 1, 2, 3));
        Transport->QueueDevice("good\n");
        Transport->WhenActionDone([&](bool ok) { done.push_back(ok); });
        RunFor(1000);
        EXPECT_TRUE(done.empty()) << "not while the action is still open";
    }
    RunFor(20);
    EXPECT_EQ(done, std::vector<bool>{true});
    EXPECT_TRUE(Errors.empty()) << Errors.front();

    // The slot poll refused: quiet, and asked again a second later.
    AnswerWith([](const std::string& line) -> std::vector<std::string> {
        return {line == RuvoSlotPoll ? "#r ERROR" : "OK."};
    });
    Link.Sent.clear();
    Transport->SetSlotTelegramSeen(false);
    RunFor(5000);
    const Lines sent = Sent();
    EXPECT_GE(std::count(sent.begin(), sent.end(), RuvoSlotPoll), 4);
    EXPECT_TRUE(Errors.empty()) << Errors.front();
}

TEST(TransportEvents, AnEventNameTakenByAMutexFailsTheCreation)
{
    struct Case {
        const char* Taken;
        const char* Error;
    };
    const Case cases[] = {
        {"RadioReply", "TfParameterForm: Error creating event \"RadioReply\""},
        {"DeviceReply", "TfParameterForm: Error creating event \"FEventDeviceResponseReceived\""},
    };
    for (const auto& c : cases) {
        const HANDLE squatter = CreateMutex(false, c.Taken);
        TRuvoView view;
        try {
            TRuvoTransport t(nullptr, "", view);
            ADD_FAILURE() << c.Taken;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message(), c.Error);
        }
        CloseHandle(squatter);
        EXPECT_EQ(OpenEvent("RadioReply"), 0u) << "no event is left behind";
    }
    // The events are named manual-reset events, created signalled.
    TRuvoView view;
    TRuvoTransport t(nullptr, "", view);
    const HANDLE device = OpenEvent("DeviceReply");
    ASSERT_NE(device, 0u);
    EXPECT_TRUE(IsSignalled(device));
    EXPECT_TRUE(IsSignalled(device));
    CloseHandle(device);
}

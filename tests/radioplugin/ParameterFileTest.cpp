// The parameter set and its XML file: the bytes a save writes, what a load
// takes and refuses, and that neither a failed save nor a refused load loses
// what was there.
#include "platform/Exception.h"
#include "radioplugin/RuvoParameter.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <csignal>

namespace {

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void WriteFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// A set with a distinct value in every field and slot.
void FillSample(TRuvoParameter& p)
{
    p.SetSquelchLow(220);
    p.SetSquelchHigh(720);
    p.SetSquelchIndex(3);
    p.SetNFLevel(16);
    p.SetSendTimeLimit(90);
    p.SetProjectNr(1);
    p.SetModulation(2);
    p.SetFFSKFilterActive(true);
    p.SetSerialNumber(4711);
    for (int i = 0; i < TRuvoParameter::SlotCount; ++i) {
        p.GetSlot(i)->SetReceive(i * 70);
        p.GetSlot(i)->SetTransmit(2518 - i * 50);
        p.GetSlot(i)->SetPower(1 + i % 5);
    }
}

class ParameterFile : public testing::Test {
protected:
    std::string Path(const char* name) const { return Dir.filePath(name).toStdString(); }
    QTemporaryDir Dir;
};

// Loads a file made of `body` inside <Root> into a set that starts as `start`.
struct TLoaded {
    bool Refused = false;
    std::string Error;
};
TLoaded LoadBody(const std::string& path, const std::string& body, TRuvoParameter& set)
{
    WriteFile(path, "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<Root>" + body + "</Root>\n");
    TLoaded result;
    try {
        set.LoadFromXML(path);
    } catch (const Exception& e) {
        result.Refused = true;
        result.Error = e.Message();
    }
    return result;
}

} // namespace

TEST(ParameterSet, StartsAtZeroWithNumberedSlots)
{
    TRuvoParameter p;
    EXPECT_EQ(p.SquelchLow(), 0);
    EXPECT_FALSE(p.FFSKFilterActive());
    for (int i = 0; i < TRuvoParameter::SlotCount; ++i) {
        ASSERT_NE(p.GetSlot(i), nullptr);
        EXPECT_EQ(p.GetSlot(i)->Number(), i);
        EXPECT_EQ(p.GetSlot(i)->Power(), 0);
    }
    EXPECT_EQ(p.GetSlot(-1), nullptr);
    EXPECT_EQ(p.GetSlot(32), nullptr);

    TRuvoParameter q;
    FillSample(q);
    p.Assign(q);
    EXPECT_TRUE(p == q);
    EXPECT_FLOAT_EQ(p.GetSlot(1)->GetReceiveFrequency(), 147.41f);
}

TEST_F(ParameterFile, SaveWritesTheExpectedBytes)
{
    TRuvoParameter p;
    FillSample(p);
    const std::string path = Path("set.XML");
    p.SaveToXML(path, 2026);

    std::string expected =
        "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n"
        "<!--Ruvo (analog radio modul) configuration file-->\n"
        "<!--Alle Rechte vorbehalten. Weitergabe und Vervielf\xE4ltigung nur mit schriftlicher Genehmigung.-->\n"
        "<!--\xA9 2007-2026 Zorvatek-->\n"
        "<Root>\n"
        "  <Parameter squelchlow=\"220\" squelchhigh=\"720\" squelchindex=\"3\" nflevel=\"16\" sendtimelimit=\"90\" "
        "projectnr=\"1\" modulation=\"2\" ffskfilteractive=\"-1\" />\n"
        "  <Frequencies>\n";
    for (int i = 0; i < 32; ++i)
        expected += "    <Slot number=\"" + std::to_string(i) + "\" receive=\"" + std::to_string(i * 70) +
                    "\" transmit=\"" + std::to_string(2518 - i * 50) + "\" power=\"" + std::to_string(1 + i % 5) +
                    "\" />\n";
    expected += "  </Frequencies>\n</Root>\n";
    EXPECT_EQ(ReadFile(path), expected);
}

TEST_F(ParameterFile, SaveAndLoadGiveTheSameSetButTheSerialNumber)
{
    TRuvoParameter saved;
    FillSample(saved);
    const std::string path = Path("round.XML");
    saved.SaveToXML(path);

    TRuvoParameter loaded;
    loaded.SetSerialNumber(99);
    loaded.LoadFromXML(path);
    EXPECT_EQ(loaded.SerialNumber(), 99);
    loaded.SetSerialNumber(saved.SerialNumber());
    EXPECT_TRUE(loaded == saved);

    // The filter flag "off" goes through the file as well.
    saved.SetFFSKFilterActive(false);
    saved.SaveToXML(path);
    loaded.LoadFromXML(path);
    EXPECT_FALSE(loaded.FFSKFilterActive());
}

TEST_F(ParameterFile, ParameterAttributes)
{
    struct Case {
        const char* Attributes;
        std::int32_t NFLevel; // from 16
        bool Filter;          // from true
        bool Refused;
    };
    const Case cases[] = {
        {"", 16, true, false},                               // nothing named: all stays
        {"nflevel=\"7\"", 7, true, false},                   //
        {"nflevel=\"-1\"", 16, true, false},                 // -1 means "not given"
        {"nflevel=\"abc\"", 16, true, false},                // not a number: not given
        {"nflevel=\"7.5\"", 16, true, false},                //
        {"nflevel=\" 7\"", 16, true, false},                 //
        {"nflevel=\"99999999999\"", 16, true, false},        // beyond 32 bits
        {"nflevel=\"32\"", 32, true, false},                 // as it stands: the spin edit clamps it
        {"nflevel=\"-2\"", -2, true, false},                 //
        {"NFLevel=\"7\"", 16, true, false},                  // names are exact
        {"ffskfilteractive=\"0\"", 16, false, false},        //
        {"ffskfilteractive=\"1\"", 16, true, false},         // 1 leaves the flag
        {"ffskfilteractive=\"-1\"", 16, true, false},        //
        {"ffskfilteractive=\"x\"", 16, true, false},         //
        {"nflevel=\"3\" ffskfilteractive=\"0\" squelchindex=\"131071\"", 3, false, false}, // beyond 4 digits
    };
    for (const auto& c : cases) {
        TRuvoParameter set;
        FillSample(set);
        TRuvoParameter before;
        before.Assign(set);
        const auto r = LoadBody(Path("p.XML"), std::string("<Parameter ") + c.Attributes + "/>", set);
        EXPECT_EQ(r.Refused, c.Refused) << c.Attributes << ": " << r.Error;
        EXPECT_EQ(set.NFLevel(), c.NFLevel) << c.Attributes;
        EXPECT_EQ(set.FFSKFilterActive(), c.Filter) << c.Attributes;
        if (c.Refused) {
            EXPECT_TRUE(set == before) << c.Attributes;
            EXPECT_NE(r.Error.find("out of range"), std::string::npos) << r.Error;
        }
    }

    // The filter is switched on by any value but 0 and 1, from off.
    for (const char* on : {"-1", "2"}) {
        TRuvoParameter set;
        LoadBody(Path("f.XML"), std::string("<Parameter ffskfilteractive=\"") + on + "\"/>", set);
        EXPECT_TRUE(set.FFSKFilterActive()) << on;
    }
}

// Values the dialog shows in a spin edit load as they stand, whatever their
// size: the spin edit clamps them, and a write sends what it shows. The
// squelch index loads as it stands too: a set holds it as the module
// reported it, and what a set holds, its file gives back.
TEST_F(ParameterFile, RangesOfEveryField)
{
    struct Case {
        const char* Name;
        std::int32_t Max;
        bool Checked;
    };
    const Case cases[] = {{"squelchlow", 1023, false}, {"squelchhigh", 1023, false}, {"squelchindex", 65535, false},
                          {"nflevel", 31, false},      {"sendtimelimit", 180, false}, {"modulation", 7, false}};
    const auto field = [](const TRuvoParameter& set, const std::string& name) {
        return name == "squelchlow" ? set.SquelchLow() : name == "squelchhigh" ? set.SquelchHigh()
             : name == "squelchindex" ? set.SquelchIndex() : name == "nflevel" ? set.NFLevel()
             : name == "sendtimelimit" ? set.SendTimeLimit() : set.Modulation();
    };
    for (const auto& c : cases) {
        for (const std::int32_t value : {0, c.Max, c.Max + 1, -2}) {
            TRuvoParameter set;
            const auto r = LoadBody(Path("r.XML"),
                                    std::string("<Parameter ") + c.Name + "=\"" + std::to_string(value) + "\"/>", set);
            const bool refused = c.Checked && (value < 0 || value > c.Max);
            EXPECT_EQ(r.Refused, refused) << c.Name << "=" << value;
            EXPECT_EQ(field(set, c.Name), refused ? 0 : value) << c.Name << "=" << value;
            if (r.Refused) {
                EXPECT_NE(r.Error.find(c.Name), std::string::npos) << r.Error;
                EXPECT_NE(r.Error.find("out of range"), std::string::npos) << r.Error;
            }
        }
    }
    // The project number is an index the dialog checks; it is taken as it is.
    TRuvoParameter set;
    EXPECT_FALSE(LoadBody(Path("r.XML"), "<Parameter projectnr=\"7\"/>", set).Refused);
    EXPECT_EQ(set.ProjectNr(), 7);
}

TEST_F(ParameterFile, SlotElements)
{
    struct Case {
        const char* Element;
        int Slot; // the slot to look at
        std::int32_t Receive, Transmit, Power;
        bool Refused;
    };
    // Every slot starts with receive 5, transmit 6, power 2.
    const Case cases[] = {
        {"<Slot number=\"3\" receive=\"100\" transmit=\"2518\" power=\"5\"/>", 3, 100, 2518, 5, false},
        {"<Slot number=\"3\" receive=\"100\" transmit=\"200\"/>", 3, 100, 200, 1, false}, // no power: 1
        {"<Slot number=\"3\" receive=\"100\" transmit=\"200\" power=\"0\"/>", 3, 100, 200, 1, false},
        {"<Slot number=\"3\"/>", 3, 0, 0, 1, false},                                      // defaults 0
        {"<Slot number=\"3\" receive=\"x\" transmit=\"200\" power=\"2\"/>", 3, 0, 200, 2, false},
        {"<Slot number=\"32\" receive=\"100\"/>", 31, 5, 6, 2, false},                    // skipped
        {"<Slot number=\"-1\" receive=\"100\"/>", 0, 5, 6, 2, false},                     //
        {"<Slot receive=\"100\"/>", 0, 5, 6, 2, false},                                   // no number
        {"<Slot number=\"4294967296\" receive=\"100\"/>", 0, 5, 6, 2, false},             // 64-bit number
        {"<Slot number=\"3\" receive=\"2519\"/>", 3, 2519, 0, 1, false}, // off the raster, as a module reports it
        {"<Slot number=\"3\" receive=\"99999\" transmit=\"2147483647\"/>", 3, 99999, 2147483647, 1, false},
        {"<Slot number=\"3\" transmit=\"-5\"/>", 3, 5, 6, 2, true},
        {"<Slot number=\"3\" power=\"6\"/>", 3, 5, 6, 2, true},
        {"<Slot number=\"3\" receive=\"1\"/><Slot number=\"3\" receive=\"2\"/>", 3, 2, 0, 1, false}, // last wins
        {"<Frequencies><Group><Slot number=\"9\" receive=\"9\"/></Group></Frequencies>", 9, 9, 0, 1, false},
        {"<slot number=\"3\" receive=\"100\"/>", 3, 5, 6, 2, false},                      // names are exact
    };
    for (const auto& c : cases) {
        TRuvoParameter set;
        for (int i = 0; i < 32; ++i) {
            set.GetSlot(i)->SetReceive(5);
            set.GetSlot(i)->SetTransmit(6);
            set.GetSlot(i)->SetPower(2);
        }
        const auto r = LoadBody(Path("s.XML"), c.Element, set);
        EXPECT_EQ(r.Refused, c.Refused) << c.Element << ": " << r.Error;
        const TChannelEntry& s = *set.GetSlot(c.Slot);
        EXPECT_EQ(s.Receive(), c.Receive) << c.Element;
        EXPECT_EQ(s.Transmit(), c.Transmit) << c.Element;
        EXPECT_EQ(s.Power(), c.Power) << c.Element;
        EXPECT_EQ(s.Number(), c.Slot);
    }
}

TEST_F(ParameterFile, BrokenFilesChangeNothing)
{
    struct Case {
        const char* Name;
        const char* Bytes; // nullptr: no file at all
        const char* ErrorPart;
    };
    const Case cases[] = {
        {"missing.XML", nullptr, "does not exist"},
        {"empty.XML", "", "no parameter file"},
        {"text.XML", "squelchlow=1", "no parameter file"},
        {"cut.XML", "<Root><Parameter nflevel=\"3\"/><Frequencies><Slot number=\"1\"", "no parameter file"},
        {"binary.XML", "\x01\x02\xFF\xFE", "no parameter file"},
    };
    for (const auto& c : cases) {
        const std::string path = Path(c.Name);
        if (c.Bytes)
            WriteFile(path, c.Bytes);
        TRuvoParameter set;
        FillSample(set);
        TRuvoParameter before;
        before.Assign(set);
        try {
            set.LoadFromXML(path);
            ADD_FAILURE() << c.Name << " was taken";
        } catch (const Exception& e) {
            EXPECT_NE(e.Message().find(c.ErrorPart), std::string::npos) << c.Name << ": " << e.Message();
            EXPECT_NE(e.Message().find(path), std::string::npos) << e.Message();
        }
        EXPECT_TRUE(set == before) << c.Name;
    }
}

TEST_F(ParameterFile, LoadReadsLatin1)
{
    // An element whose name holds an umlaut is no "Parameter"; the file is
    // still read, byte by byte as Latin-1.
    WriteFile(Path("l.XML"), "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\n<!--\xA9 2007-2026 Zorvatek-->"
                             "<Root><Gr\xFC\xDF" "e><Parameter nflevel=\"4\"/></Gr\xFC\xDF" "e></Root>");
    TRuvoParameter set;
    set.LoadFromXML(Path("l.XML"));
    EXPECT_EQ(set.NFLevel(), 4);
}

TEST_F(ParameterFile, AFailedSaveKeepsThePreviousFile)
{
    TRuvoParameter old;
    const std::string path = Path("keep.XML");
    old.SaveToXML(path);
    const std::string before = ReadFile(path);
    ASSERT_FALSE(before.empty());

    TRuvoParameter next;
    FillSample(next);
    const auto expectSaveError = [&](const std::string& target) {
        try {
            next.SaveToXML(target);
            ADD_FAILURE() << "saved to " << target;
        } catch (const Exception& e) {
            EXPECT_EQ(e.Message().rfind("Der Hardwarekonfiguration konnte nicht gespeichert werden.\r\n", 0), 0u)
                << e.Message();
        }
    };

    // The disk fills up while the new file is written.
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 512;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    expectSaveError(path);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_EQ(ReadFile(path), before);

    // A write-protected file stays as it is.
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    expectSaveError(path);
    EXPECT_EQ(ReadFile(path), before);
    chmod(path.c_str(), 0644);

    // A folder that does not exist.
    expectSaveError(Path("none/set.XML"));

    // No temporary file is left behind.
    EXPECT_EQ(QDir(Dir.path()).entryList(QDir::Files), QStringList{"keep.XML"});

    // An empty name does nothing.
    EXPECT_NO_THROW(next.SaveToXML(""));
}

TEST(ParameterSetFileName, ProjectSerialAndDate)
{
    EXPECT_EQ(ParameterSetFileName("Standard", 4711, 2026, 3, 9, "ddmmyyyy"), "Tamsk_Standard_4711_09032026.XML");
    EXPECT_EQ(ParameterSetFileName("Standard", 4711, 2026, 3, 9, "mmddyyyy"), "Tamsk_Standard_4711_03092026.XML");
    EXPECT_EQ(ParameterSetFileName("B", -1, 2026, 12, 31, "yyyy-mm-dd"), "Tamsk_B_-1_2026-12-31.XML");
    EXPECT_EQ(FormatShortDate("d.m.yy", 2007, 1, 2), "2.1.07");
}

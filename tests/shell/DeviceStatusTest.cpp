// The device catalogue: reading "ZorDevices.xml", choosing by name, and
// resolving plug-in paths.
#include "platform/Exception.h"
#include "platform/Registry.h"
#include "shell/DeviceStatus.h"
#include "shell/SelectDeviceForm.h"
#include "tests/controls/ControlsTestSupport.h"
#include "tests/shell/ShellFixture.h"

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <functional>
#include <vector>

namespace {

class CatalogueTest : public ShellFixture {
protected:
    TDeviceList& Load(const std::string& xml)
    {
        WriteFile(ProgramDir() + "ZorDevices.xml", xml);
        List.LoadDevices(ProgramDir() + "ZorDevices.xml");
        return List;
    }
    TDeviceList List;
};

} // namespace

TEST_F(CatalogueTest, DevicesInDocumentOrderFirstIsCurrent)
{
    Load(R"(<?xml version="1.0"?><ZOR><DEVICE name="Ruvo" EX="Ravvel.so"/><DEVICE name="Other"/></ZOR>)");
    ASSERT_EQ(List.Count(), 2u);
    EXPECT_TRUE(List.Loaded());
    EXPECT_EQ(List.Items(0)->Name, "Ruvo");
    EXPECT_EQ(List.Items(1)->Name, "Other");
    EXPECT_EQ(List.Current(), List.Items(0));
    EXPECT_EQ(List.Preference(), "");
    EXPECT_EQ(List.Items(0)->EX, "Ravvel.so");
    EXPECT_EQ(List.Items(0)->Identification, "<unbekannt>");
}

TEST_F(CatalogueTest, AttributeValuesAsTheyRead)
{
    struct Case {
        const char* attributes;
        std::int32_t blockSize;
        std::int32_t productId;
        int gender;
        int initialStatus;
    };
    const Case cases[] = {
        {"", 128, -1, 0, 1},
        {R"(blocksize="64" productid="4" gender="F" initialstatus="wait")", 64, 4, 1, 0},
        {R"(blocksize="0")", 128, -1, 0, 1},
        {R"(blocksize="-5")", 128, -1, 0, 1},
        {R"(blocksize="abc" productid="abc")", 128, -1, 0, 1},
        {R"(gender="f" initialstatus="WAIT")", 128, -1, 0, 1},
        {R"(gender="N" initialstatus="goahead")", 128, -1, 2, 1},
        {R"(gender="X")", 128, -1, 0, 1},
        {R"(BlockSize="256" PRODUCTID="4294967295" Gender="F")", 256, -1, 1, 1},
        {R"(productid="4294967296")", 128, 0, 0, 1},
    };
    for (const Case& c : cases) {
        Load(std::string("<ZOR><DEVICE name=\"D\" ") + c.attributes + "/></ZOR>");
        ASSERT_EQ(List.Count(), 1u) << c.attributes;
        const TDeviceStatus& d = *List.Items(0);
        EXPECT_EQ(d.BlockSize(), c.blockSize) << c.attributes;
        EXPECT_EQ(d.ProductID, c.productId) << c.attributes;
        EXPECT_EQ(d.Gender, c.gender) << c.attributes;
        EXPECT_EQ(d.InitialStatus, c.initialStatus) << c.attributes;
    }
}

TEST_F(CatalogueTest, AttributeNamesInAnyCaseElementNamesExact)
{
    Load(R"(<ZOR>
      <DEVICE NAME="A" Extension="H86" st="s.so" fw="f.so" Pa="p.so" eX="e.so" MagicWord="mw"/>
      <Device name="ignored"/><device name="ignored too"/>
      <GROUP><DEVICE name="B"><DEVICE name="C"/></DEVICE></GROUP>
      <UNKNOWN><GENERAL preference="B"/></UNKNOWN>
    </ZOR>)");
    ASSERT_EQ(List.Count(), 3u);
    const TDeviceStatus& a = *List.Items(0);
    EXPECT_EQ(a.Name, "A");
    EXPECT_EQ(a.Extension, "H86");
    EXPECT_EQ(a.ST, "s.so");
    EXPECT_EQ(a.FW, "f.so");
    EXPECT_EQ(a.PA, "p.so");
    EXPECT_EQ(a.EX, "e.so");
    EXPECT_EQ(a.MagicWord, "mw");
    // A device nested in another comes after its parent.
    EXPECT_EQ(List.Items(1)->Name, "B");
    EXPECT_EQ(List.Items(2)->Name, "C");
    EXPECT_EQ(List.Preference(), "B");
    EXPECT_EQ(List.Current(), List.Items(1));
}

TEST_F(CatalogueTest, TheLastGeneralElementFixesThePreference)
{
    const struct {
        const char* body;
        const char* preference;
        const char* current; // null: none
    } cases[] = {
        {R"(<GENERAL preference="B"/><DEVICE name="A"/><DEVICE name="B"/>)", "B", "B"},
        {R"(<DEVICE name="A"/><DEVICE name="B"/><X><Y><GENERAL PREFERENCE="B"/></Y></X>)", "B", "B"},
        {R"(<GENERAL preference="B"/><DEVICE name="A"/><DEVICE name="B"/><GENERAL/>)", "", "A"},
        {R"(<GENERAL preference="A"/><GENERAL preference="B"/><DEVICE name="A"/><DEVICE name="B"/>)", "B", "B"},
        {R"(<GENERAL preference="C"/><DEVICE name="A"/>)", "C", nullptr},
        {R"(<general preference="C"/><DEVICE name="A"/>)", "", "A"},
        {R"(<GENERAL preference="A"/>)", "A", nullptr},
        {R"(<GENERAL/>)", "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body);
        TDeviceList fresh;
        WriteFile(ProgramDir() + "ZorDevices.xml", std::string("<ZOR>") + c.body + "</ZOR>");
        fresh.LoadDevices(ProgramDir() + "ZorDevices.xml");
        EXPECT_TRUE(fresh.Loaded());
        EXPECT_EQ(fresh.Preference(), c.preference);
        if (c.current) {
            ASSERT_NE(fresh.Current(), nullptr);
            EXPECT_EQ(fresh.Current()->Name, c.current);
        } else {
            EXPECT_EQ(fresh.Current(), nullptr);
        }
    }
}

TEST_F(CatalogueTest, PreferenceMatchesExactlyCommandLineAndDialogCaseBlind)
{
    Load(R"(<ZOR><GENERAL preference="X"/><DEVICE name="x"/><DEVICE name="Y"/></ZOR>)");
    EXPECT_EQ(List.Current(), nullptr); // "X" is not "x"
    List.SetPreferredDevice("X");
    EXPECT_EQ(List.Current(), List.Items(0));
    EXPECT_EQ(List.Preference(), "x"); // the catalogue's spelling
    List.SetPreferredDevice("nothing");
    EXPECT_EQ(List.Current(), List.Items(0));
    EXPECT_EQ(List.Preference(), "x");
    List.SelectDeviceByName("y");
    EXPECT_EQ(List.Current(), List.Items(1));
    EXPECT_EQ(List.Preference(), "x");
    List.SelectDeviceByName("none");
    EXPECT_EQ(List.Current(), nullptr);
    // Only a to z fold: umlauts compare as they are.
    Load(R"(<ZOR><DEVICE name="Gerät"/></ZOR>)");
    List.SelectDeviceByName("GERäT");
    EXPECT_EQ(List.Current(), List.Items(0));
    List.SelectDeviceByName("GERÄT");
    EXPECT_EQ(List.Current(), nullptr);
}

TEST_F(CatalogueTest, BrokenFilesRaiseAndLeaveTheCatalogueAsItWas)
{
    const struct {
        const char* what;
        const char* content; // null: no file
    } cases[] = {
        {"missing", nullptr},
        {"empty", ""},
        {"not XML", "this is not xml"},
        {"cut off", "<ZOR><DEVICE name=\"A\"/><DEVICE name=\"B\""},
        {"binary", "\x01\x02\xff\xfe<"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TDeviceList fresh;
        const std::string path = ProgramDir() + "broken.xml";
        QFile::remove(QString::fromStdString(path));
        if (c.content)
            WriteFile(path, c.content);
        EXPECT_THROW(fresh.LoadDevices(path), Exception);
        EXPECT_FALSE(fresh.Loaded());
        EXPECT_EQ(fresh.Count(), 0u);
        EXPECT_EQ(fresh.Current(), nullptr);
    }
    // A failed re-read keeps the catalogue that was there, current entry included.
    Load(R"(<ZOR><DEVICE name="A"/><DEVICE name="B"/></ZOR>)");
    List.SelectDeviceByName("B");
    WriteFile(ProgramDir() + "ZorDevices.xml", "<ZOR><DEVICE");
    EXPECT_THROW(List.LoadDevices(ProgramDir() + "ZorDevices.xml"), Exception);
    ASSERT_EQ(List.Count(), 2u);
    ASSERT_NE(List.Current(), nullptr);
    EXPECT_EQ(List.Current()->Name, "B");
    EXPECT_TRUE(List.Loaded());
    try {
        List.LoadDevices(ProgramDir() + "gone.xml");
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message(), "LoadDevices: File \"" + ProgramDir() + "gone.xml\" does not exist.");
    }
    EXPECT_FALSE(List.Loaded());
    EXPECT_EQ(List.Current()->Name, "B");
}

// Nesting as deep as a hostile file likes: read in document order, each
// element before its children, without running out of stack.
TEST_F(CatalogueTest, DeepNestingIsReadInDocumentOrder)
{
    const int depth = 100000;
    std::string xml;
    for (int i = 0; i < depth; ++i)
        xml += i == depth / 2 ? "<DEVICE name=\"Middle\">" : "<A>";
    xml += R"(<GENERAL preference="Bottom"/><DEVICE name="Bottom"/>)";
    for (int i = depth - 1; i >= 0; --i)
        xml += i == depth / 2 ? "</DEVICE>" : "</A>";
    xml = "<ZOR>" + xml + R"(<DEVICE name="After"/></ZOR>)";
    Load(xml);
    ASSERT_EQ(List.Count(), 3u);
    EXPECT_EQ(List.Items(0)->Name, "Middle");
    EXPECT_EQ(List.Items(1)->Name, "Bottom");
    EXPECT_EQ(List.Items(2)->Name, "After");
    ASSERT_NE(List.Current(), nullptr);
    EXPECT_EQ(List.Current()->Name, "Bottom");

    // Cut off in the depth: the reader's error, the catalogue as it was.
    WriteFile(ProgramDir() + "ZorDevices.xml", xml.substr(0, xml.size() / 2));
    EXPECT_THROW(List.LoadDevices(ProgramDir() + "ZorDevices.xml"), Exception);
    EXPECT_EQ(List.Count(), 3u);
}

TEST_F(CatalogueTest, PluginPathsResolveToExistingFilesOnly)
{
    TDeviceStatus d;
    d.ST = "st.so";
    d.PA = "";
    d.EX = ProgramDir() + "sub/ex.so";
    d.FW = "sub\\fw.so";
    EXPECT_EQ(d.GetStatusDllPath(), "");
    EXPECT_EQ(d.GetParameterDllPath(), "");
    WriteFile(ProgramDir() + "st.so", "x");
    EXPECT_EQ(d.GetStatusDllPath(), ProgramDir() + "st.so");
    EXPECT_EQ(d.GetExtendedDllPath(), "");
    WriteFile(ProgramDir() + "sub/ex.so", "x");
    EXPECT_EQ(d.GetExtendedDllPath(), ProgramDir() + "sub/ex.so");
    // A name with a folder is below the program's folder, wherever the
    // program was started; a file of that name below the working folder is
    // not taken.
    const QString previous = QDir::currentPath();
    QTemporaryDir elsewhere;
    QDir::setCurrent(elsewhere.path());
    WriteFile(elsewhere.filePath("sub/fw.so").toStdString(), "x");
    EXPECT_EQ(d.GetFirmwareDllPath(), "");
    WriteFile(ProgramDir() + "sub/fw.so", "x");
    EXPECT_EQ(d.GetFirmwareDllPath(), ProgramDir() + "sub/fw.so");
    QDir::setCurrent(Program.path() + "/sub");
    EXPECT_EQ(d.GetFirmwareDllPath(), ProgramDir() + "sub/fw.so");
    QDir::setCurrent(previous);
    // The file may vanish while the program runs.
    QFile::remove(QString::fromStdString(ProgramDir() + "st.so"));
    EXPECT_EQ(d.GetStatusDllPath(), "");
}

TEST_F(CatalogueTest, TheDeviceDialogChoosesByPositionAndRemembersIt)
{
    Load(R"(<ZOR><DEVICE name="Ruvo"/><DEVICE name="RUVO"/><DEVICE name="Modem"/></ZOR>)");
    TAppRegistryStorage settings;
    settings.SetRoot("Software\\Zorvatek\\Tessaro");
    // The stored index is shown again; one beyond the list (it had more
    // entries before) or none shows the first entry.
    const struct {
        int stored;
        int shown;
    } cases[] = {{-1, 0}, {1, 1}, {2, 2}, {3, 0}, {70, 0}, {-7, 0}};
    for (const auto& c : cases) {
        settings.WriteInteger("LastDeviceIndex", c.stored);
        TfSelectDeviceForm dialog(List, settings);
        EXPECT_EQ(dialog.cbxDeviceList->count(), 3);
        EXPECT_EQ(dialog.cbxDeviceList->currentIndex(), c.shown) << c.stored;
    }
    {
        // OK: the entry at that position, though its name equals the first's but for case.
        TfSelectDeviceForm dialog(List, settings);
        EXPECT_EQ(fSelectDeviceForm, &dialog);
        dialog.cbxDeviceList->setCurrentIndex(1);
        dialog.btnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(List.Current(), List.Items(1));
        EXPECT_EQ(settings.ReadInteger("LastDeviceIndex", -1), 1);
    }
    EXPECT_EQ(fSelectDeviceForm, nullptr);
    {
        // Cancel changes nothing.
        TfSelectDeviceForm dialog(List, settings);
        EXPECT_EQ(dialog.cbxDeviceList->currentIndex(), 1);
        dialog.cbxDeviceList->setCurrentIndex(2);
        dialog.btnCancel->click();
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_EQ(List.Current(), List.Items(1));
        EXPECT_EQ(settings.ReadInteger("LastDeviceIndex", -1), 1);
    }
    {
        // An empty catalogue: nothing to choose, yet the dialog closes with OK.
        TDeviceList empty;
        TfSelectDeviceForm dialog(empty, settings);
        EXPECT_EQ(dialog.cbxDeviceList->currentIndex(), -1);
        dialog.btnOK->click();
        EXPECT_EQ(dialog.result(), QDialog::Accepted);
        EXPECT_EQ(empty.Current(), nullptr);
        EXPECT_EQ(settings.ReadInteger("LastDeviceIndex", -1), 1);
    }
}

TEST_F(CatalogueTest, TheDeviceDialogHasItsFixedSizeAndEverythingFitsIn)
{
    Load(R"(<ZOR><DEVICE name="Ruvo"/></ZOR>)");
    TAppRegistryStorage settings;
    settings.SetRoot("Software\\Zorvatek\\Tessaro");
    TfSelectDeviceForm dialog(List, settings);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.size(), QSize(375, 100));
    dialog.resize(600, 300); // a person cannot make it larger or smaller
    EXPECT_EQ(dialog.size(), QSize(375, 100));
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());
    // Every control inside, none over another, the prompt's text whole.
    const auto* prompt = dialog.findChild<QLabel*>("lblDatei");
    const auto* device = dialog.findChild<QLabel*>("lblDevice");
    ASSERT_TRUE(prompt && device);
    const QWidget* controls[] = {prompt, device, dialog.cbxDeviceList, dialog.btnOK, dialog.btnCancel};
    for (const QWidget* w : controls)
        EXPECT_TRUE(dialog.rect().contains(w->geometry())) << w->objectName().toStdString();
    EXPECT_GE(prompt->height(), prompt->heightForWidth(prompt->width()));
    EXPECT_LE(prompt->geometry().bottom(), dialog.cbxDeviceList->geometry().top());
    EXPECT_LE(dialog.cbxDeviceList->geometry().bottom(), dialog.btnOK->geometry().top());
    EXPECT_FALSE(dialog.btnOK->geometry().intersects(dialog.btnCancel->geometry()));
    dialog.btnCancel->click();
}

// The device choice as a person works it: the list by the arrow keys, Enter
// or a click on OK to take the entry, Escape or a click on Cancel to leave
// the choice as it was.
TEST_F(CatalogueTest, TheDeviceDialogIsWorkedWithKeysAndMouse)
{
    Load(R"(<ZOR><DEVICE name="A"/><DEVICE name="B"/><DEVICE name="C"/></ZOR>)");
    TAppRegistryStorage settings;
    settings.SetRoot("Software\\Zorvatek\\Tessaro");
    const auto key = [](Qt::Key k) { return [k](TfSelectDeviceForm& d) { PressKey(&d, k); }; };
    const auto click = [](QPushButton* TfSelectDeviceForm::*button) {
        return [button](TfSelectDeviceForm& d) { QTest::mouseClick(d.*button, Qt::LeftButton); };
    };
    const struct {
        const char* What;
        std::vector<Qt::Key> Keys; // in the list, which has the focus
        std::function<void(TfSelectDeviceForm&)> Close;
        int Result;
        const char* Current; // the entry chosen afterwards
        int Stored;          // the position kept in the settings
    } cases[] = {
        {"A, down twice, Enter", {Qt::Key_Down, Qt::Key_Down}, key(Qt::Key_Return), QDialog::Accepted, "C", 2},
        {"C, up, Escape", {Qt::Key_Up}, key(Qt::Key_Escape), QDialog::Rejected, "C", 2},
        {"C, up, OK clicked", {Qt::Key_Up}, click(&TfSelectDeviceForm::btnOK), QDialog::Accepted, "B", 1},
        {"B, down, Cancel clicked", {Qt::Key_Down}, click(&TfSelectDeviceForm::btnCancel), QDialog::Rejected, "B", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        TfSelectDeviceForm dialog(List, settings);
        ASSERT_TRUE(ShowActive(&dialog));
        ASSERT_EQ(QApplication::focusWidget(), dialog.cbxDeviceList);
        for (const Qt::Key k : c.Keys)
            PressKey(&dialog, k);
        c.Close(dialog);
        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), c.Result);
        ASSERT_NE(List.Current(), nullptr);
        EXPECT_EQ(List.Current()->Name, c.Current);
        EXPECT_EQ(settings.ReadInteger("LastDeviceIndex", -1), c.Stored);
    }
}

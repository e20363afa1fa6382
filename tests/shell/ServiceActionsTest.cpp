// The data module's service actions: the colour scheme choice, showing the
// suppressed dialogs again, and the state report.
#include "controls/Zor_Pattern.h"
#include "platform/Exception.h"
#include "shell/DebugClass.h"
#include "shell/Environment.h"
#include "tests/shell/ProgramFixture.h"

#include <QSettings>

namespace {

class ServiceActionsTest : public DataModuleFixture {
protected:
    void TearDown() override
    {
        DataModuleFixture::TearDown();
        G_Zor_Pattern().SetUseWindowsDefaults(false);
    }
    QVariant Value(const char* key) const
    {
        return QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat).value(key);
    }
};

} // namespace

TEST_F(ServiceActionsTest, TheColourSchemeChoiceIsCheckedAndStoredAtExit)
{
    EXPECT_FALSE(Dm->acUseWindowsPattern->isChecked());
    EXPECT_FALSE(Dm->acUseZorPattern->isChecked());
    Dm->acUseWindowsPattern->trigger();
    EXPECT_TRUE(G_Zor_Pattern().UseWindowsDefaults());
    EXPECT_TRUE(Dm->acUseWindowsPattern->isChecked());
    EXPECT_FALSE(Dm->acUseZorPattern->isChecked());
    EXPECT_EQ(Value("Tessaro/ZorColors"), QVariant()); // nothing is written before the end
    Dm.reset();
    EXPECT_EQ(Value("Tessaro/ZorColors").toString(), "TRUE");

    Dm = std::make_unique<TDM>(QStringList{"Tessaro"});
    EXPECT_TRUE(G_Zor_Pattern().UseWindowsDefaults()); // read back at start
    Dm->acUseZorPattern->trigger();
    EXPECT_FALSE(G_Zor_Pattern().UseWindowsDefaults());
    EXPECT_FALSE(Dm->acUseWindowsPattern->isChecked());
    EXPECT_TRUE(Dm->acUseZorPattern->isChecked());
    Dm.reset();
    EXPECT_EQ(Value("Tessaro/ZorColors").toString(), "FALSE");
}

TEST_F(ServiceActionsTest, ResettingDialogsDeletesOnlyThisProgramsAnswers)
{
    {
        QSettings s(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat);
        s.setValue("Dialogs/Tessaro/AskBeforeUpload", 1);
        s.setValue("Dialogs/Tessaro/Nested/Answer", 2);
        s.setValue("Dialogs/Other/AskBeforeUpload", 1);
    }
    Dm->acResetDialogs->trigger();
    EXPECT_EQ(Value("Dialogs/Tessaro/AskBeforeUpload"), QVariant());
    EXPECT_EQ(Value("Dialogs/Tessaro/Nested/Answer"), QVariant());
    EXPECT_EQ(Value("Dialogs/Other/AskBeforeUpload").toInt(), 1);
    EXPECT_EQ(Dm->Environment()->Debugger()->History().back()->Action, "acResetDialogsExecute");
    Dm->acResetDialogs->trigger(); // nothing left to delete: no error
    const auto boxes = TestDialogs().Boxes();
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[1].Text, "Alle Werte wurden zurückgesetzt.");
    EXPECT_EQ(boxes[1].Flags, static_cast<unsigned>(MB_OK | MB_ICONINFORMATION));
}

TEST_F(ServiceActionsTest, TheStateReportNamesTheFolderItWasWrittenTo)
{
    Dm->acDebugSaveStateToLog->trigger();
    EXPECT_NE(ReadFile(ProgramDir() + "STATUS.LOG").find("] >>> Manuell angeforderter Zustandsbericht\r\n"),
              std::string::npos);
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_EQ(TestDialogs().Boxes()[0].Text,
              "Der Zustandsbericht wurde erstellt und in \"" + ProgramDir() + "\" abgespeichert.");

    // A program folder that takes no file: the message names the user's folder.
    TestDialogs().Clear();
    SetProgramPath(ProgramDir() + "no/such/folder/Tessaro");
    Dm->acDebugSaveStateToLog->trigger();
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_EQ(TestDialogs().Boxes()[0].Text,
              "Der Zustandsbericht wurde erstellt und in \"" + DataDir() + "Zorvatek/Tessaro/\" abgespeichert.");

    // Nowhere to write: the error reaches the caller and no success is told.
    TestDialogs().Clear();
    WriteFile(DataDir() + "blocker", "a file where the folder would be");
    setenv("XDG_DATA_HOME", (DataDir() + "blocker").c_str(), 1);
    EXPECT_THROW(Dm->acDebugSaveStateToLogExecute(), EInOutError);
    EXPECT_TRUE(TestDialogs().Boxes().empty());
}

// The program's own translation data: every compiled-in file reads and
// writes back byte for byte, and the texts switch with the language.
#include "localization/lcComp.h"
#include "localization/lcLngLnk.h"
#include "shell/DataModule.h"
#include "shell/MainForm.h"
#include "tests/common/TestServices.h"
#include "tests/shell/ShellFixture.h"

#include <QDir>

#include <memory>

TEST(ProgramTranslations, CompiledFilesReadAndWriteBackByteForByte)
{
    const QStringList files = QDir(":/tessaro/lc").entryList({"*.dat"});
    ASSERT_EQ(files, (QStringList{"TDM.dat", "TfMainForm.dat"}));
    for (const QString& file : files) {
        const std::string data = LoadTranslationResource(":/tessaro/lc/" + file.toStdString());
        std::unique_ptr<TlcCustomLang> lang;
        if (file == "TDM.dat")
            lang = std::make_unique<TlcLang>(nullptr);
        else
            lang = std::make_unique<TlcLangLinked>(nullptr);
        lang->SetNumOfLanguages(2);
        lang->ReadTranslationData(data);
        EXPECT_EQ(lang->WriteTranslationData(), data) << file.toStdString();
    }
}

TEST_F(ShellFixture, TextsFollowTheActiveLanguage)
{
    TDM::PluginLoadPause = [](int) {};
    TestDialogs().Clear();
    TDM dm(QStringList{"Tessaro"});
    TfMainForm form;
    EXPECT_EQ(form.Text("IDS_11"), "Warte auf Verbindung!");
    EXPECT_EQ(dm.Text("IDS_10"), "Fehlermeldung: %s");
    dm.lcLangDispatcher->SetActiveLanguage(2);
    EXPECT_EQ(form.lcLangLinked->ActiveLanguage(), 2);
    EXPECT_EQ(form.Text("IDS_11"), "Waiting for connection!");
    EXPECT_EQ(dm.Text("IDS_10"), "Errormessage: %s");
    EXPECT_EQ(dm.Text("IDS_58"), "acResetDialogsExecute"); // no English text: the German one
    EXPECT_EQ(dm.Text("IDS_59"), "Software\\Zorvatek\\Dialogs\\");
    EXPECT_EQ(dm.Text("IDS_999"), "");
    // A window made while English is active links in English.
    TfMainForm second;
    EXPECT_EQ(second.Text("IDS_26"), "Connected");
    dm.lcLangDispatcher->SetActiveLanguage(1);
    EXPECT_EQ(second.Text("IDS_26"), "Verbindung OK");
}

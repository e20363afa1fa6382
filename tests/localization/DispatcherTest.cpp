// Switching the language: the dispatcher of the data module and the linked
// components of the forms, in link order, with vetoes, events and errors.
#include "tests/localization/TestForms.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

using Lines = std::vector<std::string>;

std::string NameOf(TObject* sender)
{
    auto* lang = dynamic_cast<TlcCustomLang*>(sender);
    if (lang)
        return ComponentName(lang->Owner());
    return dynamic_cast<TlcLangDispatcher*>(sender) ? "dispatcher" : "?";
}

// The data module and three forms, created in this order, each form's
// component linked to the data module's dispatcher.
class Switching : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"fA", "fB", "fC"}) {
            Forms.push_back(std::make_unique<TfTestForm>());
            Forms.back()->setObjectName(name);
            Langs.push_back(LoadLang<TlcLangLinked>(Forms.back().get(), Dm.Dispatcher,
                                                    "stStrings\r\n" + Line({"IDS_1", "Ja", "Yes"}) + "\r\n"));
        }
        Watch(Dm.Lang);
        for (TlcCustomLang* lang : Langs)
            Watch(lang);
        Dm.Dispatcher->SetOnLanguageChanging([this](TObject* sender, int n, bool& allow) {
            Events.push_back("asked " + NameOf(sender) + " " + std::to_string(n));
            allow = DispatcherAllows;
        });
        Dm.Dispatcher->SetOnLanguageChanged([this](TObject* sender) { Events.push_back("changed " + NameOf(sender)); });
    }

    void Watch(TlcCustomLang* lang)
    {
        lang->SetOnChangeLanguage([this](TObject* sender) {
            auto* changed = dynamic_cast<TlcCustomLang*>(sender);
            Events.push_back("switched " + NameOf(sender) + " " + changed->Language());
        });
        lang->SetOnLanguageChanging([this](TObject* sender, int n, bool& allow) {
            Events.push_back("asked " + NameOf(sender) + " " + std::to_string(n));
            allow = NameOf(sender) != Veto;
        });
    }

    std::vector<int> ActiveLanguages() const
    {
        std::vector<int> out{Dm.Dispatcher->ActiveLanguage(), Dm.Lang->ActiveLanguage()};
        for (TlcCustomLang* lang : Langs)
            out.push_back(lang->ActiveLanguage());
        return out;
    }

    TTestDataModule Dm;
    std::vector<std::unique_ptr<TfTestForm>> Forms;
    std::vector<TlcLangLinked*> Langs;
    Lines Events;
    std::string Veto;
    bool DispatcherAllows = true;
};

TEST_F(Switching, LinkOrderIsTheDataModuleThenTheFormsInCreationOrder)
{
    ASSERT_EQ(Dm.Dispatcher->LinkedCount(), 4);
    EXPECT_EQ(Dm.Dispatcher->LinkedLang(0), Dm.Lang);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(Dm.Dispatcher->LinkedLang(i + 1), Langs[static_cast<size_t>(i)]);

    Dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(Events, (Lines{"asked dispatcher 2", "asked DM 2", "asked fA 2", "asked fB 2", "asked fC 2",
                             "switched DM English", "switched fA English", "switched fB English",
                             "switched fC English", "changed dispatcher"}));
    EXPECT_EQ(ActiveLanguages(), (std::vector<int>{2, 2, 2, 2, 2}));
    EXPECT_EQ(Dm.Dispatcher->Language(), "English");
    EXPECT_EQ(Langs[1]->GetTextOrDefault("IDS_1"), "Yes");

    Events.clear();
    Dm.Dispatcher->SetActiveLanguage(2); // unchanged: nothing at all
    EXPECT_TRUE(Events.empty());
}

TEST_F(Switching, AVetoChangesNothing)
{
    Veto = "fB";
    Dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(Events, (Lines{"asked dispatcher 2", "asked DM 2", "asked fA 2", "asked fB 2"}));
    EXPECT_EQ(ActiveLanguages(), (std::vector<int>{1, 1, 1, 1, 1}));
    EXPECT_EQ(Langs[0]->Language(), "Deutsch");

    Events.clear();
    Veto.clear();
    DispatcherAllows = false;
    Dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(Events, Lines{"asked dispatcher 2"});
    EXPECT_EQ(ActiveLanguages(), (std::vector<int>{1, 1, 1, 1, 1}));
}

TEST_F(Switching, NumbersOutOfRangeRaiseAndChangeNothing)
{
    struct TCase {
        int Value;
        std::string Message;
    };
    const TCase cases[] = {
        {3, "TTestDM: 3 - is not a valid property value!\rValue must be within [1..2]!"},
        {0, "TTestDM: 0 - is not a valid property value!\rValue must be within [1..2]!"},
    };
    for (const TCase& c : cases) {
        try {
            Dm.Dispatcher->SetActiveLanguage(c.Value);
            ADD_FAILURE() << "no error for " << c.Value;
        } catch (const ELanguageError& e) {
            EXPECT_EQ(e.Message(), c.Message);
        }
        try {
            Langs[0]->SetActiveLanguage(c.Value);
            ADD_FAILURE() << "no error for " << c.Value;
        } catch (const ELanguageError& e) {
            EXPECT_EQ(e.Message(), "TfTestForm: " + c.Message.substr(9));
        }
    }
    TlcLang alone(nullptr);
    alone.SetNumOfLanguages(2);
    try {
        alone.SetActiveLanguage(3);
        ADD_FAILURE() << "no error";
    } catch (const ELanguageError& e) {
        EXPECT_EQ(e.Message(), "3 - is not a valid property value!\rValue must be within [1..2]!");
    }
    EXPECT_TRUE(Events.empty());
    EXPECT_EQ(ActiveLanguages(), (std::vector<int>{1, 1, 1, 1, 1}));
}

TEST_F(Switching, AComponentWithFewerLanguagesStopsTheSwitchBeforeItStarts)
{
    Langs[2]->SetNumOfLanguages(1);
    try {
        Dm.Dispatcher->SetActiveLanguage(2);
        FAIL() << "no error";
    } catch (const ELanguageError& e) {
        EXPECT_EQ(e.Message(), "TfTestForm: 2 - is not a valid property value!\rValue must be within [1..1]!");
    }
    EXPECT_TRUE(Events.empty());
    EXPECT_EQ(ActiveLanguages(), (std::vector<int>{1, 1, 1, 1, 1}));
}

TEST_F(Switching, TooFewLanguagesOnTheDispatcherChangeNothing)
{
    for (int value : {0, -1}) {
        try {
            Dm.Dispatcher->SetNumOfLanguages(value);
            ADD_FAILURE() << "no error";
        } catch (const ELanguageError& e) {
            EXPECT_EQ(e.Message(), std::to_string(value) + " - is not a valid property value !\rValue must be more than ZERO !");
        }
    }
    EXPECT_THROW(Dm.Dispatcher->SetLangNames({}), ELanguageError);
    EXPECT_EQ(Dm.Dispatcher->NumOfLanguages(), 2);
    EXPECT_EQ(Dm.Dispatcher->LangNames().Lines(), (Lines{"Deutsch", "English"}));
    for (TlcCustomLang* lang : Langs) {
        EXPECT_EQ(lang->NumOfLanguages(), 2);
        EXPECT_EQ(lang->LangNames().Lines(), (Lines{"Deutsch", "English"}));
    }
}

TEST_F(Switching, AThirdLanguageReachesEveryComponent)
{
    Dm.Dispatcher->SetLangNames({"Deutsch", "English", "Français"});
    EXPECT_EQ(Dm.Dispatcher->NumOfLanguages(), 3);
    for (TlcCustomLang* lang : Langs) {
        EXPECT_EQ(lang->NumOfLanguages(), 3);
        EXPECT_EQ(lang->LangNames().Count(), 3);
        EXPECT_EQ(lang->Strings().Lines(), Lines{Line({"IDS_1", "Ja", "Yes", ""})});
    }
    Dm.Dispatcher->SetActiveLanguage(3);
    EXPECT_EQ(Langs[0]->Language(), "Français");
    EXPECT_EQ(Langs[0]->GetTextOrDefault("IDS_1"), "Ja");
    // Names without the active one would leave the components half way.
    EXPECT_THROW(Dm.Dispatcher->SetLangNames({"Deutsch", "English"}), ELanguageError);
    EXPECT_EQ(Dm.Dispatcher->NumOfLanguages(), 3);
}

TEST_F(Switching, FormsCreatedLaterTakeTheActiveLanguageWhileTheyLink)
{
    TfTestForm early;
    early.setObjectName("fEarly");
    Lines earlyEvents;
    auto* earlyLang = new TlcLangLinked(&early);
    {
        TlcResourceLoading loading;
        loading.Add(*earlyLang);
        earlyLang->SetOnChangeLanguage([&](TObject*) { earlyEvents.push_back("switched"); });
        earlyLang->SetLangDispatcher(Dm.Dispatcher);
        loading.Finish();
    }
    EXPECT_TRUE(earlyEvents.empty()); // language 1: the form keeps its design texts
    EXPECT_EQ(earlyLang->ActiveLanguage(), 1);

    Dm.Dispatcher->SetActiveLanguage(2);
    TfTestForm late;
    auto* lateLang = new TlcLangLinked(&late);
    Lines lateEvents;
    {
        TlcResourceLoading loading;
        loading.Add(*lateLang);
        lateLang->SetOnChangeLanguage([&](TObject* sender) {
            lateEvents.push_back(dynamic_cast<TlcCustomLang*>(sender)->Language());
        });
        lateLang->SetLangDispatcher(Dm.Dispatcher);
        EXPECT_EQ(lateLang->NumOfLanguages(), 2); // taken from the dispatcher while loading
        loading.Finish();
    }
    EXPECT_EQ(lateEvents, Lines{"English"});
    EXPECT_EQ(lateLang->ActiveLanguage(), 2);
    EXPECT_EQ(lateLang->LangNames().Lines(), (Lines{"Deutsch", "English"}));
}

TEST_F(Switching, LinkingTwiceAndLeaving)
{
    Dm.Dispatcher->AddLinkedLang(Langs[0]);
    Langs[0]->SetLangDispatcher(Dm.Dispatcher);
    EXPECT_EQ(Dm.Dispatcher->LinkedCount(), 4);
    Forms[1].reset();
    EXPECT_EQ(Dm.Dispatcher->LinkedCount(), 3);
    Dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(Langs[2]->ActiveLanguage(), 2);
    Langs[0]->SetLangDispatcher(nullptr);
    EXPECT_EQ(Dm.Dispatcher->LinkedCount(), 2);
}

TEST_F(Switching, HandlersMayCloseAndOpenFormsDuringTheSwitch)
{
    std::unique_ptr<TfTestForm> opened;
    TlcLangLinked* openedLang = nullptr;
    Dm.Lang->SetOnChangeLanguage([&](TObject*) {
        Forms[1].reset(); // fB goes before its turn
        opened = std::make_unique<TfTestForm>();
        openedLang = LoadLang<TlcLangLinked>(opened.get(), Dm.Dispatcher, {});
    });
    Dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(Langs[0]->ActiveLanguage(), 2);
    EXPECT_EQ(Langs[2]->ActiveLanguage(), 2);
    ASSERT_NE(openedLang, nullptr);
    EXPECT_EQ(openedLang->ActiveLanguage(), 2);
    EXPECT_EQ(Dm.Dispatcher->LinkedCount(), 4);
}

TEST_F(Switching, AnExceptionInOneFormLeavesTheOthersAsTheyWere)
{
    Langs[1]->SetOnChangeLanguage([](TObject*) { throw Exception("font refused"); });
    EXPECT_THROW(Dm.Dispatcher->SetActiveLanguage(2), Exception);
    EXPECT_EQ(ActiveLanguages(), (std::vector<int>{2, 2, 2, 2, 1}));
    Langs[1]->SetOnChangeLanguage({});
    // The component is not left marked as switched by the dispatcher: its own
    // veto is asked again when it is switched alone.
    Events.clear();
    Langs[1]->SetActiveLanguage(1);
    EXPECT_EQ(Events, Lines{"asked fB 1"});
}

TEST_F(Switching, ComponentLanguageByName)
{
    Langs[0]->SetLanguage("English");
    EXPECT_EQ(Langs[0]->ActiveLanguage(), 2);
    EXPECT_EQ(Langs[1]->ActiveLanguage(), 1);
    try {
        Langs[0]->SetLanguage("Français");
        FAIL() << "no error";
    } catch (const ELanguageError& e) {
        EXPECT_EQ(e.Message(), "Language name shall be included in LangNames property!");
    }
    Veto = "fA";
    Langs[0]->SetLanguage("Deutsch");
    EXPECT_EQ(Langs[0]->ActiveLanguage(), 2);
    EXPECT_EQ(Langs[0]->Language(), "English");

    Veto.clear();
    Dm.Dispatcher->SetLanguage("English");
    EXPECT_EQ(ActiveLanguages(), (std::vector<int>{2, 2, 2, 2, 2}));
    EXPECT_THROW(Dm.Dispatcher->SetLanguage("Klingon"), ELanguageError);
}

TEST_F(Switching, DefaultLanguageSettingsAreHandedOn)
{
    Dm.Dispatcher->SetUseDefaultLanguage(true);
    Dm.Dispatcher->SetDefaultLanguage(2);
    Dm.Dispatcher->SetDefaultLanguage(5);
    for (TlcCustomLang* lang : Langs) {
        EXPECT_TRUE(lang->UseDefaultLanguage());
        EXPECT_EQ(lang->DefaultLanguage(), 2);
    }
}

TEST_F(Switching, TheBusyCursorShowsOnlyOverTheDefaultCursor)
{
    std::vector<TCursor> during;
    Langs[0]->SetChangingCursor(crHourGlass);
    Langs[0]->SetOnChangeLanguage([&](TObject*) { during.push_back(ScreenCursor()); });
    Dm.Dispatcher->SetActiveLanguage(2);
    SetScreenCursor(crHandPoint);
    Dm.Dispatcher->SetActiveLanguage(1);
    EXPECT_EQ(during, (std::vector<TCursor>{crHourGlass, crHandPoint}));
    EXPECT_EQ(ScreenCursor(), crHandPoint);
    SetScreenCursor(crDefault);
    Veto = "fA";
    Langs[0]->SetActiveLanguage(2); // vetoed: the cursor comes back all the same
    EXPECT_EQ(ScreenCursor(), crDefault);
}

TEST(Dispatcher, AComponentWithoutABoundDispatcherKeepsItsLanguage)
{
    TTestDataModule dm;
    TfTestForm pluginForm;
    auto* lang = LoadLang<TlcLangLinked>(&pluginForm, nullptr, {});
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(lang->ActiveLanguage(), 1);
}

TEST(Dispatcher, AnUnownedDispatcherGivesTheFirstLinkedComponentsError)
{
    TlcLangDispatcher dispatcher(nullptr);
    dispatcher.SetNumOfLanguages(2);
    try {
        dispatcher.SetActiveLanguage(3);
        FAIL() << "no error";
    } catch (const ELanguageError& e) {
        EXPECT_EQ(e.Message(), "3 - is not a valid property value!\rValue must be within [1..2]!");
    }
    TfTestForm form;
    auto* lang = LoadLang<TlcLangLinked>(&form, &dispatcher, {});
    for (int value : {3, 0}) {
        try {
            dispatcher.SetActiveLanguage(value);
            ADD_FAILURE() << "no error for " << value;
        } catch (const ELanguageError& e) {
            EXPECT_EQ(e.Message(), "TfTestForm: " + std::to_string(value)
                                       + " - is not a valid property value!\rValue must be within [1..2]!");
        }
    }
    EXPECT_EQ(dispatcher.ActiveLanguage(), 1);
    EXPECT_EQ(lang->ActiveLanguage(), 1);
}

TEST(Dispatcher, GoingFirstUnlinksEveryComponent)
{
    auto dm = std::make_unique<TTestDataModule>();
    TfTestForm form;
    auto* lang = LoadLang<TlcLangLinked>(&form, dm->Dispatcher, {});
    ASSERT_EQ(lang->LangDispatcher(), dm->Dispatcher);
    dm.reset();
    EXPECT_EQ(lang->LangDispatcher(), nullptr);
    lang->SetActiveLanguage(2);
    EXPECT_EQ(lang->ActiveLanguage(), 2);
}

TEST(Dispatcher, CommonContainerLendsItsDialogTexts)
{
    TTestDataModule dm;
    dm.Lang->SetDlgsCaptions({"OK|Gut|Good|"});
    TfTestForm form;
    auto* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher, {});
    lang->SetCommonContainer(lang);
    EXPECT_EQ(lang->CommonContainer(), nullptr);
    dm.Lang->SetLangDelim('|');
    lang->SetCommonContainer(dm.Lang);
    EXPECT_EQ(lang->DlgsCaptions().Lines(), Lines{Line({"OK", "Gut", "Good"})});
}

} // namespace

// Texts written into a form's components when the language changes: which
// entry reaches which property, what is skipped, what the lists keep.
#include "TestForms.h"

#include "localization/lcLangCombo.h"
#include "platform/Classes.h"
#include "platform/FormatSettings.h"
#include "platform/StdCtrls.h"

#include <gtest/gtest.h>

#include <QFont>
#include <QLabel>
#include <QListWidget>

#include <filesystem>

namespace {

using Lines = std::vector<std::string>;

std::string Section(const char* name, const Lines& lines)
{
    std::string out = std::string(name) + "\r\n";
    for (const std::string& line : lines)
        out += line + "\r\n";
    return out;
}

} // namespace

// A list box and a memo with the properties the engine looks for.
class TTestListBox : public QObject {
    Q_OBJECT
    Q_PROPERTY(TStrings* Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
public:
    explicit TTestListBox(QObject* parent) : QObject(parent) {}
    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value) { FItems->SetLines(value->Lines()); }
    int ItemIndex() const { return FItemIndex; }
    // A list control loses its selection when its lines are replaced.
    void SetItemIndex(int value) { FItemIndex = value < FItems->Count() ? value : -1; }
    void Changed() { FItemIndex = -1; }

private:
    class TItems : public TStringList {
    public:
        explicit TItems(TTestListBox& box) : FBox(box) {}
        void Put(int index, const std::string& text) override
        {
            TStringList::Put(index, text);
            FBox.Changed();
        }

    private:
        TTestListBox& FBox;
    };
    std::unique_ptr<TStringList> FItems = std::make_unique<TItems>(*this);
    int FItemIndex = -1;
};

class TTestMemo : public QObject {
    Q_OBJECT
    Q_PROPERTY(TStrings* Lines READ Lines WRITE SetLines)
    Q_PROPERTY(bool WordWrap READ WordWrap WRITE SetWordWrap)
public:
    explicit TTestMemo(QObject* parent) : QObject(parent) {}
    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* value) { FLines->SetLines(value->Lines()); }
    bool WordWrap() const { return FWordWrap; }
    void SetWordWrap(bool value)
    {
        FWordWrap = value;
        WrapChanges.push_back(value);
    }
    std::vector<bool> WrapChanges;
    TStringList* Sorted() { return FLines.get(); }

private:
    std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
    bool FWordWrap = false;
};

// A component whose caption setter counts its calls, with an action link.
class TTestControl : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(std::string Hint READ Hint WRITE SetHint)
    Q_PROPERTY(std::string FileName READ FileName WRITE SetFileName)
    Q_PROPERTY(QString ReadOnlyText READ Caption)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(TAction* Action READ Action WRITE SetAction)
    Q_PROPERTY(TTestControl* Child READ Child WRITE SetChild)
public:
    explicit TTestControl(QObject* parent, const char* name) : QObject(parent) { setObjectName(name); }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value)
    {
        FCaption = value;
        ++CaptionWrites;
    }
    std::string Hint() const { return FHint; }
    void SetHint(const std::string& value) { FHint = value; }
    std::string FileName() const { return FFileName; }
    void SetFileName(const std::string& value) { FFileName = value; }
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }
    TAction* Action() const { return FAction; }
    void SetAction(TAction* value) { FAction = value; }
    TTestControl* Child() const { return FChild; }
    void SetChild(TTestControl* value) { FChild = value; }
    int CaptionWrites = 0;

private:
    QString FCaption;
    std::string FHint;
    std::string FFileName;
    int FTag = 0;
    TAction* FAction = nullptr;
    TTestControl* FChild = nullptr;
};

// A window as the program's forms are: it publishes its caption but no font,
// and its lists are plain list widgets given a fixed-pitch font of their own.
class TfMonitorTest : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    TfMonitorTest()
    {
        SetOwnerRoot(this);
        setFont(QFont("Helvetica", 9));
        for (QListWidget** list : {&lbxIn, &lbxOut}) {
            *list = new QListWidget(this);
            (*list)->setFont(QFont("Courier New", 8));
            (*list)->addItem("41 42 0D");
        }
        lbxIn->setObjectName("lbxIn");
        lbxOut->setObjectName("lbxOut");
        lblPlain = new QLabel("Gerät --> PC", this); // takes the window's font
        lblPlain->setObjectName("lblPlain");
    }
    QListWidget* lbxIn;
    QListWidget* lbxOut;
    QLabel* lblPlain;
};

// Owners with properties of other kinds.
class TTagForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
public:
    TTagForm() { SetOwnerRoot(this); }
    int Tag() const { return FTag; }
    void SetTag(int value) { FTag = value; }

private:
    int FTag = 0;
};

class TKindsForm : public QWidget {
    Q_OBJECT
public:
    enum TAlign { alNone, alLeft, alRight };
    Q_ENUM(TAlign)

private:
    Q_PROPERTY(bool Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(double Ratio READ Ratio WRITE SetRatio)
    Q_PROPERTY(qlonglong Big READ Big WRITE SetBig)
    Q_PROPERTY(TAlign Align READ Align WRITE SetAlign)
    Q_PROPERTY(TStrings* Lines READ Lines WRITE SetLines)

public:
    TKindsForm() { SetOwnerRoot(this); }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool value) { FEnabled = value; }
    double Ratio() const { return FRatio; }
    void SetRatio(double value) { FRatio = value; }
    qlonglong Big() const { return FBig; }
    void SetBig(qlonglong value) { FBig = value; }
    TAlign Align() const { return FAlign; }
    void SetAlign(TAlign value) { FAlign = value; }
    TStrings* Lines() const { return FLines.get(); }
    void SetLines(TStrings* value) { FLines->SetLines(value->Lines()); }

private:
    bool FEnabled = true;
    double FRatio = 1;
    qlonglong FBig = 0;
    TAlign FAlign = alNone;
    std::unique_ptr<TStringList> FLines = std::make_unique<TStringList>();
};

namespace {

// A form with a few components and a linked translation component loaded
// from the given lists.
struct TFormWithTexts {
    TTestDataModule DM;
    TfTestForm Form;
    TTestControl* Control;
    TLabel* Label;
    TlcLangLinked* Lang = nullptr;

    explicit TFormWithTexts(const std::string& data, const std::function<void(TlcLangLinked&)>& settings = {})
    {
        Control = new TTestControl(&Form, "ctlOne");
        Label = new TLabel("Name:", &Form);
        Label->setObjectName("lblName");
        auto* lang = new TlcLangLinked(&Form);
        TlcResourceLoading loading;
        loading.Add(*lang);
        lang->SetNumOfLanguages(2);
        lang->SetLangDispatcher(DM.Dispatcher);
        lang->SetLangNames({"Deutsch", "English"});
        lang->SetLanguage("Deutsch");
        if (settings)
            settings(*lang);
        lang->ReadTranslationData(data);
        loading.Finish();
        Lang = lang;
    }
    void Switch(int language) { DM.Dispatcher->SetActiveLanguage(language); }
};

} // namespace

TEST(ApplyTexts, LanguageDialogSwitchesBothWays)
{
    TTestDataModule dm;
    TfLanguage form;
    auto* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher, LoadTranslationResource(":/tests/lc/TfLanguage.dat"));
    ASSERT_EQ(lang->Hints().Count(), 3);
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(form.windowTitle(), "Language");
    EXPECT_EQ(form.Label1->text(), "Language:");
    // Texts of no language are dropped at the first application.
    EXPECT_TRUE(lang->Hints().Empty());
    EXPECT_TRUE(lang->OtherStrings().Empty());
    // Item 0's empty English name leaves its name in place.
    EXPECT_EQ(form.lcLangCombo->LanguageInfos()[0].LanguageName(), "Deutsch");
    EXPECT_EQ(form.lcLangCombo->LanguageInfos()[0].FontName(), "Tahoma");
    dm.Dispatcher->SetActiveLanguage(1);
    EXPECT_EQ(form.windowTitle(), "Sprache");
    EXPECT_EQ(form.Label1->text(), "Sprache:");
}

// A form makes its component in one call: named, linked, loaded from its
// data and already showing the active language; the handler that the
// preparation sets sees the first translation into another language.
TEST(ApplyTexts, AFormsComponentIsMadeFromItsData)
{
    struct Case {
        const char* Name;
        bool Linked;  // to the data module's dispatcher, else alone
        int Language; // the dispatcher's active one
        const char* Label;
    };
    for (const Case& c : {Case{"LinkedInGerman", true, 1, "Sprache:"}, Case{"LinkedInEnglish", true, 2, "Language:"},
                          Case{"AloneTheFirstLanguage", false, 2, "Sprache:"}}) {
        SCOPED_TRACE(c.Name);
        TTestDataModule dm;
        dm.Dispatcher->SetActiveLanguage(c.Language);
        TfLanguage form;
        TlcLangDispatcher* dispatcher = c.Linked ? dm.Dispatcher : nullptr;
        const int linked = dm.Dispatcher->LinkedCount();
        std::vector<int> changes;
        const auto prepare = [&changes](TlcLangLinked& made) {
            EXPECT_EQ(made.LangDispatcher(), nullptr) << "before it loads";
            made.SetOnChangeLanguage([&changes, self = &made](TObject* sender) {
                EXPECT_EQ(sender, static_cast<TObject*>(self));
                changes.push_back(self->ActiveLanguage());
            });
        };
        TlcLangLinked* lang = CreateFormTranslation(&form, dispatcher, ":/tests/lc", "TfLanguage", prepare);
        ASSERT_NE(lang, nullptr);
        EXPECT_EQ(lang->parent(), &form);
        EXPECT_EQ(lang->objectName(), "lcLangLinked");
        EXPECT_FALSE(lang->Loading());
        EXPECT_EQ(lang->LangDispatcher(), dispatcher);
        EXPECT_EQ(dm.Dispatcher->LinkedCount(), linked + (c.Linked ? 1 : 0));
        EXPECT_EQ(lang->LangNames().Lines(), (Lines{"Deutsch", "English"}));
        EXPECT_EQ(form.Label1->text(), c.Label);
        // The first language is what the form shows already: nothing to translate.
        EXPECT_EQ(changes, c.Linked && c.Language == 2 ? std::vector<int>{2} : std::vector<int>{});
    }
    // A form without data raises; its component stays with it, out of the
    // loading state.
    TfLanguage form;
    EXPECT_THROW(CreateFormTranslation(&form, nullptr, ":/tests/lc", "TfMissing"), Exception);
    const auto* left = form.findChild<TlcLangLinked*>("lcLangLinked");
    ASSERT_NE(left, nullptr);
    EXPECT_FALSE(left->Loading());
    EXPECT_EQ(form.Label1->text(), "Sprache:");
}

TEST(ApplyTexts, EmptyEntriesStayWithoutAutoSkipAndWriteNothing)
{
    TTestDataModule dm;
    TfLanguage form;
    form.btnOK->setToolTip("alt");
    auto* lang = new TlcLangLinked(&form);
    TlcResourceLoading loading;
    loading.Add(*lang);
    lang->SetNumOfLanguages(2);
    lang->SetLangDispatcher(dm.Dispatcher);
    lang->SetAutoSkipEmpties(false);
    lang->ReadTranslationData(LoadTranslationResource(":/tests/lc/TfLanguage.dat"));
    loading.Finish();
    dm.Dispatcher->SetActiveLanguage(2);
    // The owner publishes no hint: its line goes aside, the buttons' stay.
    EXPECT_EQ(lang->Hints().Lines(), (Lines{Line({"btnOK", "", ""}), Line({"btnAbort", "", ""})}));
    EXPECT_EQ(form.btnOK->toolTip(), "alt");
    EXPECT_EQ(lang->OtherStrings().Count(), 1);
}

TEST(ApplyTexts, LinesOfMissingComponentsAreSetAside)
{
    TFormWithTexts f(Section("stCaptions", {Line({"TfTestForm", "Titel", "Title"}), Line({"btnGone", "Weg", "Gone"}),
                                            Line({"lblName", "Name:", "Name:"}), Line({"ctlOne", "Eins", "One"})}));
    EXPECT_EQ(f.Lang->SetAsideList(), nullptr);
    f.Switch(2);
    EXPECT_EQ(f.Form.Caption(), "Title");
    EXPECT_EQ(f.Control->Caption(), "One");
    EXPECT_EQ(f.Lang->Captions().Count(), 3);
    ASSERT_NE(f.Lang->SetAsideList(), nullptr);
    EXPECT_EQ(f.Lang->SetAsideList()->Lines(), Lines{Line({"btnGone", "Weg", "Gone"})});
    f.Switch(1);
    EXPECT_EQ(f.Form.Caption(), "Titel");
    EXPECT_EQ(f.Control->Caption(), "Eins");
    EXPECT_EQ(f.Lang->SetAsideList()->Count(), 1); // examined once only
}

TEST(ApplyTexts, SmartExclusionKeepsTheOwnersCaption)
{
    for (bool excluded : {false, true}) {
        TFormWithTexts f(Section("stCaptions", {Line({"TfTestForm", "Titel", "Title"}), Line({"ctlOne", "Eins", "One"})}),
                         [&](TlcLangLinked& lang) {
                             if (excluded)
                                 lang.SetSmartExcludeProps({"TfTestForm.Caption"});
                         });
        f.Form.SetCaption("Titel");
        f.Switch(2);
        EXPECT_EQ(f.Form.Caption(), excluded ? "Titel" : "Title");
        EXPECT_EQ(f.Control->Caption(), "One");
    }
}

TEST(ApplyTexts, UnchangedTextsAreNotWrittenAgain)
{
    TFormWithTexts f(Section("stCaptions", {Line({"ctlOne", "Gleich", "Gleich"})}));
    f.Control->SetCaption("Gleich");
    f.Control->CaptionWrites = 0;
    f.Switch(2);
    f.Switch(1);
    EXPECT_EQ(f.Control->CaptionWrites, 0);
}

TEST(ApplyTexts, ActionLinkedCaptionLosesItsLine)
{
    TFormWithTexts f(Section("stCaptions", {Line({"ctlOne", "Öffnen", "Open"}), Line({"lblName", "Name:", "Name"})}));
    TAction action("Öffnen");
    f.Control->SetAction(&action);
    f.Control->SetCaption("Öffnen");
    ASSERT_TRUE(f.Lang->IsActionLinkedText(f.Control, TStringsType::stCaptions));
    f.Switch(2);
    EXPECT_EQ(f.Control->Caption(), "Öffnen");
    EXPECT_EQ(f.Lang->Captions().Lines(), Lines{Line({"lblName", "Name:", "Name"})});
    // Deleted, not set aside: the action's own translation applies.
    EXPECT_TRUE(f.Lang->SetAsideList()->Empty());
}

TEST(ApplyTexts, DoNotTranslateKeepsTheOwnerOrTheComponent)
{
    const std::string data = Section("stCaptions", {Line({"TfTestForm", "Titel", "Title"}), Line({"ctlOne", "Eins", "One"})});
    for (const std::string& excluded : {std::string("TfTestForm"), std::string("ctlOne")}) {
        TFormWithTexts f(data, [&](TlcLangLinked& lang) { lang.SetDoNotTranslate({excluded}); });
        f.Form.SetCaption("Titel");
        f.Control->SetCaption("Eins");
        TlcExtendedItem& item = f.Lang->ExtendedTranslations()->Add();
        item.Identifier = "ctlOne.Tag";
        item.Values = "1\x01" "2\x01";
        f.Switch(2);
        EXPECT_EQ(f.Form.Caption(), excluded == "TfTestForm" ? "Titel" : "Title") << excluded;
        EXPECT_EQ(f.Control->Caption(), excluded == "ctlOne" ? "Eins" : "One") << excluded;
        EXPECT_EQ(f.Control->Tag(), 2) << excluded;
    }
}

TEST(ApplyTexts, FontsOfControlsThatTakeTheirParentsStayAlone)
{
    TFormWithTexts f(Section("stFonts", {Line({"lblName", "Arial", "Courier"})})
                     + Section("stCharSets", {Line({"lblName", "default_charset", "DEFAULT_CHARSET"})}));
    f.Label->SetParentFont(true);
    f.Switch(2);
    EXPECT_TRUE(f.Label->ParentFont());
    f.Label->SetParentFont(false);
    f.Switch(1);
    EXPECT_EQ(f.Label->font().family(), "Arial");
    EXPECT_FALSE(f.Label->ParentFont());
}

TEST(ApplyTexts, FontsOfWidgetsThatPublishNoneFollowTheLanguage)
{
    TTestDataModule dm;
    TfMonitorTest form;
    auto* lang = LoadLang<TlcLangLinked>(
        &form, dm.Dispatcher,
        Section("stFonts", {Line({"TfMonitorTest", "Helvetica", "Verdana"}), Line({"lbxIn", "Courier New", "Tahoma"}),
                            Line({"lbxOut", "Courier New", "Tahoma"}), Line({"lblPlain", "Arial", "Arial"})})
            + Section("stCharSets", {Line({"TfMonitorTest", "DEFAULT_CHARSET", "DEFAULT_CHARSET"}),
                                     Line({"lbxIn", "DEFAULT_CHARSET", "ANSI_CHARSET"})}));
    EXPECT_FALSE(lang->OwnerHasNoFont());
    struct TCase {
        int Language;
        const char* Owner;
        const char* Lists;
    };
    for (const TCase& c : {TCase{2, "Verdana", "Tahoma"}, TCase{1, "Helvetica", "Courier New"}}) {
        dm.Dispatcher->SetActiveLanguage(c.Language);
        EXPECT_EQ(form.font().family().toStdString(), c.Owner) << c.Language;
        for (QListWidget* list : {form.lbxIn, form.lbxOut}) {
            EXPECT_EQ(list->font().family().toStdString(), c.Lists) << c.Language;
            EXPECT_EQ(list->font().pointSize(), 8); // only the name changes
        }
        // A widget without a font of its own shows the window's.
        EXPECT_EQ(form.lblPlain->font().family().toStdString(), c.Owner) << c.Language;
        EXPECT_FALSE(form.lblPlain->testAttribute(Qt::WA_SetFont));
    }
}

TEST(ApplyTexts, OwnersFontNameFollowsTheLanguage)
{
    TFormWithTexts f(Section("stFonts", {Line({"TfTestForm", "Arial", "Courier"})}));
    f.Switch(2);
    EXPECT_EQ(f.Form.font().family(), "Courier");
    f.Switch(1);
    EXPECT_EQ(f.Form.font().family(), "Arial");
}

TEST(ApplyTexts, StringListsAreRewrittenInPlace)
{
    TTestDataModule dm;
    TfTestForm form;
    auto* box = new TTestListBox(&form);
    box->setObjectName("lbxChoice");
    box->Items()->SetLines({"eins", "zwei", "drei"});
    box->SetItemIndex(1);
    auto* memo = new TTestMemo(&form);
    memo->setObjectName("mmoNotes");
    memo->SetWordWrap(true);
    memo->WrapChanges.clear();
    memo->Sorted()->SetSorted(true);
    memo->Lines()->SetLines({"b", "a"});
    auto* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher,
                                         Section("stMultiLines", {Line({"lbxChoice.Items", "eins,zwei,drei", "one,two"}),
                                                                  Line({"mmoNotes.Lines", "a,b", "\"x y\",c,a"})}));
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(box->Items()->Lines(), (Lines{"one", "two"}));
    EXPECT_EQ(box->ItemIndex(), 1);
    EXPECT_EQ(memo->Lines()->Lines(), (Lines{"a", "c", "x y"})); // sorted again
    EXPECT_TRUE(memo->Sorted()->Sorted());
    EXPECT_EQ(memo->WrapChanges, (std::vector<bool>{false, true}));
    EXPECT_EQ(lang->MultiLines().Count(), 2);
}

TEST(ApplyTexts, RelativePathsDoNotReplaceTheirExpandedForm)
{
    const std::string relative = "../help/tessaro.chm";
    const std::string expanded = (std::filesystem::current_path().parent_path() / "help/tessaro.chm").string();
    struct TCase {
        std::string Current;
        std::string Text;
        std::string After;
    } cases[] = {
        {expanded, relative, expanded},     // already expanded: kept
        {"other.chm", relative, relative},  // else written
        {"a.chm", "b.chm", "b.chm"},        // no ".." : compared unchanged
    };
    for (const TCase& c : cases) {
        TFormWithTexts f(Section("stOtherStrings", {Line({"ctlOne.Hint", "x", c.Text})}));
        f.Control->SetHint(c.Current);
        f.Switch(2);
        EXPECT_EQ(f.Control->Hint(), c.After) << c.Current;
    }
}

TEST(ApplyTexts, OtherStringsReachSubpropertiesAndTheOwner)
{
    TTestDataModule dm;
    TfLanguage form;
    auto* inner = new TTestControl(&form, "ctlInner");
    auto* outer = new TTestControl(&form, "ctlOuter");
    outer->SetChild(inner);
    LoadLang<TlcLangLinked>(&form, dm.Dispatcher,
                            Section("stOtherStrings", {Line({"ctlOuter.Child.Hint", "innen", "inside"}),
                                                       Line({"TfLanguage.HelpFile", "hilfe.chm", "help.chm"}),
                                                       Line({"ctlOuter.ReadOnlyText", "a", "b"})}));
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(inner->Hint(), "inside");
    EXPECT_EQ(form.HelpFile(), "help.chm");
    EXPECT_EQ(outer->Caption(), ""); // no write access: skipped
}

TEST(ApplyTexts, CollectionEntries)
{
    TTestDataModule dm;
    TfLanguage form;
    auto* lang = LoadLang<TlcLangLinked>(
        &form, dm.Dispatcher,
        Section("stCollections", {Line({"lcLangCombo.LanguageInfos[0].FontName", "Tahoma", "Verdana"}),
                                  Line({"lcLangCombo.LanguageInfos[1].LanguageName", "Englisch", "English"}),
                                  Line({"lcLangCombo.LanguageInfos[2].FontName", "Tahoma", "Tahoma"}),
                                  Line({"lcLangCombo.LanguageInfos[3].LanguageName", "x", "y"}),
                                  Line({"lcLangCombo.LanguageInfos[1].NoSuchProperty", "x", "y"}),
                                  Line({"lcGone.LanguageInfos[0].FontName", "x", "y"})}));
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(form.lcLangCombo->LanguageInfos()[0].FontName(), "Verdana");
    EXPECT_EQ(form.lcLangCombo->LanguageInfos()[1].LanguageName(), "English");
    EXPECT_EQ(lang->Collections().Count(), 2);
    EXPECT_EQ(lang->SetAsideList()->Count(), 3);
    dm.Dispatcher->SetActiveLanguage(1);
    EXPECT_EQ(form.lcLangCombo->LanguageInfos()[1].LanguageName(), "Englisch");
    EXPECT_EQ(form.lcLangCombo->ItemText(1), "Englisch");
}

TEST(ApplyTexts, CollectionIndexThatIsNoNumberIsAnError)
{
    TTestDataModule dm;
    TfLanguage form;
    LoadLang<TlcLangLinked>(&form, dm.Dispatcher,
                            Section("stCollections", {Line({"lcLangCombo.LanguageInfos[x].FontName", "a", "b"})}));
    EXPECT_THROW(dm.Dispatcher->SetActiveLanguage(2), EConvertError);
}

TEST(ApplyTexts, LocalesChangeTheFormatSettingsOnlyWhenAsked)
{
    // The second language names the separator this machine does not use.
    const TFormatSettings saved = FormatSettings();
    const char machine = saved.DecimalSeparator;
    const char other = machine == ',' ? '.' : ',';
    for (bool change : {false, true}) {
        FormatSettings() = saved;
        FormatSettings().ShortMonthNames = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
        TTestDataModule dm;
        TfTestForm form;
        TlcLangLinked* linked = LoadLang<TlcLangLinked>(&form, dm.Dispatcher, "");
        linked->SetChangeLocales(change);
        linked->SetLocales({Line({"Decimal Separator", std::string(1, machine), std::string(1, other)}),
                            Line({"Short Month Names", "", "a,b,c,d,e"}), Line({"No Such Setting", "", "x"})});
        dm.Dispatcher->SetActiveLanguage(2);
        EXPECT_EQ(FormatSettings().DecimalSeparator, change ? other : machine);
        EXPECT_EQ(FormatSettings().ShortMonthNames[4], change ? "e" : "5");
        EXPECT_EQ(FormatSettings().ShortMonthNames[5], "6");
    }
    FormatSettings() = saved;
}

TEST(ApplyTexts, EmptyTextsAndTheTranslateType)
{
    struct TCase {
        TTranslateType Type;
        bool TestMode;
        QString Caption;
        std::string Font;
    } cases[] = {
        {TTranslateType::ttNoChange, false, "alt", "Fixed"},
        {TTranslateType::ttGetDefault, false, "Deutsch", "Arial"},
        {TTranslateType::ttNoChange, true, "dEUTSCH", "Fixed"},
    };
    for (const TCase& c : cases) {
        TFormWithTexts f(Section("stCaptions", {Line({"ctlOne", "Deutsch", ""})})
                         + Section("stFonts", {Line({"lblName", "Arial", ""})}));
        f.Lang->SetTranslateType(c.Type);
        f.DM.Dispatcher->TestModeInfo()->SetKind(TTestModeKind::tmkFlipCase);
        f.DM.Dispatcher->TestModeInfo()->SetActive(c.TestMode);
        f.Control->SetCaption("alt");
        f.Label->setFont(QFont("Fixed"));
        f.Switch(2);
        EXPECT_EQ(f.Control->Caption(), c.Caption);
        EXPECT_EQ(f.Label->font().family().toStdString(), c.Font);
    }
}

TEST(ApplyTexts, AssigningAListAppliesThatListOnly)
{
    TFormWithTexts f(Section("stCaptions", {Line({"ctlOne", "Eins", "One"})}));
    f.Switch(2);
    f.Control->SetCaption("x");
    int events = 0;
    f.Lang->SetOnChangeLanguage([&](TObject*) { ++events; });
    f.Lang->SetStrings({Line({"IDS_1", "a", "b"})});
    EXPECT_EQ(f.Control->Caption(), "x");
    EXPECT_EQ(events, 1);
    f.Lang->SetHints({Line({"ctlOne", "Hinweis", "Hint"})});
    EXPECT_EQ(f.Control->Hint(), "Hint");
    EXPECT_EQ(f.Control->Caption(), "x");
    f.Lang->SetCaptions(f.Lang->Captions());
    EXPECT_EQ(f.Control->Caption(), "One");
}

TEST(ApplyTexts, TranslationComponentsAreNeverTargets)
{
    // Texts that would switch the component back from inside its own switch.
    TFormWithTexts f(Section("stOtherStrings", {Line({"lcLang.Language", "English", "Deutsch"}),
                                                Line({"ctlOne.Hint", "a", "b"})}));
    f.Lang->setObjectName("lcLang");
    TlcExtendedItem& item = f.Lang->ExtendedTranslations()->Add();
    item.Identifier = "lcLang.ActiveLanguage";
    item.Values = "2\x01" "1\x01";
    f.Switch(2);
    EXPECT_EQ(f.Lang->ActiveLanguage(), 2);
    EXPECT_EQ(f.Lang->Language(), "English");
    EXPECT_EQ(f.Control->Hint(), "b");
    f.Switch(1);
    EXPECT_EQ(f.Lang->ActiveLanguage(), 1);
    EXPECT_EQ(f.Control->Hint(), "a");
}

TEST(ApplyTexts, EntryTextsAndTheSharedLists)
{
    TTestDataModule dm;
    TfTestForm first;
    TlcLangLinked* withLocales = LoadLang<TlcLangLinked>(&first, dm.Dispatcher, "");
    TfTestForm second;
    TlcLangLinked* lang = LoadLang<TlcLangLinked>(&second, dm.Dispatcher, "");
    lang->SetActiveLanguage(2);
    const TlcStringList list{Line({"a", "eins", "one"}), Line({"b", "zwei", ""})};
    EXPECT_EQ(lang->GetEntryText(list, 0, false), "one");
    EXPECT_EQ(lang->GetEntryText(list, 1, false), "");
    EXPECT_EQ(lang->GetEntryText(list, 1, true), "zwei");
    EXPECT_EQ(lang->GetEntryText(list, 2, true), "");
    EXPECT_EQ(lang->GetEntryText(list, -1, true), "");
    // With the common strings, Locales come from the first linked component
    // that has any (the data module's has none here).
    withLocales->SetLocales({Line({"Decimal Separator", ".", ","})});
    withLocales->SetActiveLanguage(2);
    lang->SetOptions(TlcLangOption::loUseExtCommonStrings);
    ASSERT_TRUE(lang->Locales().Empty());
    EXPECT_EQ(lang->GetEntryText(lang->Locales(), 0, false), ",");
    lang->SetLangDispatcher(nullptr);
    EXPECT_EQ(lang->GetEntryText(lang->Locales(), 0, false), "");
}

TEST(ApplyTexts, BlankCollectionTextsAreEmpty)
{
    TTestDataModule dm;
    TfLanguage form;
    auto* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher,
                                         Section("stCollections", {Line({"lcLangCombo.LanguageInfos[0].FontName", " ", "  "}),
                                                                   Line({"lcLangCombo.LanguageInfos[1].FontName", "", "Arial"})}));
    dm.Dispatcher->SetActiveLanguage(2);
    EXPECT_EQ(lang->Collections().Lines(), Lines{Line({"lcLangCombo.LanguageInfos[1].FontName", "", "Arial"})});
    EXPECT_EQ(form.lcLangCombo->LanguageInfos()[1].FontName(), "Arial");
}

// ---- extended translations ----------------------------------------------------

TEST(ExtendedTranslations, SetPropertiesOfAnyKindByPath)
{
    struct TCase {
        std::string Identifier;
        std::string Values;
        bool UseDefault;
        int Tag;
    } cases[] = {
        {"TTagForm.Tag", "1\x01" "2\x01", false, 2},   // the owner, by its class name
        {"TTagForm.Tag", "1\x01zwei\x01", false, 0},   // no number: unchanged
        {"fTest.Tag", "1\x01" "2\x01", false, 0},      // the owner's name is no component
        {"TTagForm.Tag", "7\x01\x01", true, 7},        // language 1 stands in
        {"TTagForm.Tag", "7\x01\x01", false, 0},
    };
    for (const TCase& c : cases) {
        TTestDataModule dm;
        TTagForm form;
        form.setObjectName("fTest");
        auto* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher, "");
        lang->SetUseDefaultLanguage(c.UseDefault);
        TlcExtendedItem& item = lang->ExtendedTranslations()->Add();
        item.Identifier = c.Identifier;
        item.Values = c.Values;
        dm.Dispatcher->SetActiveLanguage(2);
        EXPECT_EQ(form.Tag(), c.Tag) << c.Identifier << " " << c.Values;
    }
}

TEST(ExtendedTranslations, ItemsKnowTheirOwnersEntries)
{
    TFormWithTexts f("");
    TlcExtendedItem& root = f.Lang->ExtendedTranslations()->Add();
    root.Identifier = "TfTestForm.Caption";
    TlcExtendedItem& other = f.Lang->ExtendedTranslations()->Add();
    other.Identifier = "ctlOne.Caption";
    EXPECT_TRUE(root.IsRoot());
    EXPECT_FALSE(other.IsRoot());
    EXPECT_EQ(other.DisplayName(), "ctlOne.Caption");
    TlcExtendedItem& empty = f.Lang->ExtendedTranslations()->Add();
    EXPECT_EQ(empty.DisplayName(), "TlcExtendedItem");
    root.Values = "a\x01";
    root.PropertyType = TTypeKind::tkWString;
    empty.Assign(root);
    EXPECT_EQ(empty.Identifier, "TfTestForm.Caption");
    EXPECT_EQ(empty.Values, "a\x01");
    EXPECT_EQ(empty.PropertyType, TTypeKind::tkWString);
    EXPECT_TRUE(empty.IsRoot());
}

TEST(ExtendedTranslations, PathsThroughObjectsAndCollections)
{
    TTestDataModule dm;
    TfLanguage form;
    auto* inner = new TTestControl(&form, "ctlInner");
    auto* outer = new TTestControl(&form, "ctlOuter");
    outer->SetChild(inner);
    auto* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher, "");
    struct TCase {
        std::string Path;
        TTypeKind Kind;
        std::string Value;
    } cases[] = {
        {"ctlOuter.Child.Tag", TTypeKind::tkInteger, "0"},
        {"ctlOuter.Child.Caption", TTypeKind::tkWString, ""},
        {"lcLangCombo.LanguageInfos[1].LanguageName", TTypeKind::tkLString, "English"},
        {"lcLangCombo.LanguageInfos[5].LanguageName", TTypeKind::tkUnknown, ""},
        {"ctlOuter.Nothing.Tag", TTypeKind::tkUnknown, ""},
        {"ctlGone.Tag", TTypeKind::tkUnknown, ""},
        {"ctlOuter.Child", TTypeKind::tkUnknown, ""}, // a class property that holds no string list
        {"TfLanguage.HelpFile", TTypeKind::tkLString, ""},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(lang->GetPropertyKindByPath(c.Path), c.Kind) << c.Path;
        EXPECT_EQ(lang->GetPropertyValueByPath(c.Path), c.Value) << c.Path;
    }
    lang->SetPropertyValueByPath("ctlOuter.Child.Tag", "42");
    lang->SetPropertyValueByPath("lcLangCombo.LanguageInfos[1].LanguageName", "Englisch");
    lang->SetPropertyValueByPath("ctlGone.Tag", "1");
    EXPECT_EQ(inner->Tag(), 42);
    EXPECT_EQ(form.lcLangCombo->ItemText(1), "Englisch");
}

TEST(ExtendedTranslations, ValuesOfOtherKindsGoBothWays)
{
    TTestDataModule dm;
    TKindsForm form;
    auto* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher, "");
    struct TCase {
        std::string Path;
        std::string Text;
        std::string Back;
    } cases[] = {
        {"TKindsForm.Enabled", "False", "False"},
        {"TKindsForm.Enabled", "maybe", "False"},
        {"TKindsForm.Ratio", FloatToStr(2.5), FloatToStr(2.5)},
        {"TKindsForm.Ratio", "x", FloatToStr(2.5)},
        {"TKindsForm.Big", "123", "123"},
        {"TKindsForm.Align", "alRight", "alRight"},
        {"TKindsForm.Align", "alNowhere", "alRight"},
        {"TKindsForm.Lines", "a,\"b c\"", "a,\"b c\""},
    };
    for (const TCase& c : cases) {
        lang->SetPropertyValueByPath(c.Path, c.Text);
        EXPECT_EQ(lang->GetPropertyValueByPath(c.Path), c.Back) << c.Path << " " << c.Text;
    }
}

// ---- exclusions --------------------------------------------------------------

TEST(Exclusions, WhichPropertiesAreExcluded)
{
    TFormWithTexts f("", [](TlcLangLinked& lang) {
        lang.SetSmartExcludeProps({"ctlOne.Hint", "!TLabel.Caption", "TfTestForm.Hint"});
    });
    struct TCase {
        std::string Component;
        std::string Path;
        bool Excluded;
    } cases[] = {
        {"ctlOne", "Hint", true},
        {"ctlTwo", "Hint", false},
        {"lblName", "Caption", true},      // every component of that class
        {"ctlOne", "Caption", false},
        {"ctlOne", "FileName", true},       // in ExcludedProperties by default
        {"ctlOne", "Child.FileName", true}, // any segment counts
        {"ctlOne", "Name", true},
        {"ctlOne", "name", false},
    };
    for (const TCase& c : cases)
        EXPECT_EQ(f.Lang->IsPropertyExcluded(c.Component, c.Path), c.Excluded) << c.Component << "." << c.Path;
}

TEST(Exclusions, LoadingPrunesTheLists)
{
    TFormWithTexts f(Section("stCaptions", {Line({"TfTestForm", "Titel", "Title"}), Line({"lblName", "a", "b"}),
                                            Line({"ctlOne", "c", "d"})})
                         + Section("stHints", {Line({"MainStatusBar", "a", "b"}), Line({"ctlOne", "e", "f"})})
                         + Section("stOtherStrings", {Line({"ctlOne.FileName", "a", "b"}), Line({"ctlOne.Hint", "g", "h"})})
                         + Section("stCollections", {Line({"lcLangCombo.LanguageInfos[0].FontName", "a", "b"})}),
                     [](TlcLangLinked& lang) {
                         lang.SetSmartExcludeProps({"MainStatusBar.Hint", "!TLabel.Caption"});
                         TlcStringList excluded = lang.ExcludedProperties();
                         excluded.Add("FontName");
                         lang.SetExcludedProperties(excluded);
                     });
    EXPECT_EQ(f.Lang->Captions().Lines(), (Lines{Line({"TfTestForm", "Titel", "Title"}), Line({"ctlOne", "c", "d"})}));
    EXPECT_EQ(f.Lang->Hints().Lines(), Lines{Line({"ctlOne", "e", "f"})});
    EXPECT_EQ(f.Lang->OtherStrings().Lines(), Lines{Line({"ctlOne.Hint", "g", "h"})});
    EXPECT_TRUE(f.Lang->Collections().Empty());
}

TEST(Exclusions, ExcludedPropertyNamesEmptyWholeLists)
{
    TFormWithTexts f(Section("stCaptions", {Line({"ctlOne", "a", "b"})}) + Section("stFonts", {Line({"ctlOne", "A", "B"})})
                         + Section("stCharSets", {Line({"ctlOne", "ANSI_CHARSET", ""})}),
                     [](TlcLangLinked& lang) { lang.SetExcludedProperties({"Caption", "Font"}); });
    EXPECT_TRUE(f.Lang->Captions().Empty());
    EXPECT_TRUE(f.Lang->Fonts().Empty());
    EXPECT_TRUE(f.Lang->CharSets().Empty());
}

// ---- list upkeep ----------------------------------------------------------------

TEST(ListUpkeep, LanguageColumnsRemovedAndMoved)
{
    const std::string line = Line({"K", "A", "B", "C"});
    EXPECT_EQ(TlcCustomLang::RemoveLanguageField(Line({"K", "A", "B"}), 1, 1), Line({"K", "B", ""}));
    EXPECT_EQ(TlcCustomLang::RemoveLanguageField(line, 3, 1), Line({"K", "A", "B", ""}));
    EXPECT_EQ(TlcCustomLang::MoveLanguageField(line, 1, 3, 1), Line({"K", "B", "C", "A"}));
    EXPECT_EQ(TlcCustomLang::MoveLanguageField(line, 3, 1, 1), Line({"K", "C", "A", "B"}));
    EXPECT_EQ(TlcCustomLang::MoveLanguageField(line, 2, 2, 1), line);
    EXPECT_EQ(TlcCustomLang::MoveLanguageField(line, 1, 9, 1), line);
    TlcStringList list{line, Line({"L", "x", "y", "z"})};
    TlcCustomLang::MoveLanguageField(list, 1, 2, 1);
    EXPECT_EQ(list.Lines(), (Lines{Line({"K", "B", "A", "C"}), Line({"L", "y", "x", "z"})}));
}

TEST(ListUpkeep, ChangeLocalesSeedsAnEmptyListOnce)
{
    TTestDataModule dm;
    TfTestForm form;
    TlcLangLinked* lang = LoadLang<TlcLangLinked>(&form, dm.Dispatcher, "");
    lang->SetChangeLocales(true);
    ASSERT_EQ(lang->Locales().Count(), 15);
    EXPECT_EQ(lang->Locales()[2], Line({"Decimal Separator", lang->CapturedLocale(3)}));
    lang->SetChangeLocales(false);
    lang->SetLocales({Line({"Decimal Separator", ","})});
    lang->SetChangeLocales(true);
    EXPECT_EQ(lang->Locales().Count(), 1);
}

TEST(ListUpkeep, StoringAsUTF8KeepsTheTextsAndClosesEveryLine)
{
    TFormWithTexts f(Section("stCaptions", {"ctlOne\x01Öl\x01Oil"}) + Section("stStrings", {Line({"IDS_1", "Öl", "Oil"})}));
    f.Lang->ExtendedTranslations()->Add().Values = "Öl\x01Oil";
    f.Lang->SetStoreAsUTF8(true);
    EXPECT_EQ(f.Lang->Captions().Lines(), Lines{Line({"ctlOne", "Öl", "Oil"})});
    EXPECT_EQ(f.Lang->ExtendedTranslations()->Items(0).Values, "Öl\x01Oil\x01");
    f.Switch(2);
    EXPECT_EQ(f.Lang->GetTextOrDefault("IDS_1"), "Oil");
    EXPECT_EQ(f.Control->Caption(), "Oil");
}

TEST(CommaText, SplitAndJoin)
{
    struct TCase {
        std::string Text;
        Lines Items;
        std::string Joined; // the items joined again
    } cases[] = {
        {"", {}, ""},
        {"a,b,c", {"a", "b", "c"}, "a,b,c"},
        {"  a , b  ", {"a", "b"}, "a,b"},
        {"a b", {"a", "b"}, "a,b"},                 // a blank separates too
        {"a,,b", {"a", "", "b"}, "a,,b"},            // an empty item in the middle
        {"a,", {"a"}, "a"},                          // none after a last comma
        {"\"x y\",\"say \"\"hi\"\"\"", {"x y", "say \"hi\""}, "\"x y\",\"say \"\"hi\"\"\""},
        {"\"open", {"open"}, "open"},                // a quote that never closes
        {"\"\"", {""}, "\"\""},
        {"Mär,Öl", {"Mär", "Öl"}, "Mär,Öl"},
    };
    for (const TCase& c : cases) {
        EXPECT_EQ(SplitCommaText(c.Text), c.Items) << c.Text;
        EXPECT_EQ(JoinCommaText(c.Items), c.Joined) << c.Text;
        EXPECT_EQ(SplitCommaText(JoinCommaText(c.Items)), c.Items) << c.Text;
    }
}

TEST(PropInfoList, SortedPublishedPropertiesWithoutEvents)
{
    EXPECT_THROW(TlcPropInfoList(nullptr), Exception);
    TTestControl control(nullptr, "c");
    const TlcPropInfoList list(&control);
    std::vector<std::string> names;
    for (int i = 0; i < list.Count(); ++i)
        names.emplace_back(list.Items(i).name());
    EXPECT_EQ(names, (std::vector<std::string>{"Action", "Caption", "Child", "FileName", "Hint", "ReadOnlyText", "Tag"}));
    ASSERT_NE(list.Find("caption"), nullptr);
    EXPECT_STREQ(list.Find("caption")->name(), "Caption");
    EXPECT_EQ(list.Find("objectName"), nullptr);
}

#include "ApplyTextsTest.moc"

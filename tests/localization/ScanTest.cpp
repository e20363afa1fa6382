// Collecting a form's current texts into its translation lists: the lines and
// keys a scan makes, what it leaves alone, the lines it keeps, and the upkeep
// after components are renamed or removed.
#include "TestForms.h"

#include "platform/Classes.h"
#include "platform/StdCtrls.h"

#include <gtest/gtest.h>

#include <QFont>

#include <functional>
#include <memory>

namespace {

using Lines = std::vector<std::string>;

} // namespace

// A button whose caption and hint may be its action's.
class TScanButton : public QObject {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(std::string Hint READ Hint WRITE SetHint)
    Q_PROPERTY(TAction* Action READ Action WRITE SetAction)
public:
    TScanButton(QObject* parent, const char* name) : QObject(parent) { setObjectName(name); }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value) { FCaption = value; }
    std::string Hint() const { return FHint; }
    void SetHint(const std::string& value) { FHint = value; }
    TAction* Action() const { return FAction; }
    void SetAction(TAction* value) { FAction = value; }

private:
    QString FCaption;
    std::string FHint;
    TAction* FAction = nullptr;
};

// A list box: its lines, a text of its own and a text that cannot be set.
class TScanListBox : public QObject {
    Q_OBJECT
    Q_PROPERTY(TStrings* Items READ Items WRITE SetItems)
    Q_PROPERTY(std::string StatusText READ StatusText WRITE SetStatusText)
    Q_PROPERTY(std::string Summary READ Summary)
public:
    TScanListBox(QObject* parent, const char* name) : QObject(parent) { setObjectName(name); }
    TStrings* Items() const { return FItems.get(); }
    void SetItems(TStrings* value) { FItems->SetLines(value->Lines()); }
    std::string StatusText() const { return FStatusText; }
    void SetStatusText(const std::string& value) { FStatusText = value; }
    std::string Summary() const { return "summary"; }

private:
    std::unique_ptr<TStringList> FItems = std::make_unique<TStringList>();
    std::string FStatusText;
};

class TScanColumn : public QObject {
    Q_OBJECT
    Q_PROPERTY(std::string Title READ Title WRITE SetTitle)
    Q_PROPERTY(int Width READ Width WRITE SetWidth)
public:
    std::string Title() const { return FTitle; }
    void SetTitle(const std::string& value) { FTitle = value; }
    int Width() const { return FWidth; }
    void SetWidth(int value) { FWidth = value; }

private:
    std::string FTitle;
    int FWidth = 64;
};

class TScanColumns : public TCollection {
    Q_OBJECT
public:
    int Count() const override { return static_cast<int>(FItems.size()); }
    QObject* Item(int index) override
    {
        return index >= 0 && index < Count() ? FItems[static_cast<size_t>(index)].get() : nullptr;
    }
    TScanColumn& Add(const std::string& title)
    {
        FItems.push_back(std::make_unique<TScanColumn>());
        FItems.back()->SetTitle(title);
        return *FItems.back();
    }

private:
    std::vector<std::unique_ptr<TScanColumn>> FItems;
};

// A grid whose columns are a published collection.
class TScanGrid : public QObject {
    Q_OBJECT
    Q_PROPERTY(TCollection* Columns READ Columns CONSTANT)
public:
    TScanGrid(QObject* parent, const char* name) : QObject(parent) { setObjectName(name); }
    TCollection* Columns() const { return FColumns.get(); }
    TScanColumns& ColumnList() { return *FColumns; }

private:
    std::unique_ptr<TScanColumns> FColumns = std::make_unique<TScanColumns>();
};

// Settings of an editor kept in an object of their own.
class TScanEditProperties : public QObject {
    Q_OBJECT
    Q_PROPERTY(TStrings* Items READ Items)
    Q_PROPERTY(std::string Prompt READ Prompt WRITE SetPrompt)
public:
    TStrings* Items() const { return FItems.get(); }
    std::string Prompt() const { return FPrompt; }
    void SetPrompt(const std::string& value) { FPrompt = value; }

private:
    std::unique_ptr<TStringList> FItems = std::make_unique<TStringList>();
    std::string FPrompt;
};

class TScanEdit : public QObject {
    Q_OBJECT
    Q_PROPERTY(TScanEditProperties* Properties READ Properties CONSTANT)
public:
    TScanEdit(QObject* parent, const char* name) : QObject(parent) { setObjectName(name); }
    TScanEditProperties* Properties() const { return FProperties.get(); }

private:
    std::unique_ptr<TScanEditProperties> FProperties = std::make_unique<TScanEditProperties>();
};

namespace {

// A small form: an action, a label, a button, an action-linked button, a list
// box and a grid with two columns, and its translation component with two
// languages.
struct TScanForm {
    TTestDataModule Dm;
    TfTestForm Form;
    TAction* actSave;
    TLabel* lblName;
    TButton* btnOK;
    TScanButton* btnSave;
    TScanListBox* lstColors;
    TScanGrid* grdChannels;
    TlcLang* Lang;
    std::string Family;

    TScanForm()
    {
        Form.setObjectName("fTestForm");
        Form.SetCaption("Scan");
        actSave = new TAction("Save", &Form);
        actSave->setObjectName("actSave");
        actSave->SetHint("Saves the file");
        lblName = new TLabel("Name:", &Form);
        lblName->setObjectName("lblName");
        btnOK = new TButton("OK", &Form);
        btnOK->setObjectName("btnOK");
        QFont fixed("Courier");
        btnOK->setFont(fixed);
        btnSave = new TScanButton(&Form, "btnSave");
        btnSave->SetAction(actSave);
        btnSave->SetCaption("Save");
        btnSave->SetHint("Saves the file");
        lstColors = new TScanListBox(&Form, "lstColors");
        lstColors->Items()->SetLines({"Red", "Dark Blue"});
        lstColors->SetStatusText("Pick a colour");
        grdChannels = new TScanGrid(&Form, "grdChannels");
        grdChannels->ColumnList().Add("Channel");
        grdChannels->ColumnList().Add("Frequency");
        Lang = LoadLang<TlcLang>(&Form, Dm.Dispatcher, "");
        Family = Form.font().family().toStdString();
    }
};

} // namespace

TEST(Scan, CollectsEveryListOfASmallForm)
{
    TScanForm f;
    f.Lang->CollectTexts();
    const std::string courier = f.btnOK->font().family().toStdString();
    EXPECT_EQ(f.Lang->Captions().Lines(), (Lines{Line({"TfTestForm", "Scan", ""}), Line({"actSave", "Save", ""}),
                                                  Line({"lblName", "Name:", ""}), Line({"btnOK", "OK", ""})}));
    EXPECT_EQ(f.Lang->Hints().Lines(), (Lines{Line({"actSave", "Saves the file", ""})}));
    // Only the button has a font of its own; the label takes the form's.
    EXPECT_EQ(f.Lang->Fonts().Lines(), (Lines{Line({"TfTestForm", f.Family, ""}), Line({"btnOK", courier, ""})}));
    EXPECT_EQ(f.Lang->CharSets().Lines(),
              (Lines{Line({"TfTestForm", "DEFAULT_CHARSET", ""}), Line({"btnOK", "DEFAULT_CHARSET", ""})}));
    EXPECT_EQ(f.Lang->MultiLines().Lines(), (Lines{Line({"lstColors.Items", "Red,\"Dark Blue\"", ""})}));
    // The read-only Summary is not collected.
    EXPECT_EQ(f.Lang->OtherStrings().Lines(), (Lines{Line({"lstColors.StatusText", "Pick a colour", ""})}));
    EXPECT_EQ(f.Lang->Collections().Lines(), (Lines{Line({"grdChannels.Columns[0].Title", "Channel", ""}),
                                                    Line({"grdChannels.Columns[1].Title", "Frequency", ""})}));
    EXPECT_TRUE(f.Lang->DisplayLabels().Empty());
    // The set-aside list lives for one scan only.
    EXPECT_EQ(f.Lang->SetAsideList(), nullptr);
}

TEST(Scan, AScanAfterASwitchKeepsTheOtherLanguages)
{
    TScanForm f;
    f.Lang->CollectTexts();
    f.Lang->SetTranslation(TStringsType::stCaptions, "Abtasten", 2, "TfTestForm");
    f.Lang->SetTranslation(TStringsType::stCaptions, "Bestätigen", 2, "btnOK");
    f.Lang->SetTranslation(TStringsType::stMultiLines, "Rot,Dunkelblau", 2, "lstColors.Items");
    f.Lang->SetTranslation(TStringsType::stCollections, "Kanal", 2, "grdChannels.Columns[0].Title");
    const TlcStringList captions = f.Lang->Captions();
    const TlcStringList multiLines = f.Lang->MultiLines();
    const TlcStringList collections = f.Lang->Collections();
    f.Dm.Dispatcher->SetActiveLanguage(2);
    ASSERT_EQ(f.btnOK->text().toStdString(), "Bestätigen");
    ASSERT_EQ(f.grdChannels->ColumnList().Item(0)->property("Title").value<std::string>(), "Kanal");

    f.Lang->CollectTexts();
    EXPECT_EQ(f.Lang->Captions(), captions);
    EXPECT_EQ(f.Lang->MultiLines(), multiLines);
    EXPECT_EQ(f.Lang->Collections(), collections);
}

TEST(Scan, InTheDesignerTheActiveLanguageTakesTheChangedValue)
{
    TScanForm f;
    f.Lang->SetCaptions({Line({"TfTestForm", "Scan", ""}), Line({"btnOK", "Bestätigen", "OK"}),
                         Line({"lblName", "Name:", ""})});
    f.Lang->SetDesignMode(true);
    f.Lang->SetActiveLanguage(2);
    f.btnOK->setText("Accept");
    f.lblName->setText("Full name:");
    f.Lang->CollectTexts();
    // A non-empty text of the active language is replaced; an empty one
    // stays empty (only the first language takes a value into an empty text).
    EXPECT_EQ(f.Lang->Captions()[1], Line({"btnOK", "Bestätigen", "Accept"}));
    EXPECT_EQ(f.Lang->Captions()[2], Line({"lblName", "Name:", ""}));

    // Outside the designer an existing line is left as it is.
    f.Lang->SetDesignMode(false);
    f.btnOK->setText("Take");
    f.Lang->CollectTexts();
    EXPECT_EQ(f.Lang->Captions()[1], Line({"btnOK", "Bestätigen", "Accept"}));
}

TEST(Scan, SkipsWhatIsNotTranslated)
{
    struct TCase {
        const char* Name;
        std::function<void(TScanForm&)> Setup;
        TStringsType Type;
        Lines Expected;
        // An exclusion also removes lines an earlier scan made; a skipped
        // component's old lines stay until the designer removes them.
        bool ScanBefore = true;
    };
    const std::vector<TCase> cases = {
        {"a class excluded with '!'",
         [](TScanForm& f) { f.Lang->SetDoNotTranslate({"!TLabel"}); }, TStringsType::stCaptions,
         {Line({"TfTestForm", "Scan", ""}), Line({"actSave", "Save", ""}), Line({"btnOK", "OK", ""})}, false},
        {"a component by name",
         [](TScanForm& f) { f.Lang->SetDoNotTranslate({"btnOK"}); }, TStringsType::stCaptions,
         {Line({"TfTestForm", "Scan", ""}), Line({"actSave", "Save", ""}), Line({"lblName", "Name:", ""})}, false},
        {"the owner's caption",
         [](TScanForm& f) { f.Lang->SetSmartExcludeProps({"TfTestForm.Caption"}); }, TStringsType::stCaptions,
         {Line({"actSave", "Save", ""}), Line({"lblName", "Name:", ""}), Line({"btnOK", "OK", ""})}},
        {"one component's property",
         [](TScanForm& f) { f.Lang->SetSmartExcludeProps({"lstColors.StatusText"}); }, TStringsType::stOtherStrings,
         {}},
        {"a property of a whole class",
         [](TScanForm& f) { f.Lang->SetSmartExcludeProps({"!TScanListBox.Items"}); }, TStringsType::stMultiLines,
         {}},
        {"an item property of a collection",
         [](TScanForm& f) { f.Lang->SetSmartExcludeProps({"grdChannels.Title"}); }, TStringsType::stCollections,
         {}},
        {"a whole collection",
         [](TScanForm& f) { f.Lang->SetSmartExcludeProps({"grdChannels.Columns"}); }, TStringsType::stCollections,
         {}},
        {"all hints",
         [](TScanForm& f) { f.Lang->SetExcludedProperties({"Hint"}); }, TStringsType::stHints, {}},
        {"the character sets",
         [](TScanForm& f) { f.Lang->SetExcludedProperties({"Charset"}); }, TStringsType::stCharSets, {}},
        {"a separator of a menu",
         [](TScanForm& f) {
             auto* item = new TMenuItem("-", &f.Form);
             item->setObjectName("mnuSeparator");
         },
         TStringsType::stCaptions,
         {Line({"TfTestForm", "Scan", ""}), Line({"actSave", "Save", ""}), Line({"lblName", "Name:", ""}),
          Line({"btnOK", "OK", ""})}},
        {"an empty caption",
         [](TScanForm& f) { f.lblName->setText(""); }, TStringsType::stCaptions,
         {Line({"TfTestForm", "Scan", ""}), Line({"actSave", "Save", ""}), Line({"btnOK", "OK", ""})}, false},
        {"a component without name",
         [](TScanForm& f) { f.lblName->setObjectName(""); }, TStringsType::stCaptions,
         {Line({"TfTestForm", "Scan", ""}), Line({"actSave", "Save", ""}), Line({"btnOK", "OK", ""})}},
    };
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Name);
        TScanForm f;
        if (c.ScanBefore)
            f.Lang->CollectTexts();
        c.Setup(f);
        f.Lang->CollectTexts();
        EXPECT_EQ(f.Lang->GetListByType(c.Type)->Lines(), c.Expected);
    }
}

TEST(Scan, WithoutSkippingEmptiesAnEmptyCaptionGetsALine)
{
    TScanForm f;
    f.lblName->setText("");
    f.Lang->SetAutoSkipEmpties(false);
    f.Lang->CollectTexts();
    EXPECT_EQ(f.Lang->Captions()[2], Line({"lblName", "", ""}));
}

TEST(Scan, ARecreatedComponentGetsItsOldTextsBack)
{
    TScanForm f;
    f.Lang->CollectTexts();
    f.Lang->SetTranslation(TStringsType::stCaptions, "Bestätigen", 2, "btnOK");
    f.Lang->SetTranslation(TStringsType::stFonts, "Arial", 2, "btnOK");
    // The button is deleted and made again under another name.
    f.btnOK->setObjectName("btnAccept");
    f.Lang->CollectTexts();
    EXPECT_EQ(f.Lang->Captions().Lines(), (Lines{Line({"TfTestForm", "Scan", ""}), Line({"actSave", "Save", ""}),
                                                  Line({"lblName", "Name:", ""}),
                                                  Line({"btnAccept", "OK", "Bestätigen"})}));
    EXPECT_EQ(f.Lang->Fonts()[1], Line({"btnAccept", f.btnOK->font().family().toStdString(), "Arial"}));
    EXPECT_EQ(f.Lang->CharSets().Lines(), (Lines{Line({"TfTestForm", "DEFAULT_CHARSET", ""}),
                                                  Line({"btnAccept", "DEFAULT_CHARSET", ""})}));
    // A set-aside line whose text no component has any more is dropped.
    f.btnOK->setObjectName("btnOther");
    f.btnOK->setText("Other");
    f.Lang->CollectTexts();
    EXPECT_EQ(f.Lang->Captions()[3], Line({"btnOther", "Other", ""}));
}

TEST(Scan, RenamedComponentsTakeTheirLinesAlong)
{
    TScanForm f;
    f.Lang->CollectTexts();
    f.Lang->SetDoNotTranslate({"btnOK", "!TLabel"});
    f.Lang->SetSmartExcludeProps({"btnOK.Hint", "btnOKAY.Hint", "TfTestForm.Hint"});
    f.Lang->ExtendedTranslations()->Add().Identifier = "grdChannels.Tag";
    f.Lang->RenameComponent("btnOK", "btnAccept");
    f.Lang->RenameComponent("grdChannels", "grdFrequencies");
    f.Lang->RenameComponent("fTestForm", "fMain");
    EXPECT_EQ(f.Lang->Captions()[0], Line({"TfMain", "Scan", ""}));
    EXPECT_EQ(f.Lang->Captions()[3], Line({"btnAccept", "OK", ""}));
    EXPECT_EQ(f.Lang->Fonts()[1].substr(0, 10), "btnAccept\x01");
    EXPECT_EQ(f.Lang->Collections()[1], Line({"grdFrequencies.Columns[1].Title", "Frequency", ""}));
    EXPECT_EQ(f.Lang->DoNotTranslate().Lines(), (Lines{"btnAccept", "!TLabel"}));
    EXPECT_EQ(f.Lang->SmartExcludeProps().Lines(), (Lines{"btnAccept.Hint", "btnOKAY.Hint", "TfMain.Hint"}));
    EXPECT_EQ(f.Lang->ExtendedTranslations()->Items(0).Identifier, "grdFrequencies.Tag");
    // An empty new name changes nothing.
    f.Lang->RenameComponent("btnAccept", "");
    EXPECT_EQ(f.Lang->Captions()[3], Line({"btnAccept", "OK", ""}));
}

TEST(Scan, RemovedComponentsLoseTheirLinesOnlyInTheDesigner)
{
    TScanForm f;
    f.Lang->CollectTexts();
    TlcStringList collections = f.Lang->Collections();
    TlcStringList captions = f.Lang->Captions();
    f.Lang->RemoveComponentEntries(collections, f.grdChannels, TStringsType::stCollections,
                                   TlcCustomLang::TOperation::opRemove);
    EXPECT_EQ(collections.Count(), 2);
    f.Lang->SetDesignMode(true);
    f.Lang->RemoveComponentEntries(collections, f.grdChannels, TStringsType::stCollections,
                                   TlcCustomLang::TOperation::opInsert);
    EXPECT_EQ(collections.Count(), 2);
    f.Lang->RemoveComponentEntries(collections, f.grdChannels, TStringsType::stCollections,
                                   TlcCustomLang::TOperation::opRemove);
    EXPECT_TRUE(collections.Empty());
    f.Lang->RemoveComponentEntries(captions, &f.Form, TStringsType::stCaptions, TlcCustomLang::TOperation::opRemove);
    EXPECT_EQ(captions.Lines(), (Lines{Line({"actSave", "Save", ""}), Line({"lblName", "Name:", ""}),
                                       Line({"btnOK", "OK", ""})}));
}

TEST(Scan, ExcludingComponentsInTheDesignerRemovesTheirLines)
{
    TScanForm f;
    f.Lang->CollectTexts();
    const TlcStringList captions = f.Lang->Captions();
    f.Lang->SetDoNotTranslate({"btnOK", "!TLabel"});
    EXPECT_EQ(f.Lang->Captions(), captions);
    f.Lang->SetDesignMode(true);
    f.Lang->SetDoNotTranslate({"btnOK", "!TLabel", "TfTestForm"});
    EXPECT_EQ(f.Lang->Captions().Lines(), (Lines{Line({"actSave", "Save", ""})}));
    EXPECT_EQ(f.Lang->Fonts().Lines(), Lines{});
    EXPECT_EQ(f.Lang->CharSets().Lines(), Lines{});
}

TEST(Scan, ExtendedTranslationsTakeTheCurrentValue)
{
    TScanForm f;
    f.Lang->SetActiveLanguage(2);
    auto add = [&](const char* identifier, const char* values) {
        TlcExtendedItem& item = f.Lang->ExtendedTranslations()->Add();
        item.Identifier = identifier;
        item.Values = values;
    };
    add("grdChannels.Columns[1].Width", "64\x01" "80\x01");
    add("grdChannels.Columns[5].Width", "1\x01" "2\x01");   // no such item
    add("lstColors.Height", "1\x01" "2\x01");               // no such property
    add("lstColors.StatusText", "Farbe\x01" "Pick a colour\x01");
    f.Lang->CollectTexts();
    ASSERT_EQ(f.Lang->ExtendedTranslations()->Count(), 2);
    EXPECT_EQ(f.Lang->ExtendedTranslations()->Items(0).Values, "64\x01" "64\x01");
    EXPECT_EQ(f.Lang->ExtendedTranslations()->Items(1).Values, "Farbe\x01" "Pick a colour\x01");
}

TEST(Scan, TheSettingsObjectOfAnEditorIsCollected)
{
    TScanForm f;
    auto* edit = new TScanEdit(&f.Form, "edtMode");
    edit->Properties()->Items()->SetLines({"Fast", "Slow"});
    edit->Properties()->SetPrompt("Choose");
    f.Lang->CollectTexts();
    EXPECT_EQ(f.Lang->MultiLines().Lines(), (Lines{Line({"lstColors.Items", "Red,\"Dark Blue\"", ""}),
                                                   Line({"edtMode.Properties.Items", "Fast,Slow", ""})}));
    EXPECT_EQ(f.Lang->OtherStrings().Lines(), (Lines{Line({"lstColors.StatusText", "Pick a colour", ""}),
                                                     Line({"edtMode.Properties.Prompt", "Choose", ""})}));
    f.Lang->SetSmartExcludeProps({"edtMode.Properties.Items"});
    EXPECT_EQ(f.Lang->MultiLines().Lines(), (Lines{Line({"lstColors.Items", "Red,\"Dark Blue\"", ""})}));
}

TEST(Scan, DeletingByKeyTakesOnlyThatItemOrProperty)
{
    TScanForm f;
    TlcStringList collections{Line({"grd.Columns[1].Title", "A", ""}), Line({"grd.Columns[10].Title", "B", ""}),
                              Line({"grd.Columns[1].Hint", "C", ""})};
    f.Lang->DeleteEntriesByKey(collections, "grd.Columns[1]", TStringsType::stCollections, "Title");
    EXPECT_EQ(collections.Lines(), (Lines{Line({"grd.Columns[10].Title", "B", ""}), Line({"grd.Columns[1].Hint", "C", ""})}));
    TlcStringList other{Line({"lst.Status", "A", ""}), Line({"lst.StatusText", "B", ""})};
    f.Lang->DeleteEntriesByKey(other, "lst", TStringsType::stOtherStrings, "Status");
    EXPECT_EQ(other.Lines(), (Lines{Line({"lst.StatusText", "B", ""})}));
}

TEST(Scan, RaisingIsRestoredAndTransientComponentsAreNotScanned)
{
    TScanForm f;
    f.Lang->SetDoRaiseExceptions(true);
    f.Lang->CollectTexts();
    EXPECT_TRUE(f.Lang->DoRaiseExceptions());
    EXPECT_EQ(f.Lang->FindSetAsideLine("OK"), "");
    EXPECT_EQ(f.Lang->GetFontName(f.lstColors), "");
    EXPECT_EQ(f.Lang->GetFontCharset(f.lstColors), 0);
    EXPECT_EQ(f.Lang->GetFontCharset(f.btnOK), DEFAULT_CHARSET);

    // A component the engine reads a file into leaves its owner's texts alone.
    TScanForm transient;
    transient.Lang->SetTransient(true);
    transient.Lang->CollectTexts();
    EXPECT_TRUE(transient.Lang->Captions().Empty());
    EXPECT_TRUE(transient.Lang->Hints().Empty());
    EXPECT_TRUE(transient.Lang->Fonts().Empty());
    EXPECT_FALSE(f.Lang->Captions().Empty());
}

#include "ScanTest.moc"

// What the engine takes from the platform's components: owners, names and
// published properties.
#include "tests/localization/TestForms.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

TEST(Components, OwnersAreTheNearestRootAbove)
{
    TfTestForm form;
    form.setObjectName("fMain");
    auto* panel = new QWidget(&form);
    panel->setObjectName("pnlTop");
    auto* label = new QLabel(panel);
    label->setObjectName("Label1");
    auto* inner = new TfTestForm(&form); // a form inside a form is owned, its components are not
    inner->setObjectName("fInner");
    auto* innerButton = new QWidget(inner);
    innerButton->setObjectName("btnOK");

    EXPECT_EQ(OwnerOf(label), &form);
    EXPECT_EQ(OwnerOf(inner), &form);
    EXPECT_EQ(OwnerOf(innerButton), inner);
    EXPECT_EQ(OwnerOf(&form), nullptr);
    EXPECT_EQ(OwnedComponents(&form), (std::vector<QObject*>{panel, label, inner}));
    EXPECT_EQ(FindComponent(&form, "label1"), label);
    EXPECT_EQ(FindComponent(&form, "btnOK"), nullptr);
    EXPECT_EQ(FindComponent(&form, ""), nullptr);
    EXPECT_EQ(ClassNameOf(&form), "TfTestForm");

    SetOwnerRoot(panel);
    EXPECT_EQ(OwnerOf(label), panel);
    SetOwnerRoot(panel, false);
    EXPECT_EQ(OwnerOf(label), &form);
}

TEST(Components, PublishedPropertiesBeginWithACapital)
{
    TfTestForm form;
    QMetaProperty property;
    ASSERT_TRUE(FindPublishedProperty(&form, "caption", &property));
    EXPECT_STREQ(property.name(), "Caption");
    EXPECT_EQ(PropertyKind(property), TTypeKind::tkWString);
    EXPECT_FALSE(FindPublishedProperty(&form, "objectName", nullptr)); // Qt's own are not published
    EXPECT_FALSE(FindPublishedProperty(&form, "windowTitle", nullptr));

    TlcLang lang(nullptr);
    struct TCase {
        const char* Name;
        TTypeKind Kind;
    };
    const TCase cases[] = {
        {"NumOfLanguages", TTypeKind::tkInteger}, {"ChangeLocales", TTypeKind::tkEnumeration},
        {"Language", TTypeKind::tkLString},        {"LangDispatcher", TTypeKind::tkClass},
        {"TranslateType", TTypeKind::tkEnumeration},
    };
    for (const TCase& c : cases) {
        ASSERT_TRUE(FindPublishedProperty(&lang, c.Name, &property)) << c.Name;
        EXPECT_EQ(PropertyKind(property), c.Kind) << c.Name;
    }
    EXPECT_EQ(lang.GetStrPropAnsi(&lang, property), "");
    form.SetCaption("Größe");
    ASSERT_TRUE(FindPublishedProperty(&form, "Caption", &property));
    EXPECT_EQ(lang.GetStrPropAnsi(&form, property), "Größe");
    EXPECT_EQ(lang.GetStrPropAnsi(nullptr, property), "");
}

TEST(Components, AComponentThatGoesLeavesTheTranslationComponent)
{
    TfTestForm form;
    auto* panel = new QWidget(&form);
    panel->setObjectName("pnlTop");
    auto* button = new QPushButton("OK", panel);
    button->setObjectName("btnOK");
    auto* kept = new QLabel(&form);
    kept->setObjectName("lblKept");
    auto* lang = LoadLang<TlcLangLinked>(&form, nullptr, {});
    // Made after the translation component, inside a component made later still.
    auto* box = new QWidget(panel);
    auto* late = new QLabel(box);
    late->setObjectName("lblLate");
    // A form inside the form owns its own components.
    auto* inner = new TfTestForm(&form);
    inner->setObjectName("fInner");
    auto* innerLabel = new QLabel(inner);
    innerLabel->setObjectName("lblInner");

    lang->SetDoNotTranslate({"btnOK", "lblKept", "LBLLATE", "lblInner", "fInner"});
    for (const char* identifier : {"btnOK.Caption", "btnOK.Font.Name", "btnOKAY.Caption", "lblLate.Hint",
                                   "lblKept.Caption", "lblInner.Caption", "TfTestForm.Caption"}) {
        TlcExtendedItem& item = lang->ExtendedTranslations()->Add();
        item.Identifier = identifier;
        item.Values = "a\x01b\x01";
    }
    auto identifiers = [lang] {
        std::vector<std::string> out;
        for (int i = 0; i < lang->ExtendedTranslations()->Count(); ++i)
            out.push_back(lang->ExtendedTranslations()->Items(i).Identifier);
        return out;
    };

    // Moved within the form: still the form's component.
    button->setParent(&form);
    EXPECT_EQ(lang->DoNotTranslate().Count(), 5);

    delete button;
    EXPECT_EQ(lang->DoNotTranslate().Lines(), (std::vector<std::string>{"lblKept", "LBLLATE", "lblInner", "fInner"}));
    EXPECT_EQ(identifiers(), (std::vector<std::string>{"btnOKAY.Caption", "lblLate.Hint", "lblKept.Caption",
                                                       "lblInner.Caption", "TfTestForm.Caption"}));
    delete box; // takes lblLate with it
    delete innerLabel; // the inner form's, not this form's
    EXPECT_EQ(lang->DoNotTranslate().Lines(), (std::vector<std::string>{"lblKept", "lblInner", "fInner"}));
    EXPECT_EQ(identifiers(),
              (std::vector<std::string>{"btnOKAY.Caption", "lblKept.Caption", "lblInner.Caption", "TfTestForm.Caption"}));
    delete inner;
    EXPECT_EQ(lang->DoNotTranslate().Lines(), (std::vector<std::string>{"lblKept", "lblInner"}));
}

} // namespace

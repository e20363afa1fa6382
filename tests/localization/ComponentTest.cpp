// What the engine takes from the platform's components: owners, names and
// published properties.
#include "tests/localization/TestForms.h"

#include <QLabel>

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

} // namespace

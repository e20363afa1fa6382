// The colour scheme: both palettes value by value, read through the
// meta-object system by property name as the localization engine and the
// shell read them; switching between the palettes; the published layout; and
// the resolution of colour values for painting.
#include "controls/Zor_Pattern.h"

#include <QGuiApplication>
#include <QMetaEnum>
#include <QMetaProperty>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

using Values = std::map<std::string, qint64>;

// Every property of an object below QObject's own, by name; enumerations as
// their numbers.
Values ReadProperties(const QObject& Object)
{
    Values Result;
    const QMetaObject* Meta = Object.metaObject();
    for (int i = QObject::staticMetaObject.propertyCount(); i < Meta->propertyCount(); ++i) {
        const QMetaProperty Property = Meta->property(i);
        const QVariant Value = Property.read(&Object);
        EXPECT_TRUE(Value.isValid()) << Property.name();
        Result[Property.name()] = Property.isEnumType() ? Value.toInt() : Value.toLongLong();
    }
    return Result;
}

std::vector<std::string> PropertyNames(const QMetaObject& Meta, int From)
{
    std::vector<std::string> Names;
    for (int i = From; i < Meta.propertyCount(); ++i)
        Names.push_back(Meta.property(i).name());
    return Names;
}

QObject* SetByName(const TZor_Pattern& Pattern, const char* Name)
{
    const int Index = Pattern.metaObject()->indexOfProperty(Name);
    if (Index < 0)
        return nullptr;
    return qvariant_cast<QObject*>(Pattern.metaObject()->property(Index).read(&Pattern));
}

bool WriteProperty(QObject& Object, const char* Name, const QVariant& Value)
{
    const int Index = Object.metaObject()->indexOfProperty(Name);
    return Index >= 0 && Object.metaObject()->property(Index).write(&Object, Value);
}

// ---- the two palettes as the scheme's tables give them -------------------

struct ColorRow {
    const char* State;
    TColor System, Maker, SystemFont, MakerFont;
};

struct BevelRow {
    const char* State;
    TBorderStyle SystemBorder, MakerBorder;
    TBevelCut SystemOuter, MakerOuter;
    TBevelCut SystemInner, MakerInner;
    TBevelKind SystemKind, MakerKind;
};

struct FixedRow {
    const char* State;
    TColor System, Maker;
};

struct Gradient {
    TColor SystemStart, MakerStart, SystemEnd, MakerEnd;
};

struct SetCase {
    const char* Set;
    std::vector<ColorRow> Colors;
    std::vector<BevelRow> Bevels;
    std::vector<FixedRow> Fixed;
    std::optional<Gradient> Gradients;
};

// Failure messages name the set.
void PrintTo(const SetCase& Case, std::ostream* Out)
{
    *Out << Case.Set;
}

using enum TBorderStyle;
using enum TBevelCut;
using enum TBevelKind;

std::vector<BevelRow> SameBevels(TBorderStyle SB, TBorderStyle MB, TBevelCut SO, TBevelCut MO, TBevelCut SI,
                                 TBevelCut MI, TBevelKind SK, TBevelKind MK)
{
    std::vector<BevelRow> Rows;
    for (const char* State : {"Enabled", "Disabled", "Information", "Error", "Ok", "Active"})
        Rows.push_back({State, SB, MB, SO, MO, SI, MI, SK, MK});
    return Rows;
}

const std::vector<SetCase>& Palettes()
{
    static const std::vector<SetCase> Cases = {
        {"Edit",
         {
             {"Enabled", clWindow, 0x00FFFFFF, clWindowText, 0x00000000},
             {"Disabled", clBtnFace, 0x00FFFFFF, clWindowText, 0x00808080},
             {"Information", clBtnFace, 0x00FFCACA, clWindowText, 0x00000000},
             {"Error", clBtnFace, 0x00B3B3FF, clWindowText, 0x00000000},
             {"Ok", clBtnFace, 0x00DFFFDF, clWindowText, 0x00000000},
             {"Active", clWindow, 0x00AEFFFF, clWindowText, 0x00000000},
         },
         SameBevels(bsSingle, bsNone, bvLowered, bvRaised, bvRaised, bvNone, bkNone, bkFlat),
         {},
         std::nullopt},
        {"Panel",
         {
             {"Enabled", clBtnFace, clBtnFace, clWindowText, 0x00000000},
             {"Disabled", clBtnFace, clBtnFace, clWindowText, 0x007F7F7F},
             {"Information", clBtnFace, 0x00FFCACA, clWindowText, 0x00000000},
             {"Error", clBtnFace, 0x00B3B3FF, clWindowText, 0x00000000},
             {"Ok", clBtnFace, 0x00DFFFDF, clWindowText, 0x00000000},
             {"Active", clBtnFace, 0x00AEFFFF, clWindowText, 0x00000000},
         },
         {}, // created with bevels that stay none
         {},
         std::nullopt},
        {"Labels",
         {
             {"Enabled", clBtnFace, clBtnFace, clWindowText, 0x00000000},
             {"Disabled", clBtnFace, clBtnFace, clWindowText, 0x007F7F7F},
             {"Information", clInfoBk, 0x00F0CAA6, clInfoText, 0x00000000},
             {"Error", clBtnFace, 0x00B3B3FF, clWindowText, 0x00000000},
             {"Ok", clBtnFace, 0x00DFFFDF, clWindowText, 0x00000000},
             {"Active", clBtnFace, 0x00AEFFFF, clWindowText, 0x00000000},
         },
         {
             {"Enabled", bsNone, bsNone, bvLowered, bvRaised, bvRaised, bvNone, bkNone, bkFlat},
             {"Disabled", bsNone, bsNone, bvLowered, bvRaised, bvRaised, bvNone, bkNone, bkFlat},
             {"Information", bsNone, bsNone, bvLowered, bvRaised, bvRaised, bvNone, bkFlat, bkFlat},
             {"Error", bsNone, bsNone, bvLowered, bvRaised, bvRaised, bvNone, bkNone, bkFlat},
             {"Ok", bsNone, bsNone, bvLowered, bvRaised, bvRaised, bvNone, bkNone, bkFlat},
             {"Active", bsNone, bsNone, bvRaised, bvRaised, bvRaised, bvNone, bkNone, bkFlat},
         },
         {},
         std::nullopt},
        {"Grid",
         {
             {"Enabled", clWindow, 0x00F0FBFF, clWindowText, 0x00000000},
             {"Disabled", clWindow, 0x00DADADA, clWindowText, 0x007F7F7F},
             {"Information", clInfoBk, 0x00F0CAA6, clWindowText, 0x00000000},
             {"Error", clWindow, 0x00B3B3FF, clWindowText, 0x00000000},
             {"Ok", clWindow, 0x00DFFFDF, clWindowText, 0x00000000},
             {"Active", clHighlight, 0x00AEFFFF, clHighlightText, 0x00000000},
         },
         SameBevels(bsSingle, bsSingle, bvNone, bvNone, bvNone, bvNone, bkNone, bkNone),
         {
             {"Enabled", clBtnFace, 0x00F0CAA6},
             {"Disabled", clBtnFace, 0x00C8D0D4},
             {"Information", clBtnFace, 0x00C8D0D4},
             {"Error", clBtnFace, 0x00C8D0D4},
             {"Ok", clBtnFace, 0x00C8D0D4},
             {"Active", clBtnFace, 0x00C8D0D4},
         },
         std::nullopt},
        {"Shape",
         {
             {"Enabled", 0x00FFFFFF, 0x00FFFFFF, 0x00000000, 0x00000000},
             {"Disabled", 0x00DADADA, 0x00DADADA, 0x007F7F7F, 0x007F7F7F},
             {"Information", clInfoBk, 0x00F0CAA6, 0x00000000, 0x00000000},
             {"Error", 0x00B3B3FF, 0x00B3B3FF, 0x00000000, 0x00000000},
             {"Ok", 0x00DFFFDF, 0x00DFFFDF, 0x00000000, 0x00000000},
             {"Active", 0x00AEFFFF, 0x00AEFFFF, 0x00000000, 0x00000000},
         },
         {},
         {},
         std::nullopt},
        {"Button",
         {
             {"Enabled", clBtnShadow, 0x00733800, clWindowText, 0x00000000},
             {"Disabled", clBtnShadow, 0x00808080, clInactiveCaptionText, 0x00808080},
             {"Information", clBtnShadow, 0x0095C8FF, clWindowText, 0x00FF0000},
             {"Error", clBtnShadow, 0x000000FF, clWindowText, 0x00000000},
             {"Ok", clBtnShadow, 0x00008000, clWindowText, 0x00008000},
             {"Active", clBtnShadow, 0x00FF0000, clWindowText, 0x00000000},
         },
         {},
         {},
         Gradient{clBtnHighlight, 0x00FFFFFF, clBtnFace, 0x00E9EDF1}},
        {"Bevel",
         {
             {"Enabled", 0x00FFFFFF, 0x00FFFFFF, clWindowText, 0x00808080},
             {"Disabled", 0x00C0C0C0, 0x00C0C0C0, clWindowText, 0x00808080},
             {"Information", 0x00D2FFFF, 0x00D2FFFF, clWindowText, 0x00F0CAA6},
             {"Error", 0x00D5D5FF, 0x00D5D5FF, clWindowText, 0x000000FF},
             {"Ok", 0x00DDFFDD, 0x00DDFFDD, clWindowText, 0x00008000},
             {"Active", 0x00FFFFFF, 0x00FFFFFF, clWindowText, 0x00C0C0C0},
         },
         {},
         {},
         std::nullopt},
        {"Form",
         {
             {"Enabled", clBtnFace, 0x00C0C0C0, clWindowText, 0x00000000},
             {"Disabled", clBtnFace, 0x00C0C0C0, clWindowText, 0x007F7F7F},
             {"Information", clBtnFace, 0x00F0CAA6, clWindowText, 0x00000000},
             {"Error", clBtnFace, 0x00B3B3FF, clWindowText, 0x00000000},
             {"Ok", clBtnFace, 0x00DFFFDF, clWindowText, 0x00000000},
             {"Active", clBtnFace, 0x00AEFFFF, clWindowText, 0x00000000},
         },
         {},
         {},
         std::nullopt},
        {"MainForm",
         {
             {"Enabled", clBtnFace, 0x00808080, clWindowText, 0x00000000},
             {"Disabled", clBtnFace, 0x00C0C0C0, clWindowText, 0x007F7F7F},
             {"Information", clBtnFace, 0x00F0CAA6, clWindowText, 0x00000000},
             {"Error", clBtnFace, 0x00B3B3FF, clWindowText, 0x00000000},
             {"Ok", clBtnFace, 0x00DFFFDF, clWindowText, 0x00000000},
             {"Active", clBtnFace, 0x00AEFFFF, clWindowText, 0x00000000},
         },
         {},
         {},
         std::nullopt},
        {"ChildForm",
         {
             {"Enabled", clBtnFace, 0x00C8D0D4, clWindowText, 0x00000000},
             {"Disabled", clBtnFace, 0x00C0C0C0, clWindowText, 0x007F7F7F},
             {"Information", clBtnFace, 0x00F0CAA6, clWindowText, 0x00000000},
             {"Error", clBtnFace, 0x00B3B3FF, clWindowText, 0x00000000},
             {"Ok", clBtnFace, 0x00DFFFDF, clWindowText, 0x00000000},
             {"Active", clBtnFace, 0x00AEFFFF, clWindowText, 0x00000000},
         },
         {},
         {},
         std::nullopt},
        {"Direct",
         {
             {"Enabled", clInfoBk, 0x00C0DCC0, clInfoText, 0x00000000},
             {"Disabled", clInfoBk, 0x00C0DCC0, clInfoText, 0x00000000},
             {"Information", clInfoBk, 0x00C0DCC0, clInfoText, 0x00000000},
             {"Error", clInfoBk, 0x000000FF, clInfoText, 0x00000000},
             {"Ok", clInfoBk, 0x00C0DCC0, clInfoText, 0x00000000},
             {"Active", clInfoBk, 0x00C0DCC0, clInfoText, 0x00000000},
         },
         {},
         {},
         std::nullopt},
    };
    return Cases;
}

// The value of every tabled property of a set in one palette. Properties the
// table does not name are expected to read 0.
Values Expected(const SetCase& Case, bool System)
{
    Values Result;
    for (const ColorRow& Row : Case.Colors) {
        Result[Row.State] = System ? Row.System : Row.Maker;
        Result[std::string(Row.State) + "Font"] = System ? Row.SystemFont : Row.MakerFont;
    }
    for (const BevelRow& Row : Case.Bevels) {
        const std::string State = Row.State;
        Result[State + "BorderStyle"] = static_cast<int>(System ? Row.SystemBorder : Row.MakerBorder);
        Result[State + "BevelOuter"] = static_cast<int>(System ? Row.SystemOuter : Row.MakerOuter);
        Result[State + "BevelInner"] = static_cast<int>(System ? Row.SystemInner : Row.MakerInner);
        Result[State + "BevelKind"] = static_cast<int>(System ? Row.SystemKind : Row.MakerKind);
    }
    for (const FixedRow& Row : Case.Fixed)
        Result[std::string(Row.State) + "FixedColor"] = System ? Row.System : Row.Maker;
    if (Case.Gradients) {
        Result["GradientStart"] = System ? Case.Gradients->SystemStart : Case.Gradients->MakerStart;
        Result["GradientEnd"] = System ? Case.Gradients->SystemEnd : Case.Gradients->MakerEnd;
    }
    return Result;
}

// Checks one set of the scheme against the table of one palette: every
// tabled value, every property the table leaves out reads 0, and the table
// names no property the set lacks.
void ExpectSetHolds(const TZor_Pattern& Pattern, const SetCase& Case, bool System)
{
    SCOPED_TRACE(std::string(Case.Set) + (System ? " (system palette)" : " (maker's palette)"));
    const QObject* Set = SetByName(Pattern, Case.Set);
    ASSERT_NE(Set, nullptr);
    const Values Actual = ReadProperties(*Set);
    const Values Wanted = Expected(Case, System);
    for (const auto& [Name, Value] : Wanted)
        EXPECT_TRUE(Actual.count(Name)) << "no property " << Name;
    for (const auto& [Name, Value] : Actual) {
        const auto Found = Wanted.find(Name);
        const qint64 Want = Found == Wanted.end() ? 0 : Found->second;
        EXPECT_EQ(Value, Want) << Name << " reads 0x" << std::hex << Value << ", wanted 0x" << Want;
    }
}

void ExpectPaletteHolds(const TZor_Pattern& Pattern, bool System)
{
    EXPECT_EQ(Pattern.UseWindowsDefaults(), System);
    EXPECT_EQ(Pattern.property("TransparentColor").toLongLong(), 0x00963296);
    for (const SetCase& Case : Palettes())
        ExpectSetHolds(Pattern, Case, System);
}

class PaletteTable : public testing::TestWithParam<std::tuple<SetCase, bool>> {};

TEST_P(PaletteTable, EveryValueOfTheSetIsAsTabled)
{
    const auto& [Case, System] = GetParam();
    TZor_Pattern Pattern;
    Pattern.SetUseWindowsDefaults(System);
    ExpectSetHolds(Pattern, Case, System);
}

INSTANTIATE_TEST_SUITE_P(BothPalettes, PaletteTable, testing::Combine(testing::ValuesIn(Palettes()), testing::Bool()),
                         [](const testing::TestParamInfo<PaletteTable::ParamType>& Info) {
                             return std::string(std::get<0>(Info.param).Set) +
                                    (std::get<1>(Info.param) ? "_System" : "_Maker");
                         });

// ---- construction and switching ------------------------------------------

TEST(ZorPatternSwitching, ANewSchemeHoldsTheMakersPaletteWithTheFlagFalse)
{
    TZor_Pattern Pattern;
    ExpectPaletteHolds(Pattern, false);
}

// Hand-made changes to tabled and untabled values of several sets.
struct HandChange {
    const char* Set; // nullptr: the scheme itself
    const char* Property;
    qint64 Value;
    bool Tabled; // a switch of palette overwrites it
};

const std::vector<HandChange> HandChanges = {
    {"Edit", "Enabled", 0x00123456, true},
    {"Edit", "ActiveBevelKind", static_cast<int>(bkSoft), true},
    {"Grid", "OkFixedColor", 0x00010203, true},
    {"Button", "GradientEnd", 0x00ABCDEF, true},
    {"Direct", "ErrorFont", 0x00FEDCBA, true},
    {nullptr, "TransparentColor", 0x00112233, true},
    {"Form", "GradientStart", 0x00445566, false},
    {"Panel", "OkBorderStyle", static_cast<int>(bsSingle), false},
};

class ZorPatternHandChanges : public testing::TestWithParam<bool> {
protected:
    void SetUp() override
    {
        Pattern.SetUseWindowsDefaults(GetParam());
        for (const HandChange& Change : HandChanges) {
            QObject* Target = Change.Set ? SetByName(Pattern, Change.Set) : &Pattern;
            ASSERT_NE(Target, nullptr);
            ASSERT_TRUE(WriteProperty(*Target, Change.Property, QVariant::fromValue(Change.Value)))
                << Change.Property;
        }
    }

    qint64 Read(const HandChange& Change)
    {
        QObject* Target = Change.Set ? SetByName(Pattern, Change.Set) : &Pattern;
        return ReadProperties(*Target).at(Change.Property);
    }

    // Puts back 0 where neither palette writes, so a whole palette can be
    // compared.
    void ForgetUntabledChanges()
    {
        for (const HandChange& Change : HandChanges) {
            if (Change.Tabled)
                continue;
            QObject* Target = Change.Set ? SetByName(Pattern, Change.Set) : &Pattern;
            ASSERT_TRUE(WriteProperty(*Target, Change.Property, QVariant::fromValue(qint64{0})));
        }
    }

    TZor_Pattern Pattern;
};

TEST_P(ZorPatternHandChanges, SettingTheCurrentValueKeepsEveryChange)
{
    Pattern.SetUseWindowsDefaults(GetParam());
    Pattern.setProperty("UseWindowsDefaults", GetParam());
    for (const HandChange& Change : HandChanges)
        EXPECT_EQ(Read(Change), Change.Value) << Change.Property;
}

TEST_P(ZorPatternHandChanges, SwitchingOverwritesEveryTabledValueAndKeepsTheRest)
{
    const bool Start = GetParam();
    ASSERT_TRUE(Pattern.setProperty("UseWindowsDefaults", !Start));
    for (const HandChange& Change : HandChanges) {
        if (!Change.Tabled) {
            EXPECT_EQ(Read(Change), Change.Value) << Change.Property << " is in neither palette";
        }
    }
    ForgetUntabledChanges();
    ExpectPaletteHolds(Pattern, !Start);
}

TEST_P(ZorPatternHandChanges, SwitchingBackRestoresThePaletteInFull)
{
    const bool Start = GetParam();
    Pattern.SetUseWindowsDefaults(!Start);
    Pattern.SetUseWindowsDefaults(Start);
    ForgetUntabledChanges();
    ExpectPaletteHolds(Pattern, Start);
}

INSTANTIATE_TEST_SUITE_P(FromEitherPalette, ZorPatternHandChanges, testing::Bool(),
                         [](const testing::TestParamInfo<bool>& Info) {
                             return Info.param ? std::string("System") : std::string("Maker");
                         });

// ---- the by-state accessors that the controls paint with ----------------

struct StateName {
    TZor_PatternStyle State;
    const char* Name;
};

const std::vector<StateName> States = {
    {TZor_PatternStyle::psEnabled, "Enabled"}, {TZor_PatternStyle::psDisabled, "Disabled"},
    {TZor_PatternStyle::psInformation, "Information"}, {TZor_PatternStyle::psError, "Error"},
    {TZor_PatternStyle::psOk, "Ok"}, {TZor_PatternStyle::psActive, "Active"},
};

TEST(ZorPatternByState, EachStateReadsAndWritesThePropertiesNamedAfterIt)
{
    TZor_Colors_Bevel_Grid Set;
    TColor Next = 0x00010101;
    for (const StateName& S : States) {
        const std::string Name = S.Name;
        SCOPED_TRACE(Name);
        Set.SetColor(S.State, Next);
        Set.SetFontColor(S.State, Next + 1);
        Set.SetFixedColor(S.State, Next + 2);
        Set.SetBevels(S.State, {bsSingle, bvSpace, bvLowered, bkTile});
        const Values Actual = ReadProperties(Set);
        EXPECT_EQ(Actual.at(Name), Next);
        EXPECT_EQ(Actual.at(Name + "Font"), Next + 1);
        EXPECT_EQ(Actual.at(Name + "FixedColor"), Next + 2);
        EXPECT_EQ(Actual.at(Name + "BorderStyle"), static_cast<int>(bsSingle));
        EXPECT_EQ(Actual.at(Name + "BevelOuter"), static_cast<int>(bvSpace));
        EXPECT_EQ(Actual.at(Name + "BevelInner"), static_cast<int>(bvLowered));
        EXPECT_EQ(Actual.at(Name + "BevelKind"), static_cast<int>(bkTile));

        // And the other way round: a write by name shows in the state's slot.
        ASSERT_TRUE(WriteProperty(Set, (Name + "Font").c_str(), QVariant::fromValue(Next + 7)));
        EXPECT_EQ(Set.FontColor(S.State), Next + 7);
        Next += 0x00010000;
    }
    // Every state wrote its own slots: nothing was overwritten by a later state.
    TColor Check = 0x00010101;
    for (const StateName& S : States) {
        EXPECT_EQ(Set.Color(S.State), Check) << S.Name;
        Check += 0x00010000;
    }
}

TEST(ZorPatternByState, AStateOutsideTheSixUsesTheEnabledEntry)
{
    TZor_Colors_Bevel Set;
    Set.SetEnabled(0x00111111);
    Set.SetActive(0x00666666);
    const auto Stray = static_cast<TZor_PatternStyle>(200);
    EXPECT_EQ(Set.Color(Stray), 0x00111111u);
    Set.SetFontColor(Stray, 0x00222222);
    EXPECT_EQ(Set.EnabledFont(), 0x00222222u);
    EXPECT_EQ(Set.ActiveFont(), 0u);
    EXPECT_EQ(Set.Active(), 0x00666666u);
    EXPECT_EQ(Set.Bevels(Stray).BevelKind, bkNone);
}

// ---- the published layout ------------------------------------------------

struct LayoutCase {
    const QMetaObject* Meta;
    const char* ClassName;
    const QMetaObject* Base;
    std::vector<std::string> OwnProperties; // in published order
};

TEST(ZorPatternLayout, ClassesPublishTheirPropertiesInOrderUnderTheirBareNames)
{
    const std::vector<LayoutCase> Cases = {
        {&TZor_Colors::staticMetaObject, "TZor_Colors", &QObject::staticMetaObject,
         {"Enabled", "EnabledFont", "Disabled", "DisabledFont", "Information", "InformationFont", "Error",
          "ErrorFont", "Ok", "OkFont", "Active", "ActiveFont", "GradientStart", "GradientEnd"}},
        {&TZor_Colors_Bevel::staticMetaObject, "TZor_Colors_Bevel", &TZor_Colors::staticMetaObject,
         {"EnabledBorderStyle",     "EnabledBevelOuter",     "EnabledBevelInner",     "EnabledBevelKind",
          "DisabledBorderStyle",    "DisabledBevelOuter",    "DisabledBevelInner",    "DisabledBevelKind",
          "InformationBorderStyle", "InformationBevelOuter", "InformationBevelInner", "InformationBevelKind",
          "ErrorBorderStyle",       "ErrorBevelOuter",       "ErrorBevelInner",       "ErrorBevelKind",
          "OkBorderStyle",          "OkBevelOuter",          "OkBevelInner",          "OkBevelKind",
          "ActiveBorderStyle",      "ActiveBevelOuter",      "ActiveBevelInner",      "ActiveBevelKind"}},
        {&TZor_Colors_Bevel_Grid::staticMetaObject, "TZor_Colors_Bevel_Grid", &TZor_Colors_Bevel::staticMetaObject,
         {"ActiveFixedColor", "EnabledFixedColor", "DisabledFixedColor", "InformationFixedColor", "OkFixedColor",
          "ErrorFixedColor"}},
        {&TZor_Pattern::staticMetaObject, "TZor_Pattern", &QObject::staticMetaObject,
         {"UseWindowsDefaults", "Edit", "Panel", "Labels", "Grid", "Shape", "Button", "Bevel", "Form", "MainForm",
          "ChildForm", "TransparentColor", "Direct"}},
    };
    for (const LayoutCase& Case : Cases) {
        SCOPED_TRACE(Case.ClassName);
        EXPECT_STREQ(Case.Meta->className(), Case.ClassName);
        EXPECT_EQ(Case.Meta->superClass(), Case.Base);
        EXPECT_EQ(PropertyNames(*Case.Meta, Case.Base->propertyCount()), Case.OwnProperties);
        for (int i = 0; i < Case.Meta->propertyCount(); ++i) {
            const QMetaProperty Property = Case.Meta->property(i);
            EXPECT_TRUE(Property.isReadable()) << Property.name();
        }
    }
}

TEST(ZorPatternLayout, TheSetsAreMadeOfTheirClassesAndPanelCarriesBevels)
{
    struct SetKind {
        const char* Set;
        const char* DeclaredAs;
        const char* MadeAs;
    };
    const std::vector<SetKind> Kinds = {
        {"Edit", "TZor_Colors_Bevel*", "TZor_Colors_Bevel"},
        {"Panel", "TZor_Colors*", "TZor_Colors_Bevel"},
        {"Labels", "TZor_Colors_Bevel*", "TZor_Colors_Bevel"},
        {"Grid", "TZor_Colors_Bevel_Grid*", "TZor_Colors_Bevel_Grid"},
        {"Shape", "TZor_Colors*", "TZor_Colors"},
        {"Button", "TZor_Colors*", "TZor_Colors"},
        {"Bevel", "TZor_Colors*", "TZor_Colors"},
        {"Form", "TZor_Colors*", "TZor_Colors"},
        {"MainForm", "TZor_Colors*", "TZor_Colors"},
        {"ChildForm", "TZor_Colors*", "TZor_Colors"},
        {"Direct", "TZor_Colors*", "TZor_Colors"},
    };
    TZor_Pattern Pattern;
    std::vector<const QObject*> Seen;
    for (const SetKind& Kind : Kinds) {
        SCOPED_TRACE(Kind.Set);
        const QMetaProperty Property =
            Pattern.metaObject()->property(Pattern.metaObject()->indexOfProperty(Kind.Set));
        EXPECT_STREQ(Property.typeName(), Kind.DeclaredAs);
        const QObject* Set = SetByName(Pattern, Kind.Set);
        ASSERT_NE(Set, nullptr);
        EXPECT_STREQ(Set->metaObject()->className(), Kind.MadeAs);
        EXPECT_EQ(std::count(Seen.begin(), Seen.end(), Set), 0) << "shared with another set";
        Seen.push_back(Set);
    }
    EXPECT_EQ(Pattern.Panel(), SetByName(Pattern, "Panel"));
    EXPECT_EQ(Pattern.Grid(), SetByName(Pattern, "Grid"));
}

TEST(ZorPatternLayout, EnumerationsHaveTheirValuesAndNames)
{
    struct EnumValue {
        const char* Enum;
        const char* Key;
        int Value;
    };
    const std::vector<EnumValue> Cases = {
        {"TZor_PatternStyle", "psEnabled", 0}, {"TZor_PatternStyle", "psDisabled", 1},
        {"TZor_PatternStyle", "psInformation", 2}, {"TZor_PatternStyle", "psError", 3},
        {"TZor_PatternStyle", "psOk", 4}, {"TZor_PatternStyle", "psActive", 5},
        {"TBorderStyle", "bsNone", 0}, {"TBorderStyle", "bsSingle", 1},
        {"TBevelCut", "bvNone", 0}, {"TBevelCut", "bvLowered", 1},
        {"TBevelCut", "bvRaised", 2}, {"TBevelCut", "bvSpace", 3},
        {"TBevelKind", "bkNone", 0}, {"TBevelKind", "bkTile", 1},
        {"TBevelKind", "bkSoft", 2}, {"TBevelKind", "bkFlat", 3},
    };
    std::map<std::string, int> Counts;
    for (const EnumValue& Case : Cases) {
        const int Index = Zor_Pattern::staticMetaObject.indexOfEnumerator(Case.Enum);
        ASSERT_GE(Index, 0) << Case.Enum;
        const QMetaEnum Meta = Zor_Pattern::staticMetaObject.enumerator(Index);
        EXPECT_EQ(Meta.keyToValue(Case.Key), Case.Value) << Case.Key;
        ++Counts[Case.Enum];
    }
    for (const auto& [Enum, Count] : Counts)
        EXPECT_EQ(Zor_Pattern::staticMetaObject.enumerator(Zor_Pattern::staticMetaObject.indexOfEnumerator(
                                                                Enum.c_str()))
                      .keyCount(),
                  Count)
            << Enum;

    // The bevel properties carry the enumeration, so a value reads by name.
    TZor_Colors_Bevel Set;
    Set.SetInformationBevelKind(bkSoft);
    const QMetaProperty Kind = Set.metaObject()->property(Set.metaObject()->indexOfProperty("InformationBevelKind"));
    ASSERT_TRUE(Kind.isEnumType());
    EXPECT_STREQ(Kind.enumerator().valueToKey(Kind.read(&Set).toInt()), "bkSoft");
}

TEST(ZorPatternLayout, ColourNamesStandForTheirValues)
{
    struct Named {
        const char* Name;
        TColor Constant;
        TColor Value;
    };
    const std::vector<Named> Names = {
        {"clBtnFace", clBtnFace, 0xFF00000F},
        {"clWindowText", clWindowText, 0xFF000008},
        {"clWindow", clWindow, 0xFF000005},
        {"clBtnShadow", clBtnShadow, 0xFF000010},
        {"clHighlight", clHighlight, 0xFF00000D},
        {"clHighlightText", clHighlightText, 0xFF00000E},
        {"clInfoBk", clInfoBk, 0xFF000018},
        {"clInfoText", clInfoText, 0xFF000017},
        {"clBtnHighlight", clBtnHighlight, 0xFF000014},
        {"clInactiveCaptionText", clInactiveCaptionText, 0xFF000013},
        {"clHotLight", clHotLight, 0xFF00001A},
        {"clBlack", clBlack, 0x00000000},
        {"clWhite", clWhite, 0x00FFFFFF},
        {"clGray", clGray, 0x00808080},
        {"clSilver", clSilver, 0x00C0C0C0},
        {"clRed", clRed, 0x000000FF},
        {"clGreen", clGreen, 0x00008000},
        {"clBlue", clBlue, 0x00FF0000},
        {"clSkyBlue", clSkyBlue, 0x00F0CAA6},
        {"clCream", clCream, 0x00F0FBFF},
        {"clMoneyGreen", clMoneyGreen, 0x00C0DCC0},
    };
    for (const Named& N : Names)
        EXPECT_EQ(N.Constant, N.Value) << N.Name;
}

// ---- the global scheme ---------------------------------------------------

TEST(ZorPatternGlobal, OneSchemeForTheWholeModuleThatSwitchesInPlace)
{
    TZor_Pattern& Global = G_Zor_Pattern();
    EXPECT_EQ(&G_Zor_Pattern(), &Global);
    const bool Before = Global.UseWindowsDefaults();
    TZor_Colors_Bevel* Edit = Global.Edit();

    Global.SetUseWindowsDefaults(!Before);
    EXPECT_EQ(G_Zor_Pattern().UseWindowsDefaults(), !Before);
    EXPECT_EQ(G_Zor_Pattern().Edit(), Edit) << "the sets live as long as the scheme";
    ExpectPaletteHolds(G_Zor_Pattern(), !Before);

    Global.SetUseWindowsDefaults(Before);
    ExpectPaletteHolds(G_Zor_Pattern(), Before);
}

// ---- resolving values for painting ---------------------------------------

// A palette in which every role and group has a colour of its own.
QPalette DistinctPalette()
{
    QPalette Palette;
    int Step = 1;
    for (QPalette::ColorGroup Group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        for (int Role = 0; Role < QPalette::NColorRoles; ++Role) {
            if (Role == QPalette::NoRole)
                continue;
            Palette.setColor(Group, static_cast<QPalette::ColorRole>(Role), QColor(Step, 255 - Step, 100));
            ++Step;
        }
    return Palette;
}

TEST(ColorToQColorTest, SystemColoursTakeTheMatchingPaletteRole)
{
    struct Case {
        const char* Name;
        TColor Value;
        QPalette::ColorGroup Group;
        QPalette::ColorRole Role;
    };
    const std::vector<Case> Cases = {
        {"clBtnFace", 0xFF00000F, QPalette::Active, QPalette::Button},
        {"clWindow", 0xFF000005, QPalette::Active, QPalette::Base},
        {"clWindowText", 0xFF000008, QPalette::Active, QPalette::Text},
        {"clHighlight", 0xFF00000D, QPalette::Active, QPalette::Highlight},
        {"clHighlightText", 0xFF00000E, QPalette::Active, QPalette::HighlightedText},
        {"clInfoBk", 0xFF000018, QPalette::Active, QPalette::ToolTipBase},
        {"clInfoText", 0xFF000017, QPalette::Active, QPalette::ToolTipText},
        {"clBtnShadow", 0xFF000010, QPalette::Active, QPalette::Dark},
        {"clBtnHighlight", 0xFF000014, QPalette::Active, QPalette::Light},
        {"clInactiveCaptionText", 0xFF000013, QPalette::Active, QPalette::PlaceholderText},
        {"clHotLight", 0xFF00001A, QPalette::Active, QPalette::Link},
        {"grey text", 0xFF000011, QPalette::Disabled, QPalette::Text},
        {"button text", 0xFF000012, QPalette::Active, QPalette::ButtonText},
    };
    const QPalette Palette = DistinctPalette();
    for (const Case& C : Cases)
        EXPECT_EQ(ColorToQColor(C.Value, Palette), Palette.color(C.Group, C.Role)) << C.Name;
}

TEST(ColorToQColorTest, FixedColoursKeepRedInTheLowestByte)
{
    struct Case {
        TColor Value;
        QColor Wanted;
    };
    const std::vector<Case> Cases = {
        {0x000000FF, QColor(255, 0, 0)},          // clRed
        {0x00008000, QColor(0, 128, 0)},          // clGreen
        {0x00FF0000, QColor(0, 0, 255)},          // clBlue
        {0x00F0CAA6, QColor(0xA6, 0xCA, 0xF0)},   // clSkyBlue
        {0x00963296, QColor(0x96, 0x32, 0x96)},   // the transparent colour
        {0x00000000, QColor(0, 0, 0)},
        {0x00FFFFFF, QColor(255, 255, 255)},
        {0x02123456, QColor(0x56, 0x34, 0x12)},   // top byte other than 0xFF is no system colour
    };
    const QPalette Palette = DistinctPalette();
    for (const Case& C : Cases)
        EXPECT_EQ(ColorToQColor(C.Value, Palette), C.Wanted) << std::hex << C.Value;
}

TEST(ColorToQColorTest, AnUnknownSystemIndexPaintsBlack)
{
    const QPalette Palette = DistinctPalette();
    for (TColor Value : {0xFF000019u, 0xFF00001Fu, 0xFF0000FFu, 0xFFFFFFFFu})
        EXPECT_EQ(ColorToQColor(Value, Palette), QColor(0, 0, 0)) << std::hex << Value;
}

TEST(ColorToQColorTest, WithoutAPaletteTheApplicationsCurrentOneCounts)
{
    const QPalette Saved = QGuiApplication::palette();
    const QPalette Palette = DistinctPalette();
    QGuiApplication::setPalette(Palette);
    const QColor Face = ColorToQColor(clBtnFace);
    const QColor Window = ColorToQColor(clWindow);
    QGuiApplication::setPalette(Saved);
    EXPECT_EQ(Face, Palette.color(QPalette::Active, QPalette::Button));
    EXPECT_EQ(Window, Palette.color(QPalette::Active, QPalette::Base));
}

} // namespace

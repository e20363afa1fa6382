#include "controls/Zor_Pattern.h"

#include <QGuiApplication>

namespace {

// ---- resolving a colour value -------------------------------------------

struct TSystemRole {
    QPalette::ColorGroup Group;
    QPalette::ColorRole Role;
};

// The palette role that plays the part of each desktop system colour index.
constexpr std::array<TSystemRole, 31> SystemRoles{{
    {QPalette::Active, QPalette::Mid},             // 0 scroll bar
    {QPalette::Active, QPalette::Dark},            // 1 desktop background
    {QPalette::Active, QPalette::Highlight},       // 2 active caption
    {QPalette::Active, QPalette::Mid},             // 3 inactive caption
    {QPalette::Active, QPalette::Window},          // 4 menu
    {QPalette::Active, QPalette::Base},            // 5 clWindow
    {QPalette::Active, QPalette::Shadow},          // 6 window frame
    {QPalette::Active, QPalette::WindowText},      // 7 menu text
    {QPalette::Active, QPalette::Text},            // 8 clWindowText
    {QPalette::Active, QPalette::HighlightedText}, // 9 caption text
    {QPalette::Active, QPalette::Button},          // 10 active border
    {QPalette::Active, QPalette::Button},          // 11 inactive border
    {QPalette::Active, QPalette::Dark},            // 12 application work space
    {QPalette::Active, QPalette::Highlight},       // 13 clHighlight
    {QPalette::Active, QPalette::HighlightedText}, // 14 clHighlightText
    {QPalette::Active, QPalette::Button},          // 15 clBtnFace
    {QPalette::Active, QPalette::Dark},            // 16 clBtnShadow
    {QPalette::Disabled, QPalette::Text},          // 17 grey text
    {QPalette::Active, QPalette::ButtonText},      // 18 button text
    {QPalette::Active, QPalette::PlaceholderText}, // 19 clInactiveCaptionText
    {QPalette::Active, QPalette::Light},           // 20 clBtnHighlight
    {QPalette::Active, QPalette::Shadow},          // 21 3D dark shadow
    {QPalette::Active, QPalette::Midlight},        // 22 3D light
    {QPalette::Active, QPalette::ToolTipText},     // 23 clInfoText
    {QPalette::Active, QPalette::ToolTipBase},     // 24 clInfoBk
    {QPalette::Active, QPalette::NoRole},          // 25 unused by the desktop
    {QPalette::Active, QPalette::Link},            // 26 clHotLight
    {QPalette::Active, QPalette::Highlight},       // 27 gradient of the active caption
    {QPalette::Active, QPalette::Mid},             // 28 gradient of the inactive caption
    {QPalette::Active, QPalette::Highlight},       // 29 menu highlight
    {QPalette::Active, QPalette::Window},          // 30 menu bar
}};

// ---- the two palettes ---------------------------------------------------

// One state of a colour set: background and font, system and maker.
struct TStateColors {
    TColor System;
    TColor Maker;
    TColor SystemFont;
    TColor MakerFont;
};
using TSetColors = std::array<TStateColors, ZorPatternStyleCount>;

// One state of a bevelled set, system and maker.
struct TStateBevels {
    TZor_Colors_Bevel::TBevelValues System;
    TZor_Colors_Bevel::TBevelValues Maker;
};
using TSetBevels = std::array<TStateBevels, ZorPatternStyleCount>;

struct TStateFixed {
    TColor System;
    TColor Maker;
};
using TSetFixed = std::array<TStateFixed, ZorPatternStyleCount>;

using enum TBorderStyle;
using enum TBevelCut;
using enum TBevelKind;

// Rows in state order: Enabled, Disabled, Information, Error, Ok, Active.
constexpr TSetColors EditColors{{
    {clWindow, clWhite, clWindowText, clBlack},
    {clBtnFace, clWhite, clWindowText, clGray},
    {clBtnFace, 0x00FFCACA, clWindowText, clBlack},
    {clBtnFace, 0x00B3B3FF, clWindowText, clBlack},
    {clBtnFace, 0x00DFFFDF, clWindowText, clBlack},
    {clWindow, 0x00AEFFFF, clWindowText, clBlack},
}};

constexpr TStateBevels EditBevel{{bsSingle, bvLowered, bvRaised, bkNone}, {bsNone, bvRaised, bvNone, bkFlat}};
constexpr TSetBevels EditBevels{{EditBevel, EditBevel, EditBevel, EditBevel, EditBevel, EditBevel}};

constexpr TSetColors PanelColors{{
    {clBtnFace, clBtnFace, clWindowText, clBlack},
    {clBtnFace, clBtnFace, clWindowText, 0x007F7F7F},
    {clBtnFace, 0x00FFCACA, clWindowText, clBlack},
    {clBtnFace, 0x00B3B3FF, clWindowText, clBlack},
    {clBtnFace, 0x00DFFFDF, clWindowText, clBlack},
    {clBtnFace, 0x00AEFFFF, clWindowText, clBlack},
}};

constexpr TSetColors LabelsColors{{
    {clBtnFace, clBtnFace, clWindowText, clBlack},
    {clBtnFace, clBtnFace, clWindowText, 0x007F7F7F},
    {clInfoBk, clSkyBlue, clInfoText, clBlack},
    {clBtnFace, 0x00B3B3FF, clWindowText, clBlack},
    {clBtnFace, 0x00DFFFDF, clWindowText, clBlack},
    {clBtnFace, 0x00AEFFFF, clWindowText, clBlack},
}};

constexpr TZor_Colors_Bevel::TBevelValues LabelsMakerBevel{bsNone, bvRaised, bvNone, bkFlat};
constexpr TSetBevels LabelsBevels{{
    {{bsNone, bvLowered, bvRaised, bkNone}, LabelsMakerBevel},
    {{bsNone, bvLowered, bvRaised, bkNone}, LabelsMakerBevel},
    {{bsNone, bvLowered, bvRaised, bkFlat}, LabelsMakerBevel},
    {{bsNone, bvLowered, bvRaised, bkNone}, LabelsMakerBevel},
    {{bsNone, bvLowered, bvRaised, bkNone}, LabelsMakerBevel},
    {{bsNone, bvRaised, bvRaised, bkNone}, LabelsMakerBevel},
}};

constexpr TSetColors GridColors{{
    {clWindow, clCream, clWindowText, clBlack},
    {clWindow, 0x00DADADA, clWindowText, 0x007F7F7F},
    {clInfoBk, clSkyBlue, clWindowText, clBlack},
    {clWindow, 0x00B3B3FF, clWindowText, clBlack},
    {clWindow, 0x00DFFFDF, clWindowText, clBlack},
    {clHighlight, 0x00AEFFFF, clHighlightText, clBlack},
}};

constexpr TSetFixed GridFixed{{
    {clBtnFace, clSkyBlue},
    {clBtnFace, 0x00C8D0D4},
    {clBtnFace, 0x00C8D0D4},
    {clBtnFace, 0x00C8D0D4},
    {clBtnFace, 0x00C8D0D4},
    {clBtnFace, 0x00C8D0D4},
}};

constexpr TStateBevels GridBevel{{bsSingle, bvNone, bvNone, bkNone}, {bsSingle, bvNone, bvNone, bkNone}};
constexpr TSetBevels GridBevels{{GridBevel, GridBevel, GridBevel, GridBevel, GridBevel, GridBevel}};

constexpr TSetColors ShapeColors{{
    {clWhite, clWhite, clBlack, clBlack},
    {0x00DADADA, 0x00DADADA, 0x007F7F7F, 0x007F7F7F},
    {clInfoBk, clSkyBlue, clBlack, clBlack},
    {0x00B3B3FF, 0x00B3B3FF, clBlack, clBlack},
    {0x00DFFFDF, 0x00DFFFDF, clBlack, clBlack},
    {0x00AEFFFF, 0x00AEFFFF, clBlack, clBlack},
}};

constexpr TSetColors ButtonColors{{
    {clBtnShadow, 0x00733800, clWindowText, clBlack},
    {clBtnShadow, clGray, clInactiveCaptionText, clGray},
    {clBtnShadow, 0x0095C8FF, clWindowText, clBlue},
    {clBtnShadow, clRed, clWindowText, clBlack},
    {clBtnShadow, clGreen, clWindowText, clGreen},
    {clBtnShadow, clBlue, clWindowText, clBlack},
}};

constexpr TSetColors BevelColors{{
    {clWhite, clWhite, clWindowText, clGray},
    {clSilver, clSilver, clWindowText, clGray},
    {0x00D2FFFF, 0x00D2FFFF, clWindowText, clSkyBlue},
    {0x00D5D5FF, 0x00D5D5FF, clWindowText, clRed},
    {0x00DDFFDD, 0x00DDFFDD, clWindowText, clGreen},
    {clWhite, clWhite, clWindowText, clSilver},
}};

// Form, MainForm and ChildForm differ only in the first two rows.
constexpr TSetColors FormColors(TStateColors Enabled, TStateColors Disabled)
{
    return {{
        Enabled,
        Disabled,
        {clBtnFace, clSkyBlue, clWindowText, clBlack},
        {clBtnFace, 0x00B3B3FF, clWindowText, clBlack},
        {clBtnFace, 0x00DFFFDF, clWindowText, clBlack},
        {clBtnFace, 0x00AEFFFF, clWindowText, clBlack},
    }};
}

constexpr TSetColors FormSetColors = FormColors({clBtnFace, clSilver, clWindowText, clBlack},
                                                {clBtnFace, clSilver, clWindowText, 0x007F7F7F});
constexpr TSetColors MainFormColors = FormColors({clBtnFace, clGray, clWindowText, clBlack},
                                                 {clBtnFace, clSilver, clWindowText, 0x007F7F7F});
constexpr TSetColors ChildFormColors = FormColors({clBtnFace, 0x00C8D0D4, clWindowText, clBlack},
                                                  {clBtnFace, clSilver, clWindowText, 0x007F7F7F});

constexpr TStateColors DirectState{clInfoBk, clMoneyGreen, clInfoText, clBlack};
constexpr TSetColors DirectColors{{
    DirectState,
    DirectState,
    DirectState,
    {clInfoBk, clRed, clInfoText, clBlack},
    DirectState,
    DirectState,
}};

// Only the button has a gradient; every other set keeps 0 there.
constexpr TColor ButtonGradientStartSystem = clBtnHighlight;
constexpr TColor ButtonGradientStartMaker = clWhite;
constexpr TColor ButtonGradientEndSystem = clBtnFace;
constexpr TColor ButtonGradientEndMaker = 0x00E9EDF1;

constexpr TColor TransparentColorBoth = 0x00963296;

TZor_PatternStyle StateAt(int Index)
{
    return static_cast<TZor_PatternStyle>(Index);
}

void FillColors(TZor_Colors& Set, const TSetColors& Table, bool System)
{
    for (int i = 0; i < ZorPatternStyleCount; ++i) {
        const TStateColors& Row = Table[static_cast<std::size_t>(i)];
        Set.SetColor(StateAt(i), System ? Row.System : Row.Maker);
        Set.SetFontColor(StateAt(i), System ? Row.SystemFont : Row.MakerFont);
    }
}

void FillBevels(TZor_Colors_Bevel& Set, const TSetBevels& Table, bool System)
{
    for (int i = 0; i < ZorPatternStyleCount; ++i) {
        const TStateBevels& Row = Table[static_cast<std::size_t>(i)];
        Set.SetBevels(StateAt(i), System ? Row.System : Row.Maker);
    }
}

} // namespace

QColor ColorToQColor(TColor Value, const QPalette& Palette)
{
    if ((Value & 0xFF000000u) == 0xFF000000u) {
        const TColor Index = Value & 0x00FFFFFFu;
        if (Index >= SystemRoles.size() || SystemRoles[Index].Role == QPalette::NoRole)
            return QColor(0, 0, 0);
        return Palette.color(SystemRoles[Index].Group, SystemRoles[Index].Role);
    }
    return QColor(static_cast<int>(Value & 0xFF), static_cast<int>((Value >> 8) & 0xFF),
                  static_cast<int>((Value >> 16) & 0xFF));
}

QColor ColorToQColor(TColor Value)
{
    return ColorToQColor(Value, QGuiApplication::palette());
}

int TZor_Colors::Index(TZor_PatternStyle State)
{
    const int Value = static_cast<int>(State);
    return Value >= 0 && Value < ZorPatternStyleCount ? Value : 0;
}

TZor_Pattern::TZor_Pattern(QObject* parent)
    : QObject(parent),
      FGrid(std::make_unique<TZor_Colors_Bevel_Grid>()),
      FShape(std::make_unique<TZor_Colors>()),
      FLabels(std::make_unique<TZor_Colors_Bevel>()),
      FEdit(std::make_unique<TZor_Colors_Bevel>()),
      FPanel(std::make_unique<TZor_Colors_Bevel>()),
      FButton(std::make_unique<TZor_Colors>()),
      FBevel(std::make_unique<TZor_Colors>()),
      FForm(std::make_unique<TZor_Colors>()),
      FChildForm(std::make_unique<TZor_Colors>()),
      FMainForm(std::make_unique<TZor_Colors>()),
      FDirect(std::make_unique<TZor_Colors>())
{
    // Both palettes are written once in turn; the maker's stays.
    SetUseWindowsDefaults(true);
    SetUseWindowsDefaults(false);
}

TZor_Pattern::~TZor_Pattern() = default;

void TZor_Pattern::SetUseWindowsDefaults(bool Value)
{
    if (Value == FUseWindowsDefaults)
        return;
    FUseWindowsDefaults = Value;
    FillPalette(Value);
}

void TZor_Pattern::FillPalette(bool System)
{
    FTransparentColor = TransparentColorBoth;

    FillColors(*FEdit, EditColors, System);
    FillBevels(*FEdit, EditBevels, System);

    // The panel's bevels are left as they are (none).
    FillColors(*FPanel, PanelColors, System);

    FillColors(*FLabels, LabelsColors, System);
    FillBevels(*FLabels, LabelsBevels, System);

    FillColors(*FGrid, GridColors, System);
    FillBevels(*FGrid, GridBevels, System);
    for (int i = 0; i < ZorPatternStyleCount; ++i) {
        const TStateFixed& Row = GridFixed[static_cast<std::size_t>(i)];
        FGrid->SetFixedColor(StateAt(i), System ? Row.System : Row.Maker);
    }

    FillColors(*FShape, ShapeColors, System);

    FillColors(*FButton, ButtonColors, System);
    FButton->SetGradientStart(System ? ButtonGradientStartSystem : ButtonGradientStartMaker);
    FButton->SetGradientEnd(System ? ButtonGradientEndSystem : ButtonGradientEndMaker);

    FillColors(*FBevel, BevelColors, System);
    FillColors(*FForm, FormSetColors, System);
    FillColors(*FMainForm, MainFormColors, System);
    FillColors(*FChildForm, ChildFormColors, System);
    FillColors(*FDirect, DirectColors, System);
}

TZor_Pattern& G_Zor_Pattern()
{
    static TZor_Pattern Pattern;
    return Pattern;
}

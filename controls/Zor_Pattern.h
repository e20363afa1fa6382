#pragma once
// The colour scheme of the control library. One global scheme,
// G_Zor_Pattern(), tells every control (and the forms that ask) which colours
// and bevels to paint with. A control keeps only its colour state
// (TZor_PatternStyle) and looks up the colours of that state in the set of its
// kind of control at every paint, so a change of scheme shows at each
// control's next repaint; the scheme itself notifies nobody.
//
// The scheme carries two fixed palettes: the maker's (the default) and one
// made of the desktop's system colours. UseWindowsDefaults picks one.
//
// Colours stay the program's 32-bit values: 0x00BBGGRR for a fixed colour
// (lowest byte red) and 0xFF0000nn for the system colour with index nn, which
// ColorToQColor() resolves against the current palette when painting.
//
// Used only in the GUI thread.
#include <QColor>
#include <QObject>
#include <QPalette>

#include <array>
#include <memory>

// The enumerations live in a namespace of their own so that the meta-object
// system knows their value names; the names are used at global scope.
namespace Zor_Pattern {
Q_NAMESPACE

// The colour state of a control.
enum class TZor_PatternStyle : quint8 {
    psEnabled = 0,
    psDisabled = 1,
    psInformation = 2,
    psError = 3,
    psOk = 4,
    psActive = 5,
};
Q_ENUM_NS(TZor_PatternStyle)

enum class TBorderStyle : quint8 { bsNone = 0, bsSingle = 1 };
Q_ENUM_NS(TBorderStyle)

// The cut of an outer or inner bevel.
enum class TBevelCut : quint8 { bvNone = 0, bvLowered = 1, bvRaised = 2, bvSpace = 3 };
Q_ENUM_NS(TBevelCut)

enum class TBevelKind : quint8 { bkNone = 0, bkTile = 1, bkSoft = 2, bkFlat = 3 };
Q_ENUM_NS(TBevelKind)

} // namespace Zor_Pattern

using Zor_Pattern::TBevelCut;
using Zor_Pattern::TBevelKind;
using Zor_Pattern::TBorderStyle;
using Zor_Pattern::TZor_PatternStyle;

// The six states in their order; a state's value indexes per-state tables.
inline constexpr int ZorPatternStyleCount = 6;

using TColor = quint32;

// System colours: 0xFF000000 plus the system colour index.
inline constexpr TColor clInactiveCaptionText = 0xFF000013;
inline constexpr TColor clWindow = 0xFF000005;
inline constexpr TColor clWindowText = 0xFF000008;
inline constexpr TColor clHighlight = 0xFF00000D;
inline constexpr TColor clHighlightText = 0xFF00000E;
inline constexpr TColor clBtnFace = 0xFF00000F;
inline constexpr TColor clBtnShadow = 0xFF000010;
inline constexpr TColor clBtnHighlight = 0xFF000014;
inline constexpr TColor clInfoText = 0xFF000017;
inline constexpr TColor clInfoBk = 0xFF000018;
inline constexpr TColor clHotLight = 0xFF00001A;

// Named fixed colours (0x00BBGGRR).
inline constexpr TColor clBlack = 0x00000000;
inline constexpr TColor clGreen = 0x00008000;
inline constexpr TColor clGray = 0x00808080;
inline constexpr TColor clSilver = 0x00C0C0C0;
inline constexpr TColor clRed = 0x000000FF;
inline constexpr TColor clBlue = 0x00FF0000;
inline constexpr TColor clWhite = 0x00FFFFFF;
inline constexpr TColor clMoneyGreen = 0x00C0DCC0;
inline constexpr TColor clSkyBlue = 0x00F0CAA6;
inline constexpr TColor clCream = 0x00F0FBFF;

// The colour a value stands for when painting. A value 0xFF0000nn takes the
// colour of the palette role that plays the part of system colour nn (Active
// group unless noted):
//   clWindow -> Base                  clWindowText -> Text
//   clBtnFace -> Button               clBtnShadow -> Dark
//   clBtnHighlight -> Light           clHighlight -> Highlight
//   clHighlightText -> HighlightedText
//   clInfoBk -> ToolTipBase           clInfoText -> ToolTipText
//   clInactiveCaptionText -> PlaceholderText
//   clHotLight -> Link
// and the remaining desktop indices 0..30 likewise (table in the source). An
// index the desktop does not know paints black. Any other value is a fixed
// colour: its lowest byte is red, then green, then blue; the top byte is
// ignored.
QColor ColorToQColor(TColor Value, const QPalette& Palette);
// The same against the application's current palette.
QColor ColorToQColor(TColor Value);

// A colour set: background and font colour for each of the six states, and
// the top and bottom colour of a vertical gradient. A fresh set is all 0.
class TZor_Colors : public QObject {
    Q_OBJECT
    Q_PROPERTY(TColor Enabled READ Enabled WRITE SetEnabled)
    Q_PROPERTY(TColor EnabledFont READ EnabledFont WRITE SetEnabledFont)
    Q_PROPERTY(TColor Disabled READ Disabled WRITE SetDisabled)
    Q_PROPERTY(TColor DisabledFont READ DisabledFont WRITE SetDisabledFont)
    Q_PROPERTY(TColor Information READ Information WRITE SetInformation)
    Q_PROPERTY(TColor InformationFont READ InformationFont WRITE SetInformationFont)
    Q_PROPERTY(TColor Error READ Error WRITE SetError)
    Q_PROPERTY(TColor ErrorFont READ ErrorFont WRITE SetErrorFont)
    Q_PROPERTY(TColor Ok READ Ok WRITE SetOk)
    Q_PROPERTY(TColor OkFont READ OkFont WRITE SetOkFont)
    Q_PROPERTY(TColor Active READ Active WRITE SetActive)
    Q_PROPERTY(TColor ActiveFont READ ActiveFont WRITE SetActiveFont)
    Q_PROPERTY(TColor GradientStart READ GradientStart WRITE SetGradientStart)
    Q_PROPERTY(TColor GradientEnd READ GradientEnd WRITE SetGradientEnd)

public:
    explicit TZor_Colors(QObject* parent = nullptr) : QObject(parent) {}

    // By state, for the controls that paint with their Pattern.
    TColor Color(TZor_PatternStyle State) const { return FColor[Index(State)]; }
    void SetColor(TZor_PatternStyle State, TColor Value) { FColor[Index(State)] = Value; }
    TColor FontColor(TZor_PatternStyle State) const { return FFont[Index(State)]; }
    void SetFontColor(TZor_PatternStyle State, TColor Value) { FFont[Index(State)] = Value; }

    TColor Enabled() const { return FColor[0]; }
    void SetEnabled(TColor Value) { FColor[0] = Value; }
    TColor EnabledFont() const { return FFont[0]; }
    void SetEnabledFont(TColor Value) { FFont[0] = Value; }
    TColor Disabled() const { return FColor[1]; }
    void SetDisabled(TColor Value) { FColor[1] = Value; }
    TColor DisabledFont() const { return FFont[1]; }
    void SetDisabledFont(TColor Value) { FFont[1] = Value; }
    TColor Information() const { return FColor[2]; }
    void SetInformation(TColor Value) { FColor[2] = Value; }
    TColor InformationFont() const { return FFont[2]; }
    void SetInformationFont(TColor Value) { FFont[2] = Value; }
    TColor Error() const { return FColor[3]; }
    void SetError(TColor Value) { FColor[3] = Value; }
    TColor ErrorFont() const { return FFont[3]; }
    void SetErrorFont(TColor Value) { FFont[3] = Value; }
    TColor Ok() const { return FColor[4]; }
    void SetOk(TColor Value) { FColor[4] = Value; }
    TColor OkFont() const { return FFont[4]; }
    void SetOkFont(TColor Value) { FFont[4] = Value; }
    TColor Active() const { return FColor[5]; }
    void SetActive(TColor Value) { FColor[5] = Value; }
    TColor ActiveFont() const { return FFont[5]; }
    void SetActiveFont(TColor Value) { FFont[5] = Value; }
    TColor GradientStart() const { return FGradientStart; }
    void SetGradientStart(TColor Value) { FGradientStart = Value; }
    TColor GradientEnd() const { return FGradientEnd; }
    void SetGradientEnd(TColor Value) { FGradientEnd = Value; }

protected:
    // The table index of a state; a value outside the six states (a Pattern
    // written as a bare number) reads and writes the Enabled entry.
    static int Index(TZor_PatternStyle State);

private:
    std::array<TColor, ZorPatternStyleCount> FColor{};
    std::array<TColor, ZorPatternStyleCount> FFont{};
    TColor FGradientStart = 0;
    TColor FGradientEnd = 0;
};

// A colour set with border and bevels per state.
class TZor_Colors_Bevel : public TZor_Colors {
    Q_OBJECT
    Q_PROPERTY(Zor_Pattern::TBorderStyle EnabledBorderStyle READ EnabledBorderStyle WRITE SetEnabledBorderStyle)
    Q_PROPERTY(Zor_Pattern::TBevelCut EnabledBevelOuter READ EnabledBevelOuter WRITE SetEnabledBevelOuter)
    Q_PROPERTY(Zor_Pattern::TBevelCut EnabledBevelInner READ EnabledBevelInner WRITE SetEnabledBevelInner)
    Q_PROPERTY(Zor_Pattern::TBevelKind EnabledBevelKind READ EnabledBevelKind WRITE SetEnabledBevelKind)
    Q_PROPERTY(Zor_Pattern::TBorderStyle DisabledBorderStyle READ DisabledBorderStyle WRITE SetDisabledBorderStyle)
    Q_PROPERTY(Zor_Pattern::TBevelCut DisabledBevelOuter READ DisabledBevelOuter WRITE SetDisabledBevelOuter)
    Q_PROPERTY(Zor_Pattern::TBevelCut DisabledBevelInner READ DisabledBevelInner WRITE SetDisabledBevelInner)
    Q_PROPERTY(Zor_Pattern::TBevelKind DisabledBevelKind READ DisabledBevelKind WRITE SetDisabledBevelKind)
    Q_PROPERTY(Zor_Pattern::TBorderStyle InformationBorderStyle READ InformationBorderStyle WRITE SetInformationBorderStyle)
    Q_PROPERTY(Zor_Pattern::TBevelCut InformationBevelOuter READ InformationBevelOuter WRITE SetInformationBevelOuter)
    Q_PROPERTY(Zor_Pattern::TBevelCut InformationBevelInner READ InformationBevelInner WRITE SetInformationBevelInner)
    Q_PROPERTY(Zor_Pattern::TBevelKind InformationBevelKind READ InformationBevelKind WRITE SetInformationBevelKind)
    Q_PROPERTY(Zor_Pattern::TBorderStyle ErrorBorderStyle READ ErrorBorderStyle WRITE SetErrorBorderStyle)
    Q_PROPERTY(Zor_Pattern::TBevelCut ErrorBevelOuter READ ErrorBevelOuter WRITE SetErrorBevelOuter)
    Q_PROPERTY(Zor_Pattern::TBevelCut ErrorBevelInner READ ErrorBevelInner WRITE SetErrorBevelInner)
    Q_PROPERTY(Zor_Pattern::TBevelKind ErrorBevelKind READ ErrorBevelKind WRITE SetErrorBevelKind)
    Q_PROPERTY(Zor_Pattern::TBorderStyle OkBorderStyle READ OkBorderStyle WRITE SetOkBorderStyle)
    Q_PROPERTY(Zor_Pattern::TBevelCut OkBevelOuter READ OkBevelOuter WRITE SetOkBevelOuter)
    Q_PROPERTY(Zor_Pattern::TBevelCut OkBevelInner READ OkBevelInner WRITE SetOkBevelInner)
    Q_PROPERTY(Zor_Pattern::TBevelKind OkBevelKind READ OkBevelKind WRITE SetOkBevelKind)
    Q_PROPERTY(Zor_Pattern::TBorderStyle ActiveBorderStyle READ ActiveBorderStyle WRITE SetActiveBorderStyle)
    Q_PROPERTY(Zor_Pattern::TBevelCut ActiveBevelOuter READ ActiveBevelOuter WRITE SetActiveBevelOuter)
    Q_PROPERTY(Zor_Pattern::TBevelCut ActiveBevelInner READ ActiveBevelInner WRITE SetActiveBevelInner)
    Q_PROPERTY(Zor_Pattern::TBevelKind ActiveBevelKind READ ActiveBevelKind WRITE SetActiveBevelKind)

public:
    struct TBevelValues {
        TBorderStyle BorderStyle = TBorderStyle::bsNone;
        TBevelCut BevelOuter = TBevelCut::bvNone;
        TBevelCut BevelInner = TBevelCut::bvNone;
        TBevelKind BevelKind = TBevelKind::bkNone;
    };

    explicit TZor_Colors_Bevel(QObject* parent = nullptr) : TZor_Colors(parent) {}

    // By state, for the controls that paint with their Pattern.
    const TBevelValues& Bevels(TZor_PatternStyle State) const { return FBevel[Index(State)]; }
    void SetBevels(TZor_PatternStyle State, const TBevelValues& Value) { FBevel[Index(State)] = Value; }

    TBorderStyle EnabledBorderStyle() const { return FBevel[0].BorderStyle; }
    void SetEnabledBorderStyle(TBorderStyle Value) { FBevel[0].BorderStyle = Value; }
    TBevelCut EnabledBevelOuter() const { return FBevel[0].BevelOuter; }
    void SetEnabledBevelOuter(TBevelCut Value) { FBevel[0].BevelOuter = Value; }
    TBevelCut EnabledBevelInner() const { return FBevel[0].BevelInner; }
    void SetEnabledBevelInner(TBevelCut Value) { FBevel[0].BevelInner = Value; }
    TBevelKind EnabledBevelKind() const { return FBevel[0].BevelKind; }
    void SetEnabledBevelKind(TBevelKind Value) { FBevel[0].BevelKind = Value; }

    TBorderStyle DisabledBorderStyle() const { return FBevel[1].BorderStyle; }
    void SetDisabledBorderStyle(TBorderStyle Value) { FBevel[1].BorderStyle = Value; }
    TBevelCut DisabledBevelOuter() const { return FBevel[1].BevelOuter; }
    void SetDisabledBevelOuter(TBevelCut Value) { FBevel[1].BevelOuter = Value; }
    TBevelCut DisabledBevelInner() const { return FBevel[1].BevelInner; }
    void SetDisabledBevelInner(TBevelCut Value) { FBevel[1].BevelInner = Value; }
    TBevelKind DisabledBevelKind() const { return FBevel[1].BevelKind; }
    void SetDisabledBevelKind(TBevelKind Value) { FBevel[1].BevelKind = Value; }

    TBorderStyle InformationBorderStyle() const { return FBevel[2].BorderStyle; }
    void SetInformationBorderStyle(TBorderStyle Value) { FBevel[2].BorderStyle = Value; }
    TBevelCut InformationBevelOuter() const { return FBevel[2].BevelOuter; }
    void SetInformationBevelOuter(TBevelCut Value) { FBevel[2].BevelOuter = Value; }
    TBevelCut InformationBevelInner() const { return FBevel[2].BevelInner; }
    void SetInformationBevelInner(TBevelCut Value) { FBevel[2].BevelInner = Value; }
    TBevelKind InformationBevelKind() const { return FBevel[2].BevelKind; }
    void SetInformationBevelKind(TBevelKind Value) { FBevel[2].BevelKind = Value; }

    TBorderStyle ErrorBorderStyle() const { return FBevel[3].BorderStyle; }
    void SetErrorBorderStyle(TBorderStyle Value) { FBevel[3].BorderStyle = Value; }
    TBevelCut ErrorBevelOuter() const { return FBevel[3].BevelOuter; }
    void SetErrorBevelOuter(TBevelCut Value) { FBevel[3].BevelOuter = Value; }
    TBevelCut ErrorBevelInner() const { return FBevel[3].BevelInner; }
    void SetErrorBevelInner(TBevelCut Value) { FBevel[3].BevelInner = Value; }
    TBevelKind ErrorBevelKind() const { return FBevel[3].BevelKind; }
    void SetErrorBevelKind(TBevelKind Value) { FBevel[3].BevelKind = Value; }

    TBorderStyle OkBorderStyle() const { return FBevel[4].BorderStyle; }
    void SetOkBorderStyle(TBorderStyle Value) { FBevel[4].BorderStyle = Value; }
    TBevelCut OkBevelOuter() const { return FBevel[4].BevelOuter; }
    void SetOkBevelOuter(TBevelCut Value) { FBevel[4].BevelOuter = Value; }
    TBevelCut OkBevelInner() const { return FBevel[4].BevelInner; }
    void SetOkBevelInner(TBevelCut Value) { FBevel[4].BevelInner = Value; }
    TBevelKind OkBevelKind() const { return FBevel[4].BevelKind; }
    void SetOkBevelKind(TBevelKind Value) { FBevel[4].BevelKind = Value; }

    TBorderStyle ActiveBorderStyle() const { return FBevel[5].BorderStyle; }
    void SetActiveBorderStyle(TBorderStyle Value) { FBevel[5].BorderStyle = Value; }
    TBevelCut ActiveBevelOuter() const { return FBevel[5].BevelOuter; }
    void SetActiveBevelOuter(TBevelCut Value) { FBevel[5].BevelOuter = Value; }
    TBevelCut ActiveBevelInner() const { return FBevel[5].BevelInner; }
    void SetActiveBevelInner(TBevelCut Value) { FBevel[5].BevelInner = Value; }
    TBevelKind ActiveBevelKind() const { return FBevel[5].BevelKind; }
    void SetActiveBevelKind(TBevelKind Value) { FBevel[5].BevelKind = Value; }

private:
    std::array<TBevelValues, ZorPatternStyleCount> FBevel{};
};

// A bevelled colour set with the colour of the fixed cells per state.
class TZor_Colors_Bevel_Grid : public TZor_Colors_Bevel {
    Q_OBJECT
    // Published in this order, which is not the order of the states.
    Q_PROPERTY(TColor ActiveFixedColor READ ActiveFixedColor WRITE SetActiveFixedColor)
    Q_PROPERTY(TColor EnabledFixedColor READ EnabledFixedColor WRITE SetEnabledFixedColor)
    Q_PROPERTY(TColor DisabledFixedColor READ DisabledFixedColor WRITE SetDisabledFixedColor)
    Q_PROPERTY(TColor InformationFixedColor READ InformationFixedColor WRITE SetInformationFixedColor)
    Q_PROPERTY(TColor OkFixedColor READ OkFixedColor WRITE SetOkFixedColor)
    Q_PROPERTY(TColor ErrorFixedColor READ ErrorFixedColor WRITE SetErrorFixedColor)

public:
    explicit TZor_Colors_Bevel_Grid(QObject* parent = nullptr) : TZor_Colors_Bevel(parent) {}

    TColor FixedColor(TZor_PatternStyle State) const { return FFixed[Index(State)]; }
    void SetFixedColor(TZor_PatternStyle State, TColor Value) { FFixed[Index(State)] = Value; }

    TColor EnabledFixedColor() const { return FFixed[0]; }
    void SetEnabledFixedColor(TColor Value) { FFixed[0] = Value; }
    TColor DisabledFixedColor() const { return FFixed[1]; }
    void SetDisabledFixedColor(TColor Value) { FFixed[1] = Value; }
    TColor InformationFixedColor() const { return FFixed[2]; }
    void SetInformationFixedColor(TColor Value) { FFixed[2] = Value; }
    TColor ErrorFixedColor() const { return FFixed[3]; }
    void SetErrorFixedColor(TColor Value) { FFixed[3] = Value; }
    TColor OkFixedColor() const { return FFixed[4]; }
    void SetOkFixedColor(TColor Value) { FFixed[4] = Value; }
    TColor ActiveFixedColor() const { return FFixed[5]; }
    void SetActiveFixedColor(TColor Value) { FFixed[5] = Value; }

private:
    std::array<TColor, ZorPatternStyleCount> FFixed{};
};

// The colour scheme: eleven colour sets, owned for the scheme's whole life,
// and the button's transparent colour. The sets are never replaced, so their
// properties are read-only.
class TZor_Pattern : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool UseWindowsDefaults READ UseWindowsDefaults WRITE SetUseWindowsDefaults)
    Q_PROPERTY(TZor_Colors_Bevel* Edit READ Edit CONSTANT)
    Q_PROPERTY(TZor_Colors* Panel READ Panel CONSTANT)
    Q_PROPERTY(TZor_Colors_Bevel* Labels READ Labels CONSTANT)
    Q_PROPERTY(TZor_Colors_Bevel_Grid* Grid READ Grid CONSTANT)
    Q_PROPERTY(TZor_Colors* Shape READ Shape CONSTANT)
    Q_PROPERTY(TZor_Colors* Button READ Button CONSTANT)
    Q_PROPERTY(TZor_Colors* Bevel READ Bevel CONSTANT)
    Q_PROPERTY(TZor_Colors* Form READ Form CONSTANT)
    Q_PROPERTY(TZor_Colors* MainForm READ MainForm CONSTANT)
    Q_PROPERTY(TZor_Colors* ChildForm READ ChildForm CONSTANT)
    Q_PROPERTY(TColor TransparentColor READ TransparentColor WRITE SetTransparentColor)
    Q_PROPERTY(TZor_Colors* Direct READ Direct CONSTANT)

public:
    // Creates the sets, then writes the system palette and then the maker's,
    // so a new scheme holds the maker's palette with the flag False.
    explicit TZor_Pattern(QObject* parent = nullptr);
    ~TZor_Pattern() override;

    bool UseWindowsDefaults() const { return FUseWindowsDefaults; }
    // A change of value overwrites every palette value (hand-made changes
    // included) with the system palette (True) or the maker's (False); the
    // same value again changes nothing.
    void SetUseWindowsDefaults(bool Value);

    TZor_Colors_Bevel* Edit() const { return FEdit.get(); }
    // Created with bevels, which stay none.
    TZor_Colors* Panel() const { return FPanel.get(); }
    TZor_Colors_Bevel* Labels() const { return FLabels.get(); }
    TZor_Colors_Bevel_Grid* Grid() const { return FGrid.get(); }
    TZor_Colors* Shape() const { return FShape.get(); }
    TZor_Colors* Button() const { return FButton.get(); }
    TZor_Colors* Bevel() const { return FBevel.get(); }
    TZor_Colors* Form() const { return FForm.get(); }
    TZor_Colors* MainForm() const { return FMainForm.get(); }
    TZor_Colors* ChildForm() const { return FChildForm.get(); }
    TZor_Colors* Direct() const { return FDirect.get(); }

    TColor TransparentColor() const { return FTransparentColor; }
    void SetTransparentColor(TColor Value) { FTransparentColor = Value; }

private:
    void FillPalette(bool System);

    bool FUseWindowsDefaults = false;
    TColor FTransparentColor = 0;
    std::unique_ptr<TZor_Colors_Bevel_Grid> FGrid;
    std::unique_ptr<TZor_Colors> FShape;
    std::unique_ptr<TZor_Colors_Bevel> FLabels;
    std::unique_ptr<TZor_Colors_Bevel> FEdit;
    std::unique_ptr<TZor_Colors_Bevel> FPanel;
    std::unique_ptr<TZor_Colors> FButton;
    std::unique_ptr<TZor_Colors> FBevel;
    std::unique_ptr<TZor_Colors> FForm;
    std::unique_ptr<TZor_Colors> FChildForm;
    std::unique_ptr<TZor_Colors> FMainForm;
    std::unique_ptr<TZor_Colors> FDirect;
};

// The one global scheme of this module (the program and the plug-in each have
// their own). It is made at the first call, before any form asks for it, and
// lives until the module is unloaded or the program ends.
TZor_Pattern& G_Zor_Pattern();

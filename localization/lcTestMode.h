#pragma once
// The test mode: a pseudo-translation that shows a transformed
// first-language text wherever a later language has none, and the escape
// decoding of looked-up texts.
#include <QObject>

#include <functional>
#include <string>
#include <string_view>

class TlcCustomLang;

enum class TTestModeKind : int { tmkExpandWidth, tmkFlipCase, tmkExpandChars };

// Settings of the pseudo-translation that shows a transformed first-language
// text wherever a later language has none.
class TTestModeInfo : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool Active READ Active WRITE SetActive)
    Q_PROPERTY(TTestModeKind Kind READ Kind WRITE SetKind)
    Q_PROPERTY(int ExpandWidthPercent READ ExpandWidthPercent WRITE SetExpandWidthPercent)
    Q_PROPERTY(int ExpandCharsPercent READ ExpandCharsPercent WRITE SetExpandCharsPercent)
    Q_PROPERTY(char32_t PaddingChar READ PaddingChar WRITE SetPaddingChar)
public:
    explicit TTestModeInfo(QObject* parent = nullptr) : QObject(parent) {}
    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    TTestModeKind Kind() const { return FKind; }
    void SetKind(TTestModeKind value) { FKind = value; }
    int ExpandWidthPercent() const { return FExpandWidthPercent; }
    void SetExpandWidthPercent(int value) { FExpandWidthPercent = value; }
    int ExpandCharsPercent() const { return FExpandCharsPercent; }
    void SetExpandCharsPercent(int value) { FExpandCharsPercent = value; }
    char32_t PaddingChar() const { return FPaddingChar; }
    void SetPaddingChar(char32_t value) { FPaddingChar = value; }

private:
    bool FActive = false;
    TTestModeKind FKind = TTestModeKind::tmkExpandWidth;
    int FExpandWidthPercent = 100;
    int FExpandCharsPercent = 100;
    char32_t FPaddingChar = U'*';
};

// The test mode's transformations (on characters, not bytes, of UTF-8 text).
std::string FlipCase(std::string_view text);
std::string ExpandChars(std::string_view text, char32_t paddingChar, int percent);
// Upper case, padded until it is wider by Percent in the measuring font
// (Tahoma 8); the width function may be replaced (null: the font's).
using TTextWidthFunction = std::function<int(const std::u32string& text)>;
std::string ExpandWidth(std::string_view text, char32_t paddingChar, int percent, const TTextWidthFunction& width = {});
// The transformation the component's dispatcher's test mode settings ask for;
// the text unchanged when the component has no dispatcher.
std::string TestModeTransform(const TlcCustomLang* component, std::string_view text);
// Decodes C-style escape sequences (\n, \t, \x41, \101 ...).
std::string ProcessEscapes(std::string_view text);

// Whether new components decode escape sequences in their looked-up texts;
// copied by each component when it is constructed. Off unless set.
extern bool lcDefaultProcessEscapes;

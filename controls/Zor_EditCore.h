#pragma once
// What the edit control TZor_Edit does with its text, without a window.
//
// The input mode makes the edit one for dates, times, integers, floats,
// latitudes, longitudes or minutes and seconds. Three stages keep the text
// sound:
//   - the key filter maps or drops each typed character,
//   - the change stage runs after every change of the text: it validates and
//     normalises it, falls back to the last accepted text when the new one is
//     unacceptable, and keeps the numeric Value,
//   - the exit stage runs when the focus leaves: it rewrites the text in the
//     canonical form of its mode or reports it as invalid.
// On top of that the history of confirmed texts (Enter) that Escape cycles
// back through, shared by all edits in G_Zor_Undo(), and paste through the
// normaliser.
//
// Texts are UTF-8; positions and lengths count characters (code points).
// Dates, times and numbers are read and written with FormatSettings() at the
// moment of use. Refused input beeps (MessageBeep), never a message.
// GUI thread only.
#include <QObject>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace Zor_EditModes {
Q_NAMESPACE

// The kind of text an edit accepts.
enum class TInputMode : quint8 {
    imAll = 0,
    imDate = 1,
    imShortTime = 2,
    imLongTime = 3,
    imInteger = 4,
    imFloat = 5,
    imLatitude = 6,
    imLongitude = 7,
    imMinSec = 8,
};
Q_ENUM_NS(TInputMode)

} // namespace Zor_EditModes

using Zor_EditModes::TInputMode;

// The history of confirmed texts. Entries are kept quoted: the text in single
// quotes with every quote inside doubled (O'Neil as 'O''Neil'); reading takes
// the quoting off again. No upper bound.
class TZor_Undo {
public:
    // Appends empty entries up to `index` when needed, then sets that entry.
    void Put(int index, const std::string& text);
    // The entry at `index`; empty at or beyond the end (and below 0).
    std::string Get(int index) const;
    void Clear() { FEntries.clear(); }
    int Count() const { return static_cast<int>(FEntries.size()); }
    // The stored form of an entry.
    const std::string& Stored(int index) const { return FEntries.at(static_cast<std::size_t>(index)); }

    static std::string Quote(const std::string& text);
    static std::string Unquote(const std::string& stored);

private:
    std::vector<std::string> FEntries;
};

// The one history of the program, shared by all edits: entering an edit
// clears it, so it holds the history of the edit that has the focus.
TZor_Undo& G_Zor_Undo();

// A selection: start and length in characters; length 0 is the caret alone.
struct TZor_Selection {
    int Start = 0;
    int Length = 0;
    bool operator==(const TZor_Selection&) const = default;
};

// The primary language of the user's default language (7 German, 9 English,
// 12 French, 29 Swedish...), which picks the letters of a longitude. Taken
// from the desktop's locale; tests may set it (0: the locale's again).
int ZorUserPrimaryLanguage();
void SetZorUserPrimaryLanguage(int language);

// The text checks of the change stage, usable on their own.
namespace ZorEditChecks {
// Completes a time text to the fields of `format` (ShortTimeFormat or
// LongTimeFormat, whose ':' stands for TimeSeparator): each missing field
// becomes 1, so with hh:nn "12" completes to "12:1" and "" to "1:1".
std::string CompleteTime(const std::string& text, const std::string& format);
bool TimeCheck(const std::string& text, const std::string& format);
bool LatitudeCheck(const std::string& text);
bool LongitudeCheck(const std::string& text);
bool MinSecCheck(const std::string& text);
// The letters that may begin a longitude for the primary language.
std::u32string LongitudeLetters(int primaryLanguage);
} // namespace ZorEditChecks

class TZor_EditCore {
public:
    TZor_EditCore();

    // ---- Properties ----
    TInputMode InputMode() const { return FInputMode; }
    // Stores the mode (also the same one again), runs the normaliser over the
    // text with an empty fallback and sets the result: a text that the new
    // mode refuses is emptied in the time, integer and float modes.
    void SetInputMode(TInputMode value);
    double MinValue() const { return FMinValue; }
    void SetMinValue(double value) { FMinValue = value; }
    double MaxValue() const { return FMaxValue; }
    void SetMaxValue(double value) { FMaxValue = value; }
    int DecimalPlaces() const { return FDecimalPlaces; }
    // A new value rewrites the text as a fixed-point float with that many
    // decimals (an unreadable text counts as 0), in every mode.
    void SetDecimalPlaces(int value);
    // 0: no limit. What a person types or pastes stops at the limit
    // (counted as the window counts: a character above U+FFFF takes two);
    // what would go beyond it is dropped with a beep. The exit stage cuts
    // the float it writes to the limit. Nothing else is cut: a text that the
    // program sets, SetValue, the date or time that the exit stage writes,
    // and the text there is when the limit is lowered stay whole, so a field
    // may hold more than the limit; typing into it then only deletes.
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    // The value the text stands for, as the change stage (or the setter)
    // stored it; the text is checked again: one that no longer reads gives
    // MinValue, the modes without a value 0.
    long double Value();
    void SetValue(long double value);
    long double StoredValue() const { return FValue; }

    // ---- The text in the window ----
    const std::string& Text() const { return FText; }
    TZor_Selection Selection() const { return FSelection; }
    void SetSelection(TZor_Selection value);
    void SelectAll();
    // The program sets the text: when it differs, the change stage runs; the
    // caret goes to the end.
    void SetText(const std::string& value);
    // The user changed the text in the window (typing, deleting, cutting,
    // dropping); `selection` is the caret after it. What the change put in
    // is cut to the room MaxLength leaves; then the change stage runs.
    void TextEdited(const std::string& value, TZor_Selection selection);

    const std::string& LastAccepted() const { return FLastText; }
    TZor_Selection LastSelection() const { return FLastSelection; }

    // ---- Events ----
    std::function<void()> OnChange;
    std::function<void()> OnExitValidateError;

    // ---- Stages ----
    // A typed character: the undo keys (Enter confirms the text, Escape undoes)
    // and the key filter. Returns the character to insert, mapped, or 0 when
    // it is dropped or was a control key handled here.
    char32_t KeyPress(char32_t key);
    // The key filter alone: the mapped character, or 0 when dropped.
    char32_t FilterKey(char32_t key) const;
    // A key went up: Ctrl+A selects all; then the selection is remembered as
    // the last accepted one.
    void KeyUp(bool ctrlA, TZor_Selection selection);
    // The focus arrives: the history restarts with the current text.
    void Enter();
    // The focus leaves.
    void Exit();
    // Escape or the undo command.
    void Undo();
    bool CanUndo() const;
    // Pastes a clipboard text (none: nothing happens) over `selection`, as
    // one line: its line breaks (CR, LF, CR LF) are dropped.
    void Paste(const std::optional<std::string>& clipboard, TZor_Selection selection);

    // The normaliser of the mode over `text`, with `fallback` for a refused
    // text; keeps the Value and may beep. Sets *refused when it fell back.
    std::string Normalise(const std::string& text, const std::string& fallback, bool* refused = nullptr);
    // Whether the change stage keeps `text` as it is in the current mode.
    bool Acceptable(const std::string& text) const;

    int UndoCount() const { return FUndoCount; }
    int UndoPosition() const { return FUndoPosition; }

private:
    void Change();
    void ChangeOnce();
    bool CheckByMode(const std::string& text) const;
    bool InHistory(const std::string& text) const;
    // Cuts what a change of the text put in to the room MaxLength leaves,
    // moving the caret with it; false when something was cut.
    bool WithinLimit(std::string& text, TZor_Selection& selection) const;

    TInputMode FInputMode = TInputMode::imAll;
    double FMinValue = 0;
    double FMaxValue = 0;
    int FDecimalPlaces = 0;
    int FMaxLength = 0;
    long double FValue = 0;

    std::string FText;
    TZor_Selection FSelection;
    std::string FLastText;
    TZor_Selection FLastSelection;

    int FUndoCount = 0;
    int FUndoPosition = 0;

    bool FInChange = false;
    bool FChangePending = false;
};

#pragma once
// The character a key press types: one rule for every control that takes
// typed characters.
//
// The window system attaches a text to nearly every key event, control
// characters too: X gives Delete the character 0x7F, Backspace 0x08, Escape
// 0x1B, Return 0x0D and Tab 0x09. Those keys delete, cancel, confirm or move;
// they type nothing, whatever text comes with them. What a key held with
// Ctrl, Alt or Meta means is left to the control that gets it.
class QKeyEvent;

// Whether a character is one a person types into a text: no control
// character (below 0x20, 0x7F, 0x80 to 0x9F).
constexpr bool IsTypedCharacter(char32_t c)
{
    return c >= 0x20 && c != 0x7F && !(c >= 0x80 && c <= 0x9F);
}

// The character the key types, the first of its text; 0 for Delete,
// Backspace, Escape, Return, Tab and every other key that types nothing.
char32_t TypedCharacter(const QKeyEvent& Event);

// The character message the key makes, as an edit that acts on control
// characters takes it: the typed character, or the control code of
// Backspace (8), Tab (9), Return and Enter (13) and Escape (27); 0 for
// Delete and every other key that types nothing.
char32_t KeyCharCode(const QKeyEvent& Event);

#pragma once
// A real X server for the tests that drive the program as a person does:
// Xvfb on a display number it chooses itself, with the keyboard's own
// auto-repeat on, and keys and the mouse worked through the XTest extension,
// so every event comes from the server like one of a real keyboard.
#include <chrono>
#include <string>

#include <sys/types.h>

struct _XDisplay;

class TXServer {
public:
    // Starts Xvfb and connects to it; Running() tells whether that worked
    // and Error() why not.
    TXServer();
    ~TXServer();
    TXServer(const TXServer&) = delete;
    TXServer& operator=(const TXServer&) = delete;

    bool Running() const { return FDisplay != nullptr; }
    const std::string& Error() const { return FError; }
    // ":<n>", for DISPLAY.
    std::string Name() const { return ":" + std::to_string(FNumber); }

    // A key by its X name ("Return", "Delete", "BackSpace", "a", "comma"...),
    // pressed or released; the server does what a keyboard does with it,
    // repeating a held key.
    void Key(const char* keysym, bool down);
    // Pressed and let go.
    void Tap(const char* keysym);
    // Held down for `time` (real time: the server repeats it meanwhile), then
    // let go.
    void Hold(const char* keysym, std::chrono::milliseconds time);
    // `modifier` ("Alt_L", "Shift_L") held while `keysym` is tapped.
    void Chord(const char* modifier, const char* keysym);
    // Each character of `text` tapped (letters, digits and the ASCII signs),
    // with Shift where the keyboard wants it.
    void Type(const std::string& text);
    // The pointer moved to (x, y) on the screen, and a click of the left button.
    void Click(int x, int y);
    // Waits until the server has handled everything sent so far.
    void Sync();
    // The key code the server gives the key of that X name (0: none).
    unsigned KeyCodeOf(const char* keysym) { return FDisplay ? Code(keysym) : 0; }
    // Whether the server repeats a held key (after RepeatDelayMs, then
    // every RepeatIntervalMs).
    bool AutoRepeatOn();
    static constexpr unsigned RepeatDelayMs = 300;
    static constexpr unsigned RepeatIntervalMs = 30;

private:
    void KeyCode(unsigned code, bool down);
    unsigned Code(const char* keysym);

    int FNumber = -1;
    pid_t FServer = -1;
    _XDisplay* FDisplay = nullptr;
    std::string FError;
};

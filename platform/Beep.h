#pragma once
// The system beep. Every beep of the process goes to one sink, so that tests
// can count them; by default it rings the desktop's bell from the GUI thread.
#include <functional>

enum : unsigned {
    MB_BEEP_SIMPLE = 0xFFFFFFFFu,
    MB_BEEP_OK = 0x0,         // the default sound
    MB_BEEP_ERROR = 0x10,     // MB_ICONHAND
    MB_BEEP_QUESTION = 0x20,
    MB_BEEP_WARNING = 0x30,   // MB_ICONEXCLAMATION
    MB_BEEP_INFORMATION = 0x40, // MB_ICONASTERISK
};

// Callable from any thread.
void MessageBeep(unsigned type = MB_BEEP_OK);
// How many beeps the process has given so far.
unsigned BeepCount();
// Replaces the sound (tests record the types); empty: the desktop's bell.
void SetBeepSink(std::function<void(unsigned type)> sink);

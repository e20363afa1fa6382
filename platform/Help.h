#pragma once
// Help requests of the application and the help viewers behind them.
//
// A program asks for help with HelpCommand (a context id, the contents, a
// keyword...). The request goes to the application's help handler, if one is
// installed (the help router of the program installs itself), else nowhere.
// The viewers: compiled HTML help files (".chm") are handed to the desktop
// (the launcher service opens them with whatever viewer is installed); pop-up
// texts are shown as a tool tip at a point; the old ".hlp" viewer does not
// exist here and answers every call with 0.
#include <cstdint>
#include <functional>
#include <string>

// Request commands.
enum : std::uint16_t {
    HELP_CONTEXT = 1,
    HELP_QUIT = 2,
    HELP_CONTENTS = 3,
    HELP_CONTEXTPOPUP = 8,
    HELP_FINDER = 11,
    HELP_SETPOPUP_POS = 13,
    HELP_TAB = 15,
    HELP_KEY = 257,
    HELP_PARTIALKEY = 261,
};
// HTML help commands.
enum : unsigned {
    HH_DISPLAY_TOPIC = 0,
    HH_DISPLAY_TOC = 1,
    HH_DISPLAY_INDEX = 2,
    HH_DISPLAY_TEXT_POPUP = 14,
    HH_HELP_CONTEXT = 15,
    HH_CLOSE_ALL = 18,
};

// The application's help handler: (command, data, callHelp) -> handled. It
// sets callHelp false when nothing else is to look at the request.
using THelpHandler = std::function<bool(std::uint16_t command, std::intptr_t data, bool& callHelp)>;
THelpHandler ApplicationHelpHandler();
void SetApplicationHelpHandler(THelpHandler handler); // empty: none
// The application's help file ("" when none).
std::string ApplicationHelpFile();
void SetApplicationHelpFile(const std::string& file);
// A help request of the program; false when nobody handled it.
bool HelpCommand(std::uint16_t command, std::intptr_t data);

// What an HTML help pop-up shows and where.
struct THHPopup {
    std::uint32_t Size = 52;
    std::uint32_t StringId = 0; // the topic in the pop-up topics file, when Text is empty
    std::string Text;
    int X = 0, Y = 0;
    std::uint32_t Foreground = 0x1FFFFFFF, Background = 0x1FFFFFFF; // none
    int Margins[4] = {-1, -1, -1, -1};
    std::string Font = "MS Sans Serif, 8";
};

// The HTML help viewer: non-zero when the request was carried out. `file` may
// end in "::/<topics file>" for a pop-up of a topic; data is the context id,
// the keyword (a const char*) or the pop-up (a const THHPopup*) by command.
std::uintptr_t HtmlHelp(std::uintptr_t caller, const std::string& file, unsigned command, std::intptr_t data);
// Whether the HTML help viewer can be used at all (the desktop can open files).
bool LoadHtmlHelpLibrary();
// The old viewer: not present.
bool WinHelp(std::uintptr_t caller, const std::string& file, unsigned command, std::intptr_t data);

// The pop-up topics of a text file: ".topic <id>" lines, each followed by its
// text up to the next ".topic" line. Empty when the file or topic is missing.
std::string PopupTopicText(const std::string& topicsFile, std::uint32_t id);

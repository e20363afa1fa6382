#include "tests/xtest/XServer.h"

#include <X11/XKBlib.h>
#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <map>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

// How long the server may take to come up on a loaded machine.
constexpr int StartLimitMs = 30000;


// The X names of the signs that have one of their own.
const std::map<char, const char*>& SignNames()
{
    static const std::map<char, const char*> names{
        {' ', "space"},     {',', "comma"},       {'.', "period"},   {'-', "minus"},  {':', "colon"},
        {';', "semicolon"}, {'/', "slash"},       {'+', "plus"},     {'#', "numbersign"}, {'\'', "apostrophe"},
        {'!', "exclam"},    {'?', "question"},    {'=', "equal"},    {'_', "underscore"}, {'*', "asterisk"},
        {'(', "parenleft"}, {')', "parenright"},
    };
    return names;
}

} // namespace

TXServer::TXServer()
{
    int ready[2];
    if (::pipe(ready) != 0) {
        FError = std::string("pipe: ") + std::strerror(errno);
        return;
    }
    ::fcntl(ready[0], F_SETFD, FD_CLOEXEC);
    // The server picks a free display itself and writes its number to the
    // pipe once it takes connections.
    const std::string fd = std::to_string(ready[1]);
    const char* argv[] = {"Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "1280x1024x24",
                          "-nolisten", "tcp", "-noreset", nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const int spawned =
        posix_spawnp(&FServer, "Xvfb", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(ready[1]);
    if (spawned != 0) {
        FServer = -1;
        ::close(ready[0]);
        FError = std::string("Xvfb could not be started: ") + std::strerror(spawned);
        return;
    }
    std::string number;
    pollfd wait{ready[0], POLLIN, 0};
    const auto limit = std::chrono::steady_clock::now() + std::chrono::milliseconds(StartLimitMs);
    while (number.find('\n') == std::string::npos) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(limit - std::chrono::steady_clock::now()).count();
        if (left <= 0 || ::poll(&wait, 1, static_cast<int>(left)) <= 0)
            break;
        char buffer[32];
        const ssize_t n = ::read(ready[0], buffer, sizeof buffer);
        if (n <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(ready[0]);
    if (number.find('\n') == std::string::npos) {
        FError = "Xvfb did not come up";
        return;
    }
    FNumber = std::stoi(number);
    FDisplay = XOpenDisplay(Name().c_str());
    if (!FDisplay) {
        FError = "cannot connect to Xvfb on " + Name();
        return;
    }
    int event = 0, error = 0, major = 0, minor = 0;
    if (!XTestQueryExtension(FDisplay, &event, &error, &major, &minor)) {
        FError = "the X server has no XTest";
        XCloseDisplay(FDisplay);
        FDisplay = nullptr;
        return;
    }
    int xkbMajor = XkbMajorVersion, xkbMinor = XkbMinorVersion;
    if (!XkbLibraryVersion(&xkbMajor, &xkbMinor) ||
        !XkbQueryExtension(FDisplay, &major, &event, &error, &xkbMajor, &xkbMinor)) {
        FError = "the X server has no keyboard extension";
        XCloseDisplay(FDisplay);
        FDisplay = nullptr;
        return;
    }
    // The keyboard repeats a held key, as a real one does (xset r on).
    XKeyboardControl control{};
    control.auto_repeat_mode = AutoRepeatModeOn;
    XChangeKeyboardControl(FDisplay, KBAutoRepeatMode, &control);
    // The first repeat soon, then many, so that even a short hold repeats.
    XkbSetAutoRepeatRate(FDisplay, XkbUseCoreKbd, RepeatDelayMs, RepeatIntervalMs);
    XSync(FDisplay, False);
}

TXServer::~TXServer()
{
    if (FDisplay)
        XCloseDisplay(FDisplay);
    if (FServer > 0) {
        ::kill(FServer, SIGTERM);
        int status = 0;
        ::waitpid(FServer, &status, 0);
    }
}

unsigned TXServer::Code(const char* keysym)
{
    const KeySym sym = XStringToKeysym(keysym);
    return sym == NoSymbol ? 0 : XKeysymToKeycode(FDisplay, sym);
}

void TXServer::KeyCode(unsigned code, bool down)
{
    if (!FDisplay || code == 0)
        return;
    XTestFakeKeyEvent(FDisplay, code, down ? True : False, CurrentTime);
    XSync(FDisplay, False);
}

void TXServer::Key(const char* keysym, bool down)
{
    if (FDisplay)
        KeyCode(Code(keysym), down);
}

void TXServer::Tap(const char* keysym)
{
    Key(keysym, true);
    Key(keysym, false);
}

void TXServer::Hold(const char* keysym, std::chrono::milliseconds time)
{
    Key(keysym, true);
    std::this_thread::sleep_for(time);
    Key(keysym, false);
}

void TXServer::Chord(const char* modifier, const char* keysym)
{
    Key(modifier, true);
    Tap(keysym);
    Key(modifier, false);
}

void TXServer::Type(const std::string& text)
{
    if (!FDisplay)
        return;
    for (const char c : text) {
        const auto sign = SignNames().find(c);
        const std::string name = sign != SignNames().end() ? sign->second : std::string(1, c);
        const KeySym sym = XStringToKeysym(name.c_str());
        const unsigned code = sym == NoSymbol ? 0 : XKeysymToKeycode(FDisplay, sym);
        if (code == 0)
            continue;
        // The sign on the key's second level wants Shift.
        const bool shift = XkbKeycodeToKeysym(FDisplay, static_cast<::KeyCode>(code), 0, 0) != sym &&
                           XkbKeycodeToKeysym(FDisplay, static_cast<::KeyCode>(code), 0, 1) == sym;
        if (shift)
            Key("Shift_L", true);
        KeyCode(code, true);
        KeyCode(code, false);
        if (shift)
            Key("Shift_L", false);
    }
}

void TXServer::Click(int x, int y)
{
    if (!FDisplay)
        return;
    XTestFakeMotionEvent(FDisplay, -1, x, y, CurrentTime);
    XSync(FDisplay, False);
    XTestFakeButtonEvent(FDisplay, 1, True, CurrentTime);
    XSync(FDisplay, False);
    XTestFakeButtonEvent(FDisplay, 1, False, CurrentTime);
    XSync(FDisplay, False);
}

void TXServer::Sync()
{
    if (FDisplay)
        XSync(FDisplay, False);
}

bool TXServer::AutoRepeatOn()
{
    if (!FDisplay)
        return false;
    XKeyboardState state{};
    XGetKeyboardControl(FDisplay, &state);
    return state.global_auto_repeat == AutoRepeatModeOn;
}

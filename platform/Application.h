#pragma once
// The running program: its file and folder, and the application object that
// shows an exception escaping an event handler in a message box.
#include <QApplication>

#include <string>

// The program's own file, full path. Tests may place the program elsewhere
// (a temporary folder with its own catalogue) with SetProgramPath.
std::string ProgramPath();
void SetProgramPath(const std::string& path); // empty: the real file again
// The program's folder, ending in '/'.
std::string ProgramFolder();
// The file name without folder; without its extension, if it has one.
std::string ProgramFileName();
std::string ProgramBaseName();

// How long a control's hint stays up once shown, in ms (0: the style's own
// time). Set once at start; read by the application object.
void SetHintHidePause(int ms);
int HintHidePause();

// SIGTERM and SIGINT end the program in order, whatever is open at that
// moment. From the signal on no message box or modal dialog opens any more
// (each answers as cancelled at once; a box's text goes to stderr), the ones
// open close as by Escape, the windows close and every event loop ends; the
// main block then frees what it made as after a normal end (plug-ins
// unloaded, links closed, settings saved) and the program exits with 0.
// One at a time; the handlers are the default ones again when it goes.
class TEndOnSignal : public QObject {
public:
    explicit TEndOnSignal(QObject* parent = nullptr);
    ~TEndOnSignal() override;

private:
    void EndNow();
    int FPipe[2] = {-1, -1};
};

// True once SIGTERM or SIGINT asked the program to end.
bool EndRequested();
// Forgets the request (for tests that end the program more than once).
void ClearEndRequest();

// The application object of the program: ends on SIGTERM and SIGINT as
// above, and shows an exception escaping an event handler in a message box.
class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    bool notify(QObject* receiver, QEvent* event) override;
};

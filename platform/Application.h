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

// The application object of the program. SIGTERM and SIGINT end it the way
// closing the main window does, so the settings are saved on the way out.
// How long a control's hint stays up once shown, in ms (0: the style's own
// time). Set once at start; read by the application object.
void SetHintHidePause(int ms);
int HintHidePause();

class TApplication : public QApplication {
public:
    TApplication(int& argc, char** argv);
    ~TApplication() override;
    bool notify(QObject* receiver, QEvent* event) override;

private:
    int FSignalPipe[2] = {-1, -1};
};

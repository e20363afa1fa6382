#pragma once
// Message boxes and modal dialogs go through one replaceable service, so that
// tests answer them without a window ever blocking in exec().
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>

class QWidget;
class QDialog;

// Buttons, icons and default button of a message box; the answers.
enum : unsigned {
    MB_OK = 0x0,
    MB_OKCANCEL = 0x1,
    MB_YESNOCANCEL = 0x3,
    MB_YESNO = 0x4,
    MB_ICONERROR = 0x10,
    MB_ICONQUESTION = 0x20,
    MB_ICONWARNING = 0x30,
    MB_ICONINFORMATION = 0x40,
    MB_DEFBUTTON2 = 0x100,
};
enum : int { IDOK = 1, IDCANCEL = 2, IDYES = 6, IDNO = 7 };

// The choice of a file to open or to save.
struct TFileDialog {
    std::string Title;
    std::string Filter;     // "Description|*.ext|Description|*.a;*.b", as the forms write it
    int FilterIndex = 1;    // 1-based
    std::string InitialDir;
    std::string FileName;   // preset, and the chosen file (full path) on success
    std::string DefaultExt; // without dot; added to a name typed without one
    bool OverwritePrompt = false;
    // Called once with the dialog window when it first shows, before it is
    // painted (the dialog is then the toolkit's own widget dialog, whose
    // labels and buttons the handler may change).
    std::function<void(QWidget& dialog)> OnShow;
};

// A filter as the forms write it, as the file dialog's name filters: the
// description, and the patterns in parentheses unless the description names
// them already ("Textdatei (*.txt)|*.txt" stays "Textdatei (*.txt)").
QStringList QtNameFilters(const std::string& filter);

class TDialogService {
public:
    virtual ~TDialogService() = default;
    // Texts may hold CR LF or CR line breaks; they are shown as line breaks.
    virtual int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags);
    // Runs a dialog modally and gives its result (QDialog::Accepted...).
    virtual int ExecModal(QDialog& dialog);
    // True when the user chose a file; it is then in dialog.FileName.
    virtual bool OpenFile(QWidget* owner, TFileDialog& dialog);
    virtual bool SaveFile(QWidget* owner, TFileDialog& dialog);
};

// The service in use; the default shows real Qt dialogs.
TDialogService& DialogService();
// Installs another service (null: the default again). Not owned.
void SetDialogService(TDialogService* service);

// A message box from the GUI thread; blocks until answered.
int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags);
// A message box from any thread: shown by the GUI thread, the caller does not
// wait for it. Without a running application the text goes to stderr.
void PostMessageBox(const std::string& text, const std::string& caption, unsigned flags);

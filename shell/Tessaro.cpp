#include "shell/Tessaro.h"

#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "shell/DataModule.h"
#include "shell/InputForm.h"
#include "shell/MainForm.h"

#include <QApplication>

#include <memory>

int RunTessaro(const QStringList& arguments)
{
    // The application title. It is no display name: the toolkit would append
    // a display name to every window title and message box caption, and the
    // windows carry exactly the captions they set.
    QCoreApplication::setApplicationName("Zor Tessaro");
    std::unique_ptr<TDM> dm;
    try {
        dm = std::make_unique<TDM>(arguments, nullptr, TDM::TPluginStart::WithMainWindow);
    } catch (const std::exception& e) {
        // Nothing sound can run without the data module: say why and end.
        MessageBox(nullptr, e.what(), "Zor Tessaro", MB_OK | MB_ICONERROR);
        return 1;
    }
    int result = 0;
    {
        TfMainForm mainForm;
        TfInputForm inputForm(&mainForm); // made at start, hidden
        // The plug-ins come once the main window stands: every call into
        // them, the parameter plug-in's first InitDLL too, hands it over as
        // the owner of their windows.
        if (!EndRequested())
            dm->LoadStartPlugins();
        // SIGTERM or SIGINT during a box of the data module or the device
        // choice ends the program here, before its loop runs.
        if (!EndRequested())
            mainForm.show();
        if (!EndRequested())
            result = QApplication::exec();
        if (EndRequested())
            result = 0; // ended in order, as asked
        else if (result == 0 && mainForm.MarkedToEnd())
            result = 1;
        // The input dialog goes first, then the main window: its destructor
        // unloads the plug-ins while their frames still stand and ends the
        // link's threads.
    }
    dm.reset(); // the end marker, the mutex, the settings saved
    return result;
}

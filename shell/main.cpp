// Tessaro: the configuration program for the maker's devices.
//   Tessaro [device type]
#include "platform/Application.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "shell/DataModule.h"
#include "shell/InputForm.h"
#include "shell/MainForm.h"

#include <memory>

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    QCoreApplication::setApplicationName("Zor Tessaro");
    QGuiApplication::setApplicationDisplayName("Zor Tessaro");
    std::unique_ptr<TDM> dm;
    try {
        dm = std::make_unique<TDM>();
    } catch (const std::exception& e) {
        MessageBox(nullptr, e.what(), "Zor Tessaro", MB_OK | MB_ICONERROR);
        return 1;
    }
    int result = 0;
    {
        TfMainForm mainForm;
        TfInputForm inputForm(&mainForm); // made at start, hidden
        mainForm.show();
        result = app.exec();
    }
    dm.reset();
    return result;
}

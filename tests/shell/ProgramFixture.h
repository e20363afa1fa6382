#pragma once
// The program in a test's own folders (ShellFixture): no box left from an
// earlier test and plug-ins loaded without their pauses. A test makes the
// data module and the main window it needs (Dm, Form); they go before the
// folders do.
#include "shell/DataModule.h"
#include "shell/MainForm.h"
#include "shell/Tessaro.h"
#include "tests/common/TestServices.h"
#include "tests/shell/ShellFixture.h"

#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <string>

class ProgramFixture : public ShellFixture {
protected:
    void SetUp() override
    {
        ShellFixture::SetUp();
        TestDialogs().Clear();
        TDM::PluginLoadPause = [](int) {};
    }
    void TearDown() override
    {
        EndProgram();
        ShellFixture::TearDown();
    }
    // The main window goes, then the data module; the boxes they showed are
    // forgotten, so that the next case starts as the first did.
    void EndProgram()
    {
        Form.reset();
        Dm.reset();
        TestDialogs().Clear();
    }
    // The program coming up in the order it ships in (the main block's, but
    // for the loop): the data module, the main window, the start's plug-ins
    // once the window stands, the first show.
    void StartProgram(QStringList arguments)
    {
        arguments.prepend("Tessaro");
        Dm = std::make_unique<TDM>(arguments);
        Form = std::make_unique<TfMainForm>();
        Dm->LoadStartPlugins();
        Form->FormShow();
    }
    // The catalogue "ZorDevices.xml" in the program folder with these entries.
    void Catalogue(const std::string& devices) const
    {
        WriteFile(ProgramDir() + "ZorDevices.xml", "<?xml version=\"1.0\"?><ZORDEVICES>" + devices + "</ZORDEVICES>");
    }
    // The program's main block with these arguments. Once its loop runs,
    // `atIdle` sees the program up, then the main window closes.
    static int Run(QStringList arguments, std::function<void()> atIdle = {})
    {
        QTimer::singleShot(0, [atIdle] {
            if (!fMainForm)
                return;
            if (atIdle)
                atIdle();
            fMainForm->close();
        });
        arguments.prepend("Tessaro");
        return RunTessaro(arguments);
    }

    std::unique_ptr<TDM> Dm;
    std::unique_ptr<TfMainForm> Form;
};

// The program with its data module made as a start without arguments makes
// it; no main window.
class DataModuleFixture : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        Dm = std::make_unique<TDM>(QStringList{"Tessaro"});
    }
};

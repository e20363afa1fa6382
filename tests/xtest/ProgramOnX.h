#pragma once
// The shipped program on an X server of its own, in the service mode, with
// COM1 on the simulated radio module: what a person has in front of them,
// and what reaches the module.
#include "sim/FramingPeer.h"
#include "sim/RadioModule.h"
#include "tests/xtest/DrivenProgram.h"

#include <QCoreApplication>
#include <QFile>

#include <algorithm>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

class TProgramOnX {
public:
    // Starts the program; it has shown its main window when this succeeds.
    testing::AssertionResult Start()
    {
        if (!X.Running())
            return testing::AssertionFailure() << X.Error();
        // The service mode shows the monitor with its send line; COM1 is the
        // simulated module.
        QFile ini(Program.ConfigFolder() + "/Zorvatek.ini");
        if (!ini.open(QIODevice::WriteOnly))
            return testing::AssertionFailure() << "no settings file";
        ini.write("[General]\nNormWindowPos=48213\n[Tessaro]\nComPort=1\n");
        ini.close();
        QProcessEnvironment port;
        port.insert("TESSARO_COM1", QString::fromStdString(Peer.PortPath()));
        Program.Start(QCoreApplication::applicationDirPath() + "/Tessaro", {"Ruvo"}, port);
        if (!Program.WaitForWindow("TfMainForm", true, StartLimitMs))
            return testing::AssertionFailure() << Program.Output().toStdString();
        return testing::AssertionSuccess();
    }

    // How many times the module received this line.
    std::size_t Received(const std::string& line) const
    {
        const std::vector<std::string> log = Module.Log();
        return static_cast<std::size_t>(std::count(log.begin(), log.end(), line));
    }
    // Waits (real time, bounded) until the module has received the line.
    bool WaitForLine(const std::string& line, int limitMs = AnswerLimitMs)
    {
        for (int waited = 0; Received(line) == 0 && waited < limitMs; waited += 50)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        return Received(line) > 0;
    }

    TXServer X;
    TFramingPeer Peer;
    TRadioModule Module{Peer};
    TDrivenProgram Program{X};
};

class ProgramOnX : public testing::Test, public TProgramOnX {
protected:
    void SetUp() override { ASSERT_TRUE(Start()); }
    void TearDown() override
    {
        if (Program.Process.state() == QProcess::Running) {
            EXPECT_TRUE(Program.Terminate());
        }
    }
};

#pragma once
// The shipped program on the test's own X server, on COM1 to the simulated
// radio module, in the service mode (the monitor with its send line, the
// extended options): what a person does, and what reaches the module.
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

class ProgramOnX : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(X.Running()) << X.Error();
        // The service mode shows the monitor with its send line; COM1 is the
        // simulated module.
        QFile ini(Program.ConfigFolder() + "/Zorvatek.ini");
        ASSERT_TRUE(ini.open(QIODevice::WriteOnly));
        ini.write("[General]\nNormWindowPos=48213\n[Tessaro]\nComPort=1\n");
        ini.close();
        QProcessEnvironment port;
        port.insert("TESSARO_COM1", QString::fromStdString(Peer.PortPath()));
        Program.Start(QCoreApplication::applicationDirPath() + "/Tessaro", {"Ruvo"}, port);
        ASSERT_TRUE(Program.WaitForWindow("TfMainForm", true, StartLimitMs)) << Program.Output().toStdString();
    }
    void TearDown() override
    {
        if (Program.Process.state() == QProcess::Running) {
            EXPECT_TRUE(Program.Terminate());
        }
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

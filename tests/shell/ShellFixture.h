#pragma once
// A program folder and a config folder of their own for each test: the
// catalogue, plug-ins, "STATUS.LOG" and the INI files go there.
#include "platform/Application.h"

#include <QDir>
#include <QFile>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

class ShellFixture : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(Program.isValid() && Config.isValid() && Data.isValid());
        setenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit().constData(), 1);
        setenv("XDG_DATA_HOME", Data.path().toLocal8Bit().constData(), 1);
        SetProgramPath(ProgramDir() + "Tessaro");
    }
    void TearDown() override { SetProgramPath(""); }

    std::string ProgramDir() const { return Program.path().toStdString() + "/"; }
    std::string ConfigDir() const { return Config.path().toStdString() + "/"; }
    std::string DataDir() const { return Data.path().toStdString() + "/"; }

    void WriteFile(const std::string& path, const std::string& bytes) const
    {
        QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
        std::ofstream out(path, std::ios::binary);
        out << bytes;
    }
    std::string ReadFile(const std::string& path) const
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::string Ini() const { return ReadFile(ConfigDir() + "Zorvatek.ini"); }
    // The interface the settings name: 0 none, 255 USB, n the port COMn.
    void SetComPort(int port) const
    {
        QSettings(QString::fromStdString(ConfigDir() + "Zorvatek.ini"), QSettings::IniFormat)
            .setValue("Tessaro/ComPort", port);
    }

    QTemporaryDir Program;
    QTemporaryDir Config;
    QTemporaryDir Data;
};

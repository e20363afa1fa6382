// The shipped program started from a folder of its own whose catalogue is
// nested a hundred thousand elements deep: it comes up on the device the
// catalogue names at the bottom, talks to it, and ends in order on SIGTERM.
#include "sim/FramingPeer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

TEST(ShippedProgram, ComesUpWithACatalogueNestedAHundredThousandDeep)
{
    QTemporaryDir folder, config, data;
    ASSERT_TRUE(folder.isValid() && config.isValid() && data.isValid());
    const QString bin = QCoreApplication::applicationDirPath();
    for (const char* file : {"Tessaro", "libplatform.so"})
        ASSERT_TRUE(QFile::copy(bin + "/" + file, folder.filePath(file))) << file;
    {
        std::ofstream catalogue(folder.filePath("ZorDevices.xml").toStdString(), std::ios::binary);
        catalogue << "<ZORDEVICES>";
        for (int i = 0; i < 100000; ++i)
            catalogue << "<LEVEL>";
        catalogue << R"(<GENERAL preference="Ruvo"/><DEVICE name="Ruvo"/>)";
        for (int i = 0; i < 100000; ++i)
            catalogue << "</LEVEL>";
        catalogue << "</ZORDEVICES>";
    }
    QSettings(config.path() + "/Zorvatek.ini", QSettings::IniFormat).setValue("Tessaro/ComPort", 9);

    TFramingPeer peer;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", config.path());
    env.insert("XDG_DATA_HOME", data.path());
    env.insert("TESSARO_COM9", QString::fromStdString(peer.SlavePath()));
    program.setProcessEnvironment(env);
    program.setProcessChannelMode(QProcess::ForwardedChannels);
    program.start(folder.filePath("Tessaro"), {});
    ASSERT_TRUE(program.waitForStarted(5000));
    // Up once it polls the device: the catalogue was read, the device chosen
    // from it, the port opened.
    bool polled = false;
    for (int i = 0; i < 150 && !polled && program.state() == QProcess::Running; ++i) {
        program.waitForFinished(100);
        polled = peer.Counters().PollsSeen > 0;
    }
    EXPECT_TRUE(polled);
    program.terminate();
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 0);
    QSettings saved(config.path() + "/Zorvatek.ini", QSettings::IniFormat);
    EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")); // saved on the way out
}

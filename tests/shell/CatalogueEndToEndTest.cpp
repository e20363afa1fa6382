// The shipped program started from a folder of its own whose catalogue is
// nested a hundred thousand elements deep: it comes up on the device the
// catalogue names at the bottom, talks to it, and ends in order on SIGTERM.
#include "tests/shell/ShippedProgram.h"

#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fstream>

TEST(ShippedProgram, ComesUpWithACatalogueNestedAHundredThousandDeep)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid() && CopyProgram(folder.path()));
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
    TShippedProgram program(folder.path());
    QSettings(program.Ini(), QSettings::IniFormat).setValue("Tessaro/ComPort", 9);
    TFramingPeer peer;
    program.StartOnPeer(peer, {});
    // Up once it polls the device: the catalogue was read, the device chosen
    // from it, the port opened.
    EXPECT_TRUE(program.WaitUntilPolled(peer));
    ASSERT_TRUE(program.Terminate());
    EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process.exitCode(), 0);
    EXPECT_FALSE(program.Shown().contains("QMessageBox")) << program.Output.toStdString();
    QSettings saved(program.Ini(), QSettings::IniFormat);
    EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")); // saved on the way out
}

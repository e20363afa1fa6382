// The shipped program started from a folder of its own whose catalogue is
// nested a hundred thousand elements deep: it comes up on the device the
// catalogue names at the bottom, talks to it, and ends in order on SIGTERM.
#include "tests/shell/ShippedProgram.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
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

    // Up once it polls the device: the catalogue was read, the device chosen
    // from it, the port opened.
    const TShippedRun run = RunUntilPolledThenTerminate(folder.filePath("Tessaro"), {}, config.path(), data.path());
    ASSERT_TRUE(run.Started);
    EXPECT_TRUE(run.Polled);
    ASSERT_TRUE(run.Ended);
    EXPECT_EQ(run.Status, QProcess::NormalExit);
    EXPECT_EQ(run.Code, 0);
    QSettings saved(config.path() + "/Zorvatek.ini", QSettings::IniFormat);
    EXPECT_TRUE(saved.contains("Tessaro/LANGUAGE")); // saved on the way out
}

// The form placement: restored from and saved to the registry.
#include "localization/lcFormStorage.h"
#include "platform/Exception.h"
#include "platform/Registry.h"

#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class FormStorageTest : public testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit().constData(), 1); }
    QTemporaryDir Config;
    const std::string Key = "HKEY_CURRENT_USER\\Software\\Zorvatek\\Tessaro\\Forms\\Test";
};

} // namespace

TEST_F(FormStorageTest, FirstRunKeepsTheDesignAndClosingSavesAllFive)
{
    QWidget form;
    form.setGeometry(100, 120, 400, 300);
    TlcFormStorage storage(&form);
    storage.SetSubKey("Software\\Zorvatek\\Tessaro\\Forms\\Test");
    storage.Loaded();
    EXPECT_EQ(form.geometry(), QRect(100, 120, 400, 300));
    form.setGeometry(50, 60, 500, 350);
    form.close();
    EXPECT_EQ(TRegistry::ReadString(Key, "State").value_or(""), "Normal");
    EXPECT_EQ(TRegistry::ReadInteger(Key, "Top").value_or(0), 60);
    EXPECT_EQ(TRegistry::ReadInteger(Key, "Left").value_or(0), 50);
    EXPECT_EQ(TRegistry::ReadInteger(Key, "Height").value_or(0), 350);
    EXPECT_EQ(TRegistry::ReadInteger(Key, "Width").value_or(0), 500);
}

TEST_F(FormStorageTest, MaximizedKeepsTheEarlierPlacement)
{
    for (const auto& [name, value] : std::vector<std::pair<const char*, int>>{{"Top", 10}, {"Left", 20}, {"Height", 200}, {"Width", 300}})
        TRegistry::WriteInteger(Key, name, value);
    TRegistry::WriteString(Key, "State", "Maximized");
    QWidget form;
    form.setGeometry(0, 0, 100, 100);
    TlcFormStorage storage(&form);
    storage.SetSubKey("Software\\Zorvatek\\Tessaro\\Forms\\Test");
    storage.Loaded();
    EXPECT_TRUE(form.windowState() & Qt::WindowMaximized);
    form.setWindowState(Qt::WindowMaximized);
    TRegistry::WriteInteger(Key, "Width", 333);
    storage.SavePlacement();
    EXPECT_EQ(TRegistry::ReadString(Key, "State").value_or(""), "Maximized");
    EXPECT_EQ(TRegistry::ReadInteger(Key, "Width").value_or(0), 333); // not rewritten
}

TEST_F(FormStorageTest, AKeyWithoutWidthLeavesThePlacementAndInactiveDoesNothing)
{
    TRegistry::WriteString(Key, "State", "Normal");
    TRegistry::WriteInteger(Key, "Top", 1);
    TRegistry::WriteInteger(Key, "Left", 2);
    TRegistry::WriteInteger(Key, "Height", 3);
    QWidget form;
    form.setGeometry(40, 50, 400, 300);
    TlcFormStorage storage(&form);
    storage.SetSubKey("Software\\Zorvatek\\Tessaro\\Forms\\Test");
    storage.Loaded();
    EXPECT_EQ(form.geometry(), QRect(40, 50, 400, 300));
    storage.SetActive(false);
    TRegistry::WriteInteger(Key, "Width", 4);
    storage.Loaded();
    EXPECT_EQ(form.geometry(), QRect(40, 50, 400, 300));
    form.close();
    EXPECT_EQ(TRegistry::ReadInteger(Key, "Top").value_or(0), 1);
    QObject notAForm;
    EXPECT_THROW(TlcFormStorage wrong(&notAForm), EConvertError);
}

// The form placement: restored from and saved to the registry.
#include "localization/lcFormStorage.h"
#include "platform/Exception.h"
#include "platform/Registry.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QWidget>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

class FormStorageTest : public testing::Test {
protected:
    void SetUp() override { setenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit().constData(), 1); }
    // The placement stored under Key (left, top, width, height), and its state.
    QRect Stored() const
    {
        return QRect(TRegistry::ReadInteger(Key, "Left").value_or(0), TRegistry::ReadInteger(Key, "Top").value_or(0),
                     TRegistry::ReadInteger(Key, "Width").value_or(0), TRegistry::ReadInteger(Key, "Height").value_or(0));
    }
    std::string StoredState() const { return TRegistry::ReadString(Key, "State").value_or(""); }
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
    EXPECT_EQ(StoredState(), "Normal");
    EXPECT_EQ(Stored(), QRect(50, 60, 500, 350));
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

TEST_F(FormStorageTest, AFormDeletedWithoutClosingLeavesItsPlacement)
{
    auto* form = new QWidget;
    form->setGeometry(70, 80, 420, 310);
    auto* storage = new TlcFormStorage(form);
    storage->SetSubKey("Software\\Zorvatek\\Tessaro\\Forms\\Test");
    storage->Loaded();
    form->setGeometry(30, 40, 440, 320);
    delete form; // the storage goes with it, never closed
    EXPECT_EQ(StoredState(), "Normal");
    EXPECT_EQ(Stored(), QRect(30, 40, 440, 320));

    // The next form of that key comes up where the last one went.
    QWidget next;
    next.setGeometry(0, 0, 100, 100);
    TlcFormStorage again(&next);
    again.SetSubKey("Software\\Zorvatek\\Tessaro\\Forms\\Test");
    again.Loaded();
    EXPECT_EQ(next.geometry(), QRect(30, 40, 440, 320));
}

TEST_F(FormStorageTest, AnySubKeyOfARootIsStoredAndReadBack)
{
    // Where a person finds the values: the maker's file for keys below
    // "Software\<Maker>", the root's own file for every other key.
    struct TCase {
        TMyHKeyType Root;
        std::string SubKey;
        std::string File;  // below the config folder
        std::string Group; // in that file
    };
    const TCase cases[] = {
        {TMyHKeyType::lcHKEY_CURRENT_USER, "Forms\\B", "registry/HKEY_CURRENT_USER.ini", "Forms/B"},
        {TMyHKeyType::lcHKEY_CURRENT_USER, "Software\\Zorvatek\\Tessaro\\Forms\\B", "Zorvatek.ini", "Tessaro/Forms/B"},
        {TMyHKeyType::lcHKEY_CURRENT_USER, "Software\\Zorvatek", "Zorvatek.ini", ""},
        {TMyHKeyType::lcHKEY_CURRENT_USER, "Software", "registry/HKEY_CURRENT_USER.ini", "Software"},
        {TMyHKeyType::lcHKEY_CURRENT_USER, "B", "registry/HKEY_CURRENT_USER.ini", "B"},
        {TMyHKeyType::lcHKEY_LOCAL_MACHINE, "Forms\\B", "registry/HKEY_LOCAL_MACHINE.ini", "Forms/B"},
        {TMyHKeyType::lcHKEY_LOCAL_MACHINE, "Software\\Zorvatek\\Forms\\B", "registry/HKEY_LOCAL_MACHINE/Zorvatek.ini",
         "Forms/B"},
        {TMyHKeyType::lcHKEY_USERS, "Forms\\B", "registry/HKEY_USERS.ini", "Forms/B"},
    };
    int shift = 0;
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.SubKey);
        const QRect placed(10 + shift, 20 + shift, 300 + shift, 200 + shift);
        shift += 5;
        {
            auto* form = new QWidget;
            form->setGeometry(placed);
            auto* storage = new TlcFormStorage(form);
            storage->SetRegRootKey(c.Root);
            storage->SetSubKey(c.SubKey);
            delete form;
        }
        const QString file = Config.path() + "/" + QString::fromStdString(c.File);
        ASSERT_TRUE(QFile::exists(file));
        QSettings ini(file, QSettings::IniFormat);
        ini.beginGroup(QString::fromStdString(c.Group));
        EXPECT_EQ(ini.value("Width").toInt(), placed.width());
        EXPECT_EQ(ini.value("State").toString(), "Normal");

        QWidget form;
        form.setGeometry(0, 0, 50, 50);
        TlcFormStorage storage(&form);
        storage.SetRegRootKey(c.Root);
        storage.SetSubKey(c.SubKey);
        storage.Loaded();
        EXPECT_EQ(form.geometry(), placed);
        storage.SetActive(false); // leaves the values for the next case
    }
}

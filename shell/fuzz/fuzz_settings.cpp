// Any bytes as the settings file Zorvatek.ini. Its text reads the same after
// it was written back; the settings object loads from it, says whether the
// service mode is open, and saves what it holds so that it reads back the
// same; a form's placement is restored from the values in it.
#include "localization/lcFormStorage.h"
#include "platform/Dialogs.h"
#include "platform/FileSave.h"
#include "platform/IniDocument.h"
#include "platform/Registry.h"
#include "shell/Environment.h"

#include <QApplication>
#include <QDir>
#include <QWidget>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

// No box may come up: the file is ours to write throughout.
class TNoBoxes : public TDialogService {
public:
    int MessageBox(QWidget*, const std::string& text, const std::string&, unsigned) override
    {
        std::fprintf(stderr, "unexpected message: %s\n", text.c_str());
        std::abort();
    }
};

std::string gFolder;
std::string gFile;
QWidget* gForm = nullptr;

struct TSaved {
    std::int32_t ComPort, Language, SelectedDevice;
    std::string Firmware, History, LogFiles, RawData;
    bool operator==(const TSaved&) const = default;
};

TSaved Saved(const TEnvironment& env)
{
    return {env.ComPort, env.Language, env.SelectedDevice, env.FirmwarePath(), env.HistoryPath(), env.LogPath(),
            env.RawDataPath()};
}

} // namespace

// The toolkit keeps caches that grow as windows are used: a search for
// leaks after every input would find them and take most of the time. A leak
// of ours still shows as memory that keeps growing (-rss_limit_mb).
extern "C" const char* __asan_default_options()
{
    return "detect_leaks=0";
}

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
    // In memory where there is such a folder: each save syncs its file.
    char shm[] = "/dev/shm/fuzz_settings_XXXXXX";
    char tmp[] = "/tmp/fuzz_settings_XXXXXX";
    const char* folder = mkdtemp(shm);
    if (!folder)
        folder = mkdtemp(tmp);
    if (!folder)
        std::abort();
    setenv("XDG_CONFIG_HOME", folder, 1);
    gFolder = folder;
    gFile = gFolder + "/Zorvatek.ini";
    std::atexit([] { QDir(QString::fromStdString(gFolder)).removeRecursively(); });
    static int argc = 1;
    static char name[] = "fuzz_settings";
    static char* argv[] = {name, nullptr};
    new QApplication(argc, argv);
    static TNoBoxes boxes;
    SetDialogService(&boxes);
    gForm = new QWidget;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);

    // The text: what is read is written so that it reads the same again.
    const TIniDocument document = TIniDocument::Parse(bytes);
    const std::string text = document.Text();
    const TIniDocument again = TIniDocument::Parse(text);
    if (!(again == document) || again.Text() != text)
        std::abort();

    SaveFile(gFile, bytes);
    TSaved saved{};
    {
        TAppRegistryStorage storage;
        TEnvironment env(&storage);
        (void)env.GetExtendedVersion();
        (void)env.GetDatabase();
        saved = Saved(env);
    } // saves
    {
        TAppRegistryStorage storage;
        TEnvironment env(&storage);
        if (!(Saved(env) == saved))
            std::abort();
    }

    // A form's placement from the same file.
    TlcFormStorage placement(gForm);
    placement.SetSubKey("Software\\Zorvatek\\Tessaro\\Placement");
    placement.RestorePlacement();
    gForm->setGeometry(10, 10, 100, 100);
    gForm->setWindowState(Qt::WindowNoState);
    return 0;
}

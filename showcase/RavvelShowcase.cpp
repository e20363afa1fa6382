// Shows the plug-in's dialog and monitor windows on a display, loaded from
// Ravvel.so as the program loads it, with a table of sample slots and a few
// monitor lines. With --grab <folder> it saves a picture of each window there
// and ends.
#include "platform/NamedObjects.h"
#include "tests/radioplugin/PluginLibrary.h"

#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTimer>

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    const int grabAt = static_cast<int>(args.indexOf("--grab"));
    const QString grabDir = grabAt > 0 && grabAt + 1 < args.size() ? args[grabAt + 1] : QString();

    const std::string mutex = "Global\\{ravvel-showcase}";
    const HANDLE owned = CreateMutex(true, mutex);
    TPluginLibrary lib;
    if (!lib.Complete()) {
        std::fprintf(stderr, "Ravvel.so: %s\n", dlerror());
        return 1;
    }
    QWidget host;
    host.setWindowTitle("Tessaro");
    host.resize(800, 600);
    host.show();
    const auto handle = reinterpret_cast<TAppHandle>(&host);
    TTestProxy proxy;
    proxy.Connected = [] { return true; };
    lib.Init(handle, mutex.data(), static_cast<std::uint32_t>(mutex.size()), &proxy.Proxy);
    lib.Connection(handle, 1);
    auto receive = [&](const std::string& data) {
        lib.Receive(handle, data.data(), static_cast<std::uint32_t>(data.size()));
    };
    for (int slot = 0; slot < 32; ++slot)
        receive("#r SPEICHER " + std::to_string(slot) + " RX: " + std::to_string(slot * 40) +
                " TX: " + std::to_string(1400 + slot * 30) + " P: " + std::to_string(1 + slot % 5));
    receive("PARAM SQUELCH-LOW=DC SQUELCH-HIGH=2D0 AIR-LIMIT=5A NFLEVEL=10 SN=1267 MODULATION=0 PROJECT=0");
    lib.Show();

    QWidget* dialog = TopLevel("ParameterForm");
    for (const char* button : {"btnFunkmodulTerminal", "btnGPSTrace", "btnIBISTrace"})
        dialog->findChild<QPushButton*>(button)->click();
    // The module's bytes are Latin-1.
    receive("#r OK VERSION 2.14");
    receive("#r Ger\xE4" "t bereit, 21\xB0" "C");
    receive("#g : $GPRMC,123519,A,4807.038,N,01131.000,E,022.4,084.4,230394,003.1,W*6A");
    receive("#w : 1 L 0042 Z 17");
    receive("#w : 2 T\xFC" "r offen");

    if (!grabDir.isEmpty()) {
        QTimer::singleShot(500, [&] {
            for (const char* name : {"ParameterForm", "FunkmodulTerminalForm", "GPSTraceForm", "IBISTraceForm"}) {
                QWidget* w = std::string(name) == "ParameterForm" ? dialog : dialog->findChild<QWidget*>(name);
                if (w)
                    w->grab().save(QDir(grabDir).filePath(QString(name) + ".png"));
            }
            app.quit();
        });
    }
    const int result = app.exec();
    lib.Unload();
    CloseHandle(owned);
    return result;
}

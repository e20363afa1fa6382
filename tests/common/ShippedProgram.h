#pragma once
// A program of the build in a process of its own, started the way the
// end-to-end tests start build/bin/Tessaro: with settings and data folders
// of its own (XDG_CONFIG_HOME, XDG_DATA_HOME), on a display the test names,
// and with a library of the tests put in through LD_PRELOAD (the window watch
// of tests/shell, the probe of tests/xtest) that tells the test on stderr
// what the program shows. tests/shell/ShippedProgram.h and
// tests/xtest/DrivenProgram.h build on it.
#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class TProgramProcess {
public:
    // `display`: the X display (":1" and so on) the program shows its windows
    // on; empty: offscreen, without any display. `preload`: the library put
    // in with LD_PRELOAD.
    TProgramProcess(const QString& display, const QString& preload) : FDisplay(display), FPreload(preload)
    {
        EXPECT_TRUE(FConfig.isValid() && FData.isValid());
    }
    ~TProgramProcess()
    {
        if (Process.state() != QProcess::NotRunning) {
            Process.kill();
            Process.waitForFinished(10000);
        }
    }
    TProgramProcess(const TProgramProcess&) = delete;
    TProgramProcess& operator=(const TProgramProcess&) = delete;

    // A field of the program's /proc/<pid>/status in kB ("VmStk", "VmRSS");
    // -1 when the program is gone.
    long StatusKb(const char* field) const
    {
        QFile status(QString("/proc/%1/status").arg(Process.processId()));
        if (Process.state() != QProcess::Running || !status.open(QIODevice::ReadOnly))
            return -1;
        const QByteArray key = QByteArray(field) + ":";
        for (const QByteArray& line : status.readAll().split('\n'))
            if (line.startsWith(key))
                return line.mid(key.size()).trimmed().split(' ').value(0).toLong();
        return -1;
    }

    // The program's own settings folder; its settings file is Zorvatek.ini
    // there.
    QString ConfigFolder() const { return FConfig.path(); }
    QString Ini() const { return ConfigFolder() + "/Zorvatek.ini"; }

    // Starts `program`; `extra` goes into the environment last.
    void Start(const QString& program, const QStringList& arguments, const QProcessEnvironment& extra = {})
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        if (FDisplay.isEmpty()) {
            env.insert("QT_QPA_PLATFORM", "offscreen");
        } else {
            env.remove("WAYLAND_DISPLAY");
            env.insert("DISPLAY", FDisplay);
            env.insert("QT_QPA_PLATFORM", "xcb");
            env.insert("QT_QPA_PLATFORMTHEME", "");
        }
        env.insert("XDG_CONFIG_HOME", FConfig.path());
        env.insert("XDG_DATA_HOME", FData.path());
        env.insert("LD_PRELOAD", FPreload);
        // The sanitizer's runtime then does not come first; that is fine.
        env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":verify_asan_link_order=0");
        env.insert(extra);
        Process.setProcessEnvironment(env);
        Process.start(program, arguments);
        // A generous bound for a loaded machine; a start that works returns at once.
        ASSERT_TRUE(Process.waitForStarted(60000)) << program.toStdString();
    }

    QProcess Process;

private:
    QString FDisplay, FPreload;
    QTemporaryDir FConfig, FData;
};

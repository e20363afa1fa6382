#pragma once
// The program as it ships, in a process of its own: the end-to-end tests
// start build/bin/Tessaro (or a copy in a folder of its own) offscreen, with
// settings and data folders of its own.
#include "sim/FramingPeer.h"
#include "tests/common/ShippedProgram.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QString>

#include <gtest/gtest.h>

// The program as it ships, in a process of its own: offscreen, with a
// settings folder of its own, and with the window watch put in, which tells
// on stderr of every window that comes up.
class TShippedProgram : public TProgramProcess {
public:
    explicit TShippedProgram(const QString& folder = QCoreApplication::applicationDirPath())
        : TProgramProcess({}, WINDOW_WATCH_PATH), FFolder(folder)
    {
    }
    void Start(const QStringList& arguments, const QProcessEnvironment& extra = {})
    {
        TProgramProcess::Start(FFolder + "/Tessaro", arguments, extra);
    }
    // Waits (real time) until the program has shown a window of this class.
    bool WaitForWindow(const QString& className, int timeoutMs = 30000)
    {
        QElapsedTimer clock;
        clock.start();
        while (!Shown().contains(className) && Process.state() == QProcess::Running && clock.elapsed() < timeoutMs)
            Process.waitForReadyRead(100);
        return Shown().contains(className);
    }
    // The classes of the windows shown so far, in order.
    QStringList Shown()
    {
        Output += Process.readAllStandardError();
        QStringList shown;
        for (const QString& line : QString::fromUtf8(Output).split('\n'))
            if (line.startsWith("shown "))
                shown << line.section(' ', 1, 1);
        return shown;
    }
    // Starts the program with COM9 on the framing peer.
    void StartOnPeer(const TFramingPeer& peer, const QStringList& arguments)
    {
        QProcessEnvironment port;
        port.insert("TESSARO_COM9", QString::fromStdString(peer.PortPath()));
        Start(arguments, port);
    }
    // Waits (real time) until the program polls the peer: the link is up.
    bool WaitUntilPolled(const TFramingPeer& peer, int timeoutMs = 15000)
    {
        QElapsedTimer clock;
        clock.start();
        while (peer.Counters().PollsSeen == 0 && Process.state() == QProcess::Running && clock.elapsed() < timeoutMs)
            Process.waitForFinished(100);
        return peer.Counters().PollsSeen > 0;
    }
    // SIGTERM, then the end; true when the program ended by itself.
    bool Terminate()
    {
        Process.terminate();
        const bool ended = Process.waitForFinished(30000);
        Shown();
        return ended;
    }

    QByteArray Output;

private:
    QString FFolder;
};

// The program's files in a folder of their own, without a catalogue.
inline bool CopyProgram(const QString& to)
{
    const QDir from(QCoreApplication::applicationDirPath());
    return QFile::copy(from.filePath("Tessaro"), to + "/Tessaro") &&
           QFile::copy(from.filePath("libplatform.so"), to + "/libplatform.so");
}


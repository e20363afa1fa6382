#pragma once
// The program as it ships, run in a process of its own: offscreen, with its
// own settings and data folders, COM9 a framing peer. It runs until it polls
// the device (the link is up) or ends by itself, then gets SIGTERM.
#include "sim/FramingPeer.h"

#include <QProcess>
#include <QString>
#include <QStringList>

struct TShippedRun {
    bool Started = false;
    bool Polled = false;
    bool Ended = false;
    QProcess::ExitStatus Status = QProcess::CrashExit;
    int Code = -1;
};

inline TShippedRun RunUntilPolledThenTerminate(const QString& program, const QStringList& arguments,
                                               const QString& config, const QString& data)
{
    TShippedRun run;
    TFramingPeer peer;
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    env.insert("XDG_CONFIG_HOME", config);
    env.insert("XDG_DATA_HOME", data);
    env.insert("TESSARO_COM9", QString::fromStdString(peer.SlavePath()));
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    run.Started = process.waitForStarted(5000);
    if (!run.Started)
        return run;
    for (int i = 0; i < 150 && !run.Polled && process.state() == QProcess::Running; ++i) {
        process.waitForFinished(100);
        run.Polled = peer.Counters().PollsSeen > 0;
    }
    process.terminate();
    run.Ended = process.waitForFinished(10000);
    run.Status = process.exitStatus();
    run.Code = process.exitCode();
    return run;
}

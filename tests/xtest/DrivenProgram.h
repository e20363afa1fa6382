#pragma once
// A program on the test's X server, in a process of its own, with the probe
// put in (tests/xtest/Probe.cpp): the test asks it where the controls are and
// what they show, and works them through the server as a person would.
#include "tests/common/ShippedProgram.h"
#include "tests/xtest/XServer.h"

#include <QByteArray>
#include <QElapsedTimer>
#include <QProcess>
#include <QRect>
#include <QString>
#include <QStringList>

#include <functional>

#include <gtest/gtest.h>

// Generous bounds for what a loaded machine may take; a test that passes
// never waits them out.
constexpr int StartLimitMs = 60000;
constexpr int AnswerLimitMs = 30000;
constexpr int ShowLimitMs = 20000;

class TDrivenProgram : public TProgramProcess {
public:
    explicit TDrivenProgram(TXServer& x) : TProgramProcess(QString::fromStdString(x.Name()), PROBE_PATH), FX(x) {}

    // The probe's answer to a question ("where edtSend"); empty when the
    // program did not answer.
    QString Ask(const QString& question)
    {
        const QString id = QString::number(++FAsked);
        Process.write((id + ' ' + question + '\n').toUtf8());
        const QString head = "probe " + id + ' ';
        QElapsedTimer clock;
        clock.start();
        while (Process.state() == QProcess::Running && clock.elapsed() < AnswerLimitMs) {
            Read();
            for (const QString& line : FLines)
                if (line.startsWith(head))
                    return line.mid(head.size());
            Process.waitForReadyRead(50);
        }
        return {};
    }
    // Where a visible control is on the screen (empty when it is not).
    QRect Where(const QString& name)
    {
        return Rect(Ask("where " + name));
    }
    // Where an entry of a visible menu bar or menu is.
    QRect Item(const QString& menu, const QString& name)
    {
        return Rect(Ask("item " + menu + ' ' + name));
    }
    // Clicks the middle of a visible control; false when it is not there.
    bool Click(const QString& name)
    {
        return ClickRect(Where(name));
    }
    bool ClickRect(const QRect& where)
    {
        if (where.isEmpty())
            return false;
        FX.Click(where.center().x(), where.center().y());
        return true;
    }
    // Asks again and again until `answer` holds for the answer to `question`.
    bool WaitFor(const QString& question, const std::function<bool(const QString&)>& answer,
                 int limitMs = ShowLimitMs)
    {
        QElapsedTimer clock;
        clock.start();
        do {
            FLast = Ask(question);
            if (answer(FLast))
                return true;
            Process.waitForFinished(50);
        } while (Process.state() == QProcess::Running && clock.elapsed() < limitMs);
        return false;
    }
    bool WaitForText(const QString& name, const QString& text, int limitMs = ShowLimitMs)
    {
        return WaitFor("text " + name, [&](const QString& a) { return a == text; }, limitMs);
    }
    // The focused control's object name once the window of this class is
    // active (empty while it is not).
    QString FocusIn(const QString& windowClass)
    {
        const QStringList focus = Ask("focus").split(' ');
        return focus.size() == 3 && focus[0] == windowClass ? focus[2] : QString();
    }
    bool WaitForWindow(const QString& className, bool shown = true, int limitMs = ShowLimitMs)
    {
        return WaitFor("windows", [&](const QString& a) { return a.split(' ').contains(className) == shown; },
                       limitMs);
    }
    // The last answer a wait saw.
    const QString& Last() const { return FLast; }
    // The classes of the windows the program has shown so far, in order.
    QStringList Shown()
    {
        Read();
        QStringList shown;
        for (const QString& line : FLines)
            if (line.startsWith("probe shown "))
                shown << line.section(' ', 2, 2);
        return shown;
    }
    // Everything the program wrote to stderr, but for the probe's answers.
    QString Output()
    {
        Read();
        QStringList other;
        for (const QString& line : FLines)
            if (!line.startsWith("probe "))
                other << line;
        return other.join('\n');
    }
    // SIGTERM, then the end; true when the program ended by itself.
    bool Terminate()
    {
        Process.terminate();
        return Process.waitForFinished(StartLimitMs);
    }

private:
    static QRect Rect(const QString& answer)
    {
        const QStringList p = answer.split(' ');
        if (p.size() != 4)
            return {};
        return {p[0].toInt(), p[1].toInt(), p[2].toInt(), p[3].toInt()};
    }
    void Read()
    {
        FPending += Process.readAllStandardError();
        for (qsizetype end; (end = FPending.indexOf('\n')) >= 0;) {
            FLines << QString::fromUtf8(FPending.left(end));
            FPending.remove(0, end + 1);
        }
    }

    TXServer& FX;
    QByteArray FPending;
    QStringList FLines;
    QString FLast;
    int FAsked = 0;
};

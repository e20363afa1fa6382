// "STATUS.LOG" where two programs write it at once: one writes error reports
// while the other crashes in a plug-in, again and again. Every report and
// every crash line stands whole in the file, none inside another, none lost.
#include "shell/PluginGuard.h"
#include "tests/common/Sanitizer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

std::vector<std::string> Lines(const std::string& all)
{
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < all.size();) {
        const auto eol = all.find("\r\n", at);
        if (eol == std::string::npos) {
            lines.push_back(all.substr(at)); // a line cut off: no line of a whole report or crash
            break;
        }
        lines.push_back(all.substr(at, eol - at));
        at = eol + 2;
    }
    return lines;
}

QString Writers()
{
    return QCoreApplication::applicationDirPath() + "/shell_statuslog_writers";
}

// Starts the program that crashes in the plug-in, as the program's
// parameter plug-in, with "STATUS.LOG" in `folder`. It leaves no core file;
// a sanitizer reports the crash without looking up names.
void StartCrash(QProcess& crash, const QString& folder, const std::string& plugin)
{
    crash.setChildProcessModifier([] {
        const rlimit none{0, 0};
        ::setrlimit(RLIMIT_CORE, &none);
    });
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ASAN_OPTIONS", env.value("ASAN_OPTIONS") + ":symbolize=0");
    crash.setProcessEnvironment(env);
    crash.start(Writers(), {"crash", folder, QString::fromStdString(plugin)});
}

const std::string kBegin = "======== BEGINN FEHLEREINTRAG ======================";
const std::string kEnd = "======== ENDE FEHLEREINTRAG ==========================";
const std::string kMessage = "-------- Fehlermeldung -------------------------------";

} // namespace

TEST(StatusLog, ReportsOfOneProgramAndCrashLinesOfAnotherStandWhole)
{
    constexpr int kCrashes = 100;
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string plugin = std::string(TEST_PLUGIN_DIR) + "/initcrashes.so";
    const QString stop = folder.filePath("stop");
    const std::string log = folder.filePath("STATUS.LOG").toStdString();

    QProcess reports;
    reports.start(Writers(), {"reports", folder.path(), stop});
    ASSERT_TRUE(reports.waitForStarted(60000));
    // The crashes begin once the reports run.
    QElapsedTimer clock;
    clock.start();
    while (!QFile::exists(QString::fromStdString(log)) && clock.elapsed() < 60000)
        reports.waitForFinished(20);
    ASSERT_TRUE(QFile::exists(QString::fromStdString(log))) << reports.readAllStandardError().toStdString();

    int crashed = 0;
    qint64 longest = 0;
    for (int i = 0; i < kCrashes; ++i) {
        QProcess crash;
        QElapsedTimer took;
        took.start();
        StartCrash(crash, folder.path(), plugin);
        ASSERT_TRUE(crash.waitForFinished(60000));
        longest = std::max(longest, took.elapsed());
        if (TESSARO_TEST_SANITIZED || (crash.exitStatus() == QProcess::CrashExit && crash.exitCode() == SIGSEGV))
            ++crashed;
        else
            ADD_FAILURE() << "ended with " << crash.exitCode() << ": " << crash.readAllStandardError().toStdString();
    }
    ASSERT_TRUE(QFile(stop).open(QIODevice::WriteOnly));
    ASSERT_TRUE(reports.waitForFinished(60000));
    ASSERT_EQ(reports.exitCode(), 0) << reports.readAllStandardError().toStdString();
    const int written = reports.readAllStandardOutput().trimmed().toInt();
    EXPECT_EQ(crashed, kCrashes);

    // The file: crash lines and whole reports, one after the other.
    QFile file(QString::fromStdString(log));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::vector<std::string> lines = Lines(file.readAll().toStdString());
    const std::string crashLine = PluginCrashLine(TPluginRole::Parameter, plugin, "InitDLL", SIGSEGV);
    int crashLines = 0;
    int inReports = 0; // crash lines found inside a report
    std::vector<int> numbers;
    for (std::size_t k = 0; k < lines.size(); ++k) {
        if (lines[k] == crashLine) {
            ++crashLines;
            continue;
        }
        ASSERT_EQ(lines[k], kBegin) << "line " << k << " stands outside any report";
        std::size_t end = k + 1;
        while (end < lines.size() && lines[end] != kEnd && lines[end] != kBegin) {
            if (lines[end] == crashLine)
                ++inReports;
            ++end;
        }
        ASSERT_LT(end, lines.size()) << "the report of line " << k << " has no end";
        ASSERT_EQ(lines[end], kEnd) << "the report of line " << k << " has no end";
        ASSERT_GE(end, k + 3);
        EXPECT_EQ(lines[end - 2], kMessage) << k;
        const auto at = lines[end - 1].rfind("] report ");
        ASSERT_NE(at, std::string::npos) << lines[end - 1];
        numbers.push_back(std::stoi(lines[end - 1].substr(at + 9)));
        k = end;
    }
    EXPECT_EQ(crashLines, kCrashes);
    EXPECT_EQ(inReports, 0);
    ASSERT_EQ(static_cast<int>(numbers.size()), written);
    for (int n = 0; n < written; ++n)
        ASSERT_EQ(numbers[static_cast<std::size_t>(n)], n);
    EXPECT_GT(written, 0);
    std::printf("%d crashes, %d crash lines in the file; %d reports written, %zu whole in the file; longest crash "
                "%lld ms\n",
                crashed, crashLines, written, numbers.size(), static_cast<long long>(longest));
}

// The crash line waits for the lock of "STATUS.LOG" while another program
// writes a report, and comes after that report; when the lock stays held, the
// crash does not wait for it for good: its line stands on standard error
// alone and the program ends as the crash has it.
TEST(StatusLog, TheCrashLineWaitsForTheReportBeingWrittenButNotForGood)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const std::string plugin = std::string(TEST_PLUGIN_DIR) + "/initcrashes.so";
    const std::string log = folder.filePath("STATUS.LOG").toStdString();
    const std::string crashLine = PluginCrashLine(TPluginRole::Parameter, plugin, "InitDLL", SIGSEGV);
    for (const bool letGo : {true, false}) {
        SCOPED_TRACE(letGo ? "the report is finished" : "the lock stays held");
        // Another program in the middle of its report: the file locked, the
        // report's first line written.
        const int report = ::open(log.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0666);
        ASSERT_GE(report, 0);
        ASSERT_EQ(::flock(report, LOCK_EX), 0);
        ASSERT_EQ(::write(report, "BEGIN\r\n", 7), 7);
        QProcess crash;
        StartCrash(crash, folder.path(), plugin);
        ASSERT_TRUE(crash.waitForStarted(60000));
        // The line is on standard error before the handler asks for the lock.
        QByteArray errors;
        QElapsedTimer clock;
        clock.start();
        while (!errors.contains("Fatal error") && crash.state() == QProcess::Running && clock.elapsed() < 60000) {
            crash.waitForReadyRead(50);
            errors += crash.readAllStandardError();
        }
        ASSERT_TRUE(errors.contains(QByteArray::fromStdString(crashLine + "\n"))) << errors.toStdString();
        if (letGo) {
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            ASSERT_EQ(::write(report, "END\r\n", 5), 5);
            ::flock(report, LOCK_UN);
        }
        // Either way the crash comes to its end.
        ASSERT_TRUE(crash.state() == QProcess::NotRunning || crash.waitForFinished(60000));
        ::close(report);
        QFile file(QString::fromStdString(log));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const std::string written = file.readAll().toStdString();
        EXPECT_EQ(written, letGo ? "BEGIN\r\nEND\r\n" + crashLine + "\r\n" : std::string("BEGIN\r\n"));
    }
}

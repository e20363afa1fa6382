// The shipped program's port when the process runs out of file descriptors:
// the port thread says what failed and goes on, and opens the port again
// once descriptors are there again.
#include "tests/common/Sanitizer.h"
#include "tests/shell/ShippedProgram.h"

#include <QDir>
#include <QSettings>

#include <gtest/gtest.h>

#include <set>
#include <thread>

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

using namespace std::chrono_literals;

// The lowest descriptor number that the process does not use.
rlim_t LowestFreeDescriptor(qint64 pid)
{
    std::set<rlim_t> used;
    const QDir fds(QString("/proc/%1/fd").arg(pid));
    for (const QString& fd : fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        used.insert(fd.toULong());
    rlim_t free = 0;
    while (used.count(free))
        ++free;
    return free;
}

} // namespace

// The device goes while the program has no descriptor left (its limit is
// lowered to the descriptors it holds): the port thread shows the error, and
// while the limit stands no port can be opened. Once the limit is raised
// again and the device is back, the port thread opens the port and the link
// comes up.
TEST(ShippedProgram, ThePortOpensAgainOnceDescriptorsAreThereAgain)
{
    // A sanitizer's runtime needs descriptors of its own (UBSan looks at
    // memory through a pipe) and fails without them.
    if (TESSARO_TEST_SANITIZED)
        GTEST_SKIP() << "the sanitizer's runtime needs descriptors of its own";
    TShippedProgram program;
    QSettings(program.Ini(), QSettings::IniFormat).setValue("Tessaro/ComPort", 9);
    TFramingPeer peer;
    // The program starts with its descriptors 3 to 66 taken (by /dev/null),
    // as a program that has many files open: whatever it opens and closes
    // lies above them, and so does the limit, where a wait on a few
    // descriptors is still allowed (poll() refuses to wait on more
    // descriptors than the limit). A descriptor of the child's that would be
    // closed by exec (the toolkit's own) would leave a hole: it is taken too.
    program.Process.setChildProcessModifier([] {
        const int null = ::fcntl(::open("/dev/null", O_RDONLY), F_DUPFD, 200);
        for (int fd = 3; fd < 67; ++fd) {
            const int flags = ::fcntl(fd, F_GETFD);
            if (flags < 0 || (flags & FD_CLOEXEC))
                ::dup2(null, fd);
        }
    });
    program.StartOnPeer(peer, {"Ruvo"});
    ASSERT_TRUE(program.WaitUntilPolled(peer, 30000)) << program.Output.toStdString();
    const pid_t pid = static_cast<pid_t>(program.Process.processId());
    rlimit old{};
    ASSERT_EQ(prlimit(pid, RLIMIT_NOFILE, nullptr, &old), 0);
    rlimit none = old;
    none.rlim_cur = LowestFreeDescriptor(pid);
    ASSERT_GE(none.rlim_cur, 64u);
    ASSERT_EQ(prlimit(pid, RLIMIT_NOFILE, &none, nullptr), 0);

    peer.ClosePty();
    ASSERT_TRUE(program.WaitForWindow("QMessageBox")) << program.Output.toStdString();
    std::this_thread::sleep_for(3s); // the port thread tries the port again meanwhile
    ASSERT_EQ(program.Process.state(), QProcess::Running);
    ASSERT_EQ(prlimit(pid, RLIMIT_NOFILE, &old, nullptr), 0);
    const TPeerCounters before = peer.Counters();
    peer.ReopenPty();
    const auto asked = [&] {
        const TPeerCounters now = peer.Counters();
        return now.EnqSeen > before.EnqSeen || now.PollsSeen > before.PollsSeen;
    };
    for (int waited = 0; !asked() && waited < 20000; waited += 100)
        std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(asked()) << "the port was not opened again: " << program.Output.toStdString();

    ASSERT_TRUE(program.Terminate());
    EXPECT_EQ(program.Process.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.Process.exitCode(), 0) << program.Output.toStdString();
}

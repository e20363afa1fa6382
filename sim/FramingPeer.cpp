#include "sim/FramingPeer.h"

#include "link/Serial_Communication.h"
#include "platform/AsciiText.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

using namespace Serial;

namespace {
constexpr std::size_t kBufferMax = 1000;
constexpr unsigned kMaxAttempts = 3;
} // namespace

TFramingPeer::TFramingPeer()
{
    char folder[] = "/tmp/tessaro-peer-XXXXXX";
    if (!::mkdtemp(folder))
        throw std::runtime_error("no folder for the port name");
    FPortFolder = folder;
    FPortPath = FPortFolder + "/port";
    OpenMaster();
    LinkPortPath();
    if (::pipe2(FWake, O_CLOEXEC | O_NONBLOCK) != 0)
        throw std::runtime_error("no pipe");
    FThread = std::thread([this] { Run(); });
}

TFramingPeer::~TFramingPeer()
{
    {
        std::lock_guard guard(FLock);
        FStop = true;
    }
    Wake();
    FThread.join();
    ::unlink(FPortPath.c_str());
    ::rmdir(FPortFolder.c_str());
    if (FMaster >= 0)
        ::close(FMaster);
    ::close(FWake[0]);
    ::close(FWake[1]);
}

// A new pseudo-terminal; its master end becomes the peer's line, on which
// the peer's thread starts its protocol afresh.
void TFramingPeer::OpenMaster()
{
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        throw std::runtime_error("no pseudo-terminal");
    char name[128];
    if (::ptsname_r(master, name, sizeof name) != 0)
        throw std::runtime_error("no pseudo-terminal name");
    // The line is raw from the start, so nothing the program writes before it
    // has configured the port is echoed or translated.
    termios tio{};
    ::tcgetattr(master, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master, TCSANOW, &tio);
    ::fcntl(master, F_SETFL, ::fcntl(master, F_GETFL) | O_NONBLOCK);
    std::lock_guard guard(FLock);
    FSlavePath = name;
    FMaster = master;
    FCloseWanted = false;
    FFreshLine = true;
}

void TFramingPeer::LinkPortPath()
{
    ::unlink(FPortPath.c_str());
    if (::symlink(FSlavePath.c_str(), FPortPath.c_str()) != 0)
        throw std::runtime_error("no port name");
}

void TFramingPeer::Wake()
{
    [[maybe_unused]] auto n = ::write(FWake[1], "w", 1);
}

void TFramingPeer::Send(char cmd, const std::string& data)
{
    {
        std::lock_guard guard(FLock);
        FOutbox.push_back({cmd, data});
    }
    Wake();
}

void TFramingPeer::SendRaw(const std::string& bytes)
{
    {
        std::lock_guard guard(FLock);
        FRawOut.push_back(bytes);
    }
    Wake();
}

std::size_t TFramingPeer::Pending() const
{
    std::lock_guard guard(FLock);
    return FOutbox.size() + (FInFlight ? 1 : 0);
}

void TFramingPeer::StartFlood(char cmd, std::size_t size)
{
    {
        std::lock_guard guard(FLock);
        FFlood = true;
        FFloodCmd = cmd;
        FFloodSize = std::max<std::size_t>(size, 8);
    }
    Wake();
}

void TFramingPeer::StopFlood()
{
    std::lock_guard guard(FLock);
    FFlood = false;
}

void TFramingPeer::StartEnqStorm(unsigned perSecond)
{
    {
        std::lock_guard guard(FLock);
        FEnqStorm = true;
        FEnqRate = perSecond;
        FEnqStart = std::chrono::steady_clock::now();
        FEnqStartSent = FCounters.EnqStormSent;
    }
    Wake();
}

void TFramingPeer::StopEnqStorm()
{
    std::lock_guard guard(FLock);
    FEnqStorm = false;
}

long TFramingPeer::FloodNumber(const std::string& data)
{
    if (data.size() < 8)
        return -1;
    long number = 0;
    for (std::size_t i = 0; i < 8; ++i) {
        if (data[i] < '0' || data[i] > '9')
            return -1;
        number = number * 10 + (data[i] - '0');
    }
    return number;
}

std::vector<TPeerMessage> TFramingPeer::Received() const
{
    std::lock_guard guard(FLock);
    return FReceived;
}

void TFramingPeer::ClearReceived()
{
    std::lock_guard guard(FLock);
    FReceived.clear();
}

bool TFramingPeer::WaitReceived(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock guard(FLock);
    return FChanged.wait_for(guard, timeout, [&] { return FReceived.size() >= count; });
}

TPeerCounters TFramingPeer::Counters() const
{
    std::lock_guard guard(FLock);
    return FCounters;
}

void TFramingPeer::SetMessageSink(TMessageSink sink)
{
    std::lock_guard guard(FLock);
    FMessageSink = std::move(sink);
}

void TFramingPeer::SetTrafficSink(TTrafficSink sink)
{
    std::lock_guard guard(FLock);
    FTrafficSink = std::move(sink);
}

void TFramingPeer::SetSilent(bool on)
{
    {
        std::lock_guard guard(FLock);
        FSilent = on;
    }
    Wake();
}

void TFramingPeer::SetNakAll(bool on)
{
    std::lock_guard guard(FLock);
    FNakAll = on;
}

void TFramingPeer::SetBadChecksums(unsigned n)
{
    std::lock_guard guard(FLock);
    FBadChecksums = n;
}

void TFramingPeer::SetLowerCaseChecksum(bool on)
{
    std::lock_guard guard(FLock);
    FLowerCase = on;
}

void TFramingPeer::SetRepeatFrames(bool on)
{
    std::lock_guard guard(FLock);
    FRepeat = on;
}

void TFramingPeer::SetBelAck(bool on)
{
    std::lock_guard guard(FLock);
    FBelAck = on;
}

void TFramingPeer::SetAnswerTimeout(std::chrono::milliseconds t)
{
    {
        std::lock_guard guard(FLock);
        FAnswerTimeout = t;
    }
    Wake();
}

// The peer's thread closes the master end itself: it may be reading or
// writing it right now, and a number closed under it could be reused by
// whatever the process opens next.
void TFramingPeer::ClosePty()
{
    std::unique_lock guard(FLock);
    if (FMaster < 0)
        return;
    // The name goes first: whoever opens the port again by it finds nothing,
    // and never the number of this line, which another pseudo-terminal of
    // any program may get once it is closed.
    ::unlink(FPortPath.c_str());
    FCloseWanted = true;
    guard.unlock();
    Wake();
    guard.lock();
    FChanged.wait(guard, [this] { return FMaster < 0 || FStop; });
}

void TFramingPeer::ReopenPty()
{
    ClosePty();
    OpenMaster();
    LinkPortPath();
    Wake();
}

void TFramingPeer::WriteOut(const std::string& bytes)
{
    if (bytes.empty())
        return;
    TTrafficSink sink;
    int fd;
    {
        std::lock_guard guard(FLock);
        sink = FTrafficSink;
        fd = FMaster;
    }
    if (fd < 0)
        return;
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd p{fd, POLLOUT, 0};
        if (::poll(&p, 1, 1000) <= 0)
            return;
    }
    if (sink)
        sink('W', bytes);
}

void TFramingPeer::WriteEnqStorm(int fd)
{
    static const std::string enqs(4096, ENQ);
    std::size_t due = enqs.size();
    {
        std::lock_guard guard(FLock);
        if (FEnqRate > 0) {
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - FEnqStart).count();
            const auto owed = static_cast<std::uint64_t>(seconds * FEnqRate);
            const std::uint64_t sent = FCounters.EnqStormSent - FEnqStartSent;
            due = owed > sent ? static_cast<std::size_t>(std::min<std::uint64_t>(owed - sent, enqs.size())) : 0;
        }
    }
    if (due == 0)
        return;
    const ssize_t n = ::write(fd, enqs.data(), due);
    if (n <= 0)
        return;
    std::lock_guard guard(FLock);
    FCounters.EnqStormSent += static_cast<std::uint64_t>(n);
}

void TFramingPeer::Answer(bool positive, std::string& out)
{
    bool belAck;
    {
        std::lock_guard guard(FLock);
        belAck = FBelAck;
    }
    out += STX;
    out += static_cast<char>(OwnSeq());
    if (!positive)
        out += NAK;
    else if (belAck)
        out += std::string{BEL, ACK};
    else
        out += ACK;
}

void TFramingPeer::AcceptFrame(std::string& out)
{
    const std::size_t n = FBuffer.size();
    bool good = n >= 5;
    bool nakAll;
    {
        std::lock_guard guard(FLock);
        nakAll = FNakAll;
    }
    if (good) {
        const std::string body = FBuffer.substr(2, n - 4);
        good = HexByte(Checksum(body[0], body.substr(1))) == FBuffer.substr(n - 2);
    }
    if (!good || nakAll) {
        Answer(false, out);
        std::lock_guard guard(FLock);
        ++FCounters.NaksSent;
        return;
    }
    const std::uint8_t seq = static_cast<std::uint8_t>(FBuffer[1]);
    if ((seq >> 4) != FRecvNo) {
        Answer(true, out);
        std::lock_guard guard(FLock);
        ++FCounters.DuplicatesSeen;
        return;
    }
    FRecvNo = (FRecvNo + 1) % 8;
    Answer(true, out);
    TPeerMessage message{FBuffer[2], Unescape(FBuffer.substr(3, n - 5))};
    TMessageSink sink;
    {
        std::lock_guard guard(FLock);
        ++FCounters.FramesAccepted;
        FReceived.push_back(message);
        sink = FMessageSink;
    }
    FChanged.notify_all();
    if (sink) {
        WriteOut(out); // our answer goes out before whatever the sink sends
        out.clear();
        sink(message);
    }
}

void TFramingPeer::HandleByte(char b, std::string& out)
{
    if (FBuffer.size() == 1 && FBuffer[0] == STX) {
        FAckNo = static_cast<std::uint8_t>(b) & 7;
        FBuffer += b;
        return;
    }
    switch (b) {
    case ENQ: {
        out += std::string{STX, 0x00, ACK};
        FSendNo = FRecvNo = FAckNo = 0;
        FBuffer.clear();
        std::lock_guard guard(FLock);
        ++FCounters.EnqSeen;
        if (FInFlight) { // sent again with fresh numbers
            FOutbox.push_front(FInFlightMessage);
            FInFlight = false;
        }
        return;
    }
    case ACK: {
        FBuffer.clear();
        bool repeat = false;
        {
            std::lock_guard guard(FLock);
            if (!FInFlight)
                return;
            FInFlight = false;
            ++FCounters.FramesAcknowledged;
            if (FInFlightIsFlood)
                ++FCounters.FloodAcknowledged;
            repeat = FRepeat;
        }
        if (repeat) {
            out += FInFlightFrame; // as if our frame had not got its answer
            std::lock_guard guard(FLock);
            ++FCounters.FramesSent;
        }
        return;
    }
    case NAK: {
        FBuffer.clear();
        std::lock_guard guard(FLock);
        if (!FInFlight)
            return;
        ++FCounters.NaksReceived;
        FSentAt = std::chrono::steady_clock::time_point{}; // repeat at once
        return;
    }
    case CR:
        if (FBuffer.size() <= 1) {
            {
                std::lock_guard guard(FLock);
                ++FCounters.PollsSeen;
            }
            if (FAckNo == FSendNo)
                Answer(true, out);
        } else {
            AcceptFrame(out);
        }
        FBuffer.clear();
        return;
    default:
        if (FBuffer.size() < kBufferMax)
            FBuffer += b;
    }
}

void TFramingPeer::TrySend(std::string& out)
{
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard guard(FLock);
    if (FInFlight) {
        if (now - FSentAt < FAnswerTimeout)
            return;
        if (FAttempts >= kMaxAttempts) {
            // Given up: the number was never taken, the next frame uses it.
            FInFlight = false;
            FSendNo = (FSendNo + 7) % 8;
            ++FCounters.FramesGivenUp;
        } else {
            ++FAttempts;
            FInFlightFrame[1] = static_cast<char>((FInFlightFrame[1] & 0xF0) | FRecvNo);
            out += FInFlightFrame;
            FSentAt = now;
            ++FCounters.FramesSent;
            return;
        }
    }
    if (!FBuffer.empty() || FAckNo != FSendNo)
        return;
    if (FOutbox.empty() && !FFlood)
        return;
    FInFlightIsFlood = FOutbox.empty();
    if (FInFlightIsFlood) {
        std::string data = std::to_string(FCounters.FloodSent++);
        data.insert(0, 8 - std::min<std::size_t>(8, data.size()), '0');
        data.resize(FFloodSize, 'x');
        FInFlightMessage = {FFloodCmd, data};
    } else {
        FInFlightMessage = FOutbox.front();
        FOutbox.pop_front();
        // A flood message that a reset of the line put back.
        FInFlightIsFlood = FFloodSize > 0 && FInFlightMessage.Cmd == FFloodCmd &&
                           FInFlightMessage.Data.size() == FFloodSize && FloodNumber(FInFlightMessage.Data) >= 0;
    }
    std::string frame = BuildFrame(FInFlightMessage.Cmd, FInFlightMessage.Data, OwnSeq());
    FSendNo = (FSendNo + 1) % 8;
    const std::size_t digits = frame.size() - 3;
    if (FLowerCase)
        for (std::size_t i = digits; i < digits + 2; ++i)
            frame[i] = AsciiLower(frame[i]);
    FInFlightFrame = frame; // what a repeat sends
    if (FBadChecksums > 0) { // only this first try is spoilt
        --FBadChecksums;
        const std::uint8_t wrong =
            static_cast<std::uint8_t>(Checksum(FInFlightMessage.Cmd, Escape(FInFlightMessage.Data)) + 1);
        frame.replace(digits, 2, HexByte(wrong));
    }
    FInFlight = true;
    FAttempts = 1;
    FSentAt = now;
    ++FCounters.FramesSent;
    out += frame;
}

void TFramingPeer::Run()
{
    char buffer[4096];
    for (;;) {
        int fd;
        {
            std::lock_guard guard(FLock);
            if (FStop)
                return;
            if (FCloseWanted && FMaster >= 0) {
                ::close(FMaster);
                FMaster = -1;
                FChanged.notify_all();
            }
            if (FFreshLine) {
                FFreshLine = false;
                FBuffer.clear();
                FSendNo = FRecvNo = FAckNo = 0;
                if (FInFlight) {
                    FOutbox.push_front(FInFlightMessage);
                    FInFlight = false;
                }
            }
            fd = FMaster;
        }
        // Sleeps until a byte comes, it is woken, or the frame in flight is
        // due to be repeated: an idle peer costs no time of its own.
        int timeout = -1;
        bool storm;
        bool paced;
        {
            std::lock_guard guard(FLock);
            storm = FEnqStorm && !FSilent;
            paced = storm && FEnqRate > 0;
            if (paced)
                timeout = 5;
            if (FInFlight) {
                const auto due = FSentAt + FAnswerTimeout - std::chrono::steady_clock::now();
                timeout = static_cast<int>(std::max<std::int64_t>(
                    0, std::chrono::ceil<std::chrono::milliseconds>(due).count()));
                if (paced)
                    timeout = std::min(timeout, 5);
            }
        }
        const bool fast = storm && !paced;
        pollfd fds[2] = {{FWake[0], POLLIN, 0}, {fd, static_cast<short>(POLLIN | (fast ? POLLOUT : 0)), 0}};
        const int n = ::poll(fds, fd >= 0 ? 2 : 1, timeout);
        if (n < 0 && errno != EINTR) {
            std::lock_guard guard(FLock);
            FStop = true; // the thread is gone; nobody waits for it
            FChanged.notify_all();
            return;
        }
        if (fds[0].revents & POLLIN)
            while (::read(FWake[0], buffer, sizeof buffer) > 0) {
            }
        std::string out;
        if (fd >= 0 && (fds[1].revents & (POLLIN | POLLHUP | POLLERR))) {
            const ssize_t got = ::read(fd, buffer, sizeof buffer);
            if (got > 0) {
                const std::string bytes(buffer, static_cast<std::size_t>(got));
                TTrafficSink sink;
                bool silent;
                {
                    std::lock_guard guard(FLock);
                    sink = FTrafficSink;
                    silent = FSilent;
                }
                if (sink)
                    sink('R', bytes);
                if (!silent)
                    for (const char b : bytes)
                        HandleByte(b, out);
            } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
                // Nobody holds the slave end: wait for the program to open it.
                ::usleep(5000);
            }
        }
        bool silent;
        std::deque<std::string> raw;
        {
            std::lock_guard guard(FLock);
            silent = FSilent;
            raw.swap(FRawOut);
        }
        for (const auto& bytes : raw)
            out += bytes;
        if (!silent)
            TrySend(out);
        else
            out.clear();
        WriteOut(out);
        if (fd >= 0 && (paced || (fast && (fds[1].revents & POLLOUT))))
            WriteEnqStorm(fd);
    }
}

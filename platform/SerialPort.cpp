#include "platform/SerialPort.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace {

struct TNodeRange {
    int First;          // first port number
    const char* Prefix; // node prefix
};
constexpr TNodeRange kRanges[] = {{1, "/dev/ttyS"}, {33, "/dev/ttyUSB"}, {65, "/dev/ttyACM"}};
constexpr int kRangeSize = 32;

bool NodeExists(const std::string& node)
{
    struct stat st{};
    return !node.empty() && ::stat(node.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// The kernel keeps ttyS nodes for UARTs it never found; their type reads 0.
bool UartPresent(int index)
{
    std::ifstream type("/sys/class/tty/ttyS" + std::to_string(index) + "/type");
    int value = 0;
    return type >> value && value != 0;
}

speed_t SpeedOf(unsigned baud)
{
    switch (baud) {
    case 9600: return B9600;
    case 19200: return B19200;
    case 57600: return B57600;
    case 115200: return B115200;
    default: return B38400;
    }
}

} // namespace

std::string PortDeviceNode(int portNumber)
{
    if (const char* over = std::getenv(("TESSARO_COM" + std::to_string(portNumber)).c_str()); over && *over)
        return over;
    for (const auto& range : kRanges)
        if (portNumber >= range.First && portNumber < range.First + kRangeSize)
            return range.Prefix + std::to_string(portNumber - range.First);
    return {};
}

std::vector<TPortEntry> ListPorts()
{
    std::vector<TPortEntry> ports;
    for (int n = 1; n < 255; ++n) {
        const std::string node = PortDeviceNode(n);
        if (!NodeExists(node))
            continue;
        const bool overridden = std::getenv(("TESSARO_COM" + std::to_string(n)).c_str()) != nullptr;
        if (!overridden && n < kRanges[1].First && !UartPresent(n - 1))
            continue;
        ports.push_back({n, node});
    }
    return ports;
}

TSerialPort::~TSerialPort()
{
    Close();
}

bool TSerialPort::Open(const std::string& node)
{
    Close();
    if (node.empty()) {
        errno = ENOENT;
        return false;
    }
    const int fd = ::open(node.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return false;
    // Not shared: a second program (or a second port thread) gets "busy".
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        errno = error;
        return false;
    }
    ::ioctl(fd, TIOCEXCL);
    FFd = fd;
    serial_icounter_struct counts{};
    FHaveCounts = ::ioctl(FFd, TIOCGICOUNT, &counts) == 0;
    if (FHaveCounts) {
        FFrame = counts.frame;
        FOverrun = counts.overrun;
        FParity = counts.parity;
        FBreak = counts.brk;
        FBufOverrun = counts.buf_overrun;
    }
    return true;
}

void TSerialPort::Close()
{
    if (FFd >= 0) {
        ::ioctl(FFd, TIOCNXCL);
        ::close(FFd);
        FFd = -1;
    }
}

void MakeRawLineSettings(termios& tio, unsigned baud)
{
    ::cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS | CSIZE);
    tio.c_cflag |= CS8;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, SpeedOf(baud));
    ::cfsetospeed(&tio, SpeedOf(baud));
}

bool TSerialPort::Configure(unsigned baud)
{
    termios tio{};
    if (::tcgetattr(FFd, &tio) != 0)
        return false;
    MakeRawLineSettings(tio, baud);
    return ::tcsetattr(FFd, TCSANOW, &tio) == 0;
}

bool TSerialPort::SetModemLines(bool rts, bool dtr)
{
    int set = 0, clear = 0;
    (rts ? set : clear) |= TIOCM_RTS;
    (dtr ? set : clear) |= TIOCM_DTR;
    for (auto [request, bits] : {std::pair{TIOCMBIS, set}, std::pair{TIOCMBIC, clear}}) {
        if (bits == 0)
            continue;
        if (::ioctl(FFd, request, &bits) != 0 && errno != ENOTTY && errno != EINVAL && errno != EIO)
            return false;
    }
    return true;
}

void TSerialPort::Purge()
{
    ::tcflush(FFd, TCIOFLUSH);
}

long TSerialPort::Read(char* buffer, unsigned long max)
{
    const ssize_t n = ::read(FFd, buffer, max);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    return n;
}

long TSerialPort::Write(const char* data, unsigned long size)
{
    const ssize_t n = ::write(FFd, data, size);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return 0;
    return n;
}

std::uint32_t TSerialPort::TakeLineErrors()
{
    if (!FHaveCounts)
        return 0;
    serial_icounter_struct counts{};
    if (::ioctl(FFd, TIOCGICOUNT, &counts) != 0)
        return 0;
    std::uint32_t errors = 0;
    if (counts.frame != FFrame) errors |= CE_FRAME;
    if (counts.overrun != FOverrun) errors |= CE_OVERRUN;
    if (counts.parity != FParity) errors |= CE_RXPARITY;
    if (counts.brk != FBreak) errors |= CE_BREAK;
    if (counts.buf_overrun != FBufOverrun) errors |= CE_RXOVER;
    FFrame = counts.frame;
    FOverrun = counts.overrun;
    FParity = counts.parity;
    FBreak = counts.brk;
    FBufOverrun = counts.buf_overrun;
    return errors;
}

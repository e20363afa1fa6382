// The platform under the serial link: the port map from COM numbers to device
// nodes, the list of ports, and the line set-up checked on a pseudo-terminal.
#include "platform/SerialPort.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <memory>
#include <optional>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Sets TESSARO_COM<n> for the life of the object (empty optional: unset) and
// puts back what was there.
class TPortVariable {
public:
    TPortVariable(int port, const std::optional<std::string>& value) : FName("TESSARO_COM" + std::to_string(port))
    {
        if (const char* old = std::getenv(FName.c_str()))
            FOld = old;
        if (value)
            setenv(FName.c_str(), value->c_str(), 1);
        else
            unsetenv(FName.c_str());
    }
    ~TPortVariable()
    {
        if (FOld)
            setenv(FName.c_str(), FOld->c_str(), 1);
        else
            unsetenv(FName.c_str());
    }
    TPortVariable(const TPortVariable&) = delete;
    TPortVariable& operator=(const TPortVariable&) = delete;

private:
    std::string FName;
    std::optional<std::string> FOld;
};

// A pseudo-terminal left as the system makes it (echo, line editing, CR/LF
// translation, XON/XOFF on): whatever the port's set-up misses shows.
class TPty {
public:
    TPty()
    {
        Master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
        if (Master < 0 || ::grantpt(Master) != 0 || ::unlockpt(Master) != 0)
            return;
        char name[128];
        if (::ptsname_r(Master, name, sizeof name) == 0)
            Slave = name;
        ::fcntl(Master, F_SETFL, ::fcntl(Master, F_GETFL) | O_NONBLOCK);
    }
    ~TPty()
    {
        if (Master >= 0)
            ::close(Master);
    }
    TPty(const TPty&) = delete;
    TPty& operator=(const TPty&) = delete;

    int Master = -1;
    std::string Slave;
};

// Reads from `read` until `count` bytes came or 10 s passed.
std::string ReadBytes(const std::function<long(char*, unsigned long)>& read, int fd, std::size_t count)
{
    std::string got;
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (got.size() < count && std::chrono::steady_clock::now() < end) {
        pollfd p{fd, POLLIN, 0};
        ::poll(&p, 1, 100);
        char buffer[512];
        const long n = read(buffer, sizeof buffer);
        if (n > 0)
            got.append(buffer, static_cast<std::size_t>(n));
    }
    return got;
}

std::string EveryByte()
{
    std::string bytes;
    for (int i = 0; i < 256; ++i)
        bytes += static_cast<char>(i);
    return bytes;
}

} // namespace

TEST(PortMap, NumbersNameTheirNodesAndTheVariableOverridesThem)
{
    struct TCase {
        int Port;
        const char* Node;
    };
    const TCase map[] = {
        {1, "/dev/ttyS0"},    {2, "/dev/ttyS1"},     {32, "/dev/ttyS31"},  {33, "/dev/ttyUSB0"},
        {34, "/dev/ttyUSB1"}, {64, "/dev/ttyUSB31"}, {65, "/dev/ttyACM0"}, {96, "/dev/ttyACM31"},
        {0, ""},              {97, ""},              {254, ""},            {255, ""},
        {-1, ""},             {65531, ""},
    };
    for (const TCase& c : map) {
        SCOPED_TRACE(c.Port);
        TPortVariable none(c.Port, std::nullopt);
        EXPECT_EQ(PortDeviceNode(c.Port), c.Node);
    }
    // TESSARO_COM<n> names another node, inside the map or outside it; an
    // empty one does not count.
    {
        TPortVariable inside(5, "/tmp/my-adapter");
        TPortVariable outside(150, "/dev/pts/7");
        TPortVariable empty(6, "");
        EXPECT_EQ(PortDeviceNode(5), "/tmp/my-adapter");
        EXPECT_EQ(PortDeviceNode(150), "/dev/pts/7");
        EXPECT_EQ(PortDeviceNode(6), "/dev/ttyS5");
    }
    TPortVariable gone(5, std::nullopt);
    EXPECT_EQ(PortDeviceNode(5), "/dev/ttyS4");
}

TEST(PortMap, ListedArePortsWhoseNodesExist)
{
    TPty pty;
    ASSERT_FALSE(pty.Slave.empty());
    QTemporaryDir folder;
    const std::string file = folder.path().toStdString() + "/not-a-device";
    std::ofstream(file) << "x";
    struct TCase {
        int Port;
        std::optional<std::string> Node; // TESSARO_COM<n>
        bool Listed;
    };
    const TCase cases[] = {
        {3, pty.Slave, true},                   // in the map's range: the variable's node
        {1, "/dev/tessaro-no-such-port", false}, // an override hides the map's node
        {120, pty.Slave, true},                 // outside the map
        {121, "/dev/tessaro-no-such-port", false},
        {122, file, false}, // a plain file is no port
        {254, pty.Slave, true},
        {255, pty.Slave, false}, // 255 is USB in the port choice
    };
    std::vector<std::unique_ptr<TPortVariable>> variables;
    for (const TCase& c : cases)
        variables.push_back(std::make_unique<TPortVariable>(c.Port, c.Node));
    const std::vector<TPortEntry> ports = ListPorts();
    for (const TCase& c : cases) {
        SCOPED_TRACE(c.Port);
        const auto it = std::find_if(ports.begin(), ports.end(), [&](const TPortEntry& p) { return p.Number == c.Port; });
        EXPECT_EQ(it != ports.end(), c.Listed);
        if (it != ports.end()) {
            EXPECT_EQ(it->Node, *c.Node);
        }
    }
    // In order, once each, each by the node the map gives its number.
    for (std::size_t i = 0; i < ports.size(); ++i) {
        SCOPED_TRACE(ports[i].Number);
        if (i > 0) {
            EXPECT_LT(ports[i - 1].Number, ports[i].Number);
        }
        EXPECT_EQ(ports[i].Node, PortDeviceNode(ports[i].Number));
    }
}

// Checks a line's settings: 38400 baud, 8N1, raw, no flow control.
void ExpectRawLine(const termios& tio)
{
    EXPECT_EQ(::cfgetispeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(::cfgetospeed(&tio), static_cast<speed_t>(B38400));
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    struct TFlag {
        const char* Name;
        tcflag_t termios::*Field;
        tcflag_t Bit;
        bool Set;
    };
    const TFlag flags[] = {
        // 8N1, no hardware flow control, the modem lines ignored, receiver on
        {"PARENB", &termios::c_cflag, PARENB, false},
        {"CSTOPB", &termios::c_cflag, CSTOPB, false},
        {"CRTSCTS", &termios::c_cflag, CRTSCTS, false},
        {"CLOCAL", &termios::c_cflag, CLOCAL, true},
        {"CREAD", &termios::c_cflag, CREAD, true},
        // no software flow control, no parity check, no byte changed on input
        {"IXON", &termios::c_iflag, IXON, false},
        {"IXOFF", &termios::c_iflag, IXOFF, false},
        {"IXANY", &termios::c_iflag, IXANY, false},
        {"INPCK", &termios::c_iflag, INPCK, false},
        {"PARMRK", &termios::c_iflag, PARMRK, false},
        {"IGNPAR", &termios::c_iflag, IGNPAR, false},
        {"ISTRIP", &termios::c_iflag, ISTRIP, false},
        {"ICRNL", &termios::c_iflag, ICRNL, false},
        {"INLCR", &termios::c_iflag, INLCR, false},
        {"IGNCR", &termios::c_iflag, IGNCR, false},
        {"BRKINT", &termios::c_iflag, BRKINT, false},
        // none on output
        {"OPOST", &termios::c_oflag, OPOST, false},
        // no line editing, echo or signal characters
        {"ICANON", &termios::c_lflag, ICANON, false},
        {"ECHO", &termios::c_lflag, ECHO, false},
        {"ECHONL", &termios::c_lflag, ECHONL, false},
        {"ISIG", &termios::c_lflag, ISIG, false},
        {"IEXTEN", &termios::c_lflag, IEXTEN, false},
    };
    for (const TFlag& f : flags)
        EXPECT_EQ((tio.*f.Field & f.Bit) != 0, f.Set) << f.Name;
    // A read returns at once with what is there.
    EXPECT_EQ(tio.c_cc[VMIN], 0);
    EXPECT_EQ(tio.c_cc[VTIME], 0);
}

// What the port asks for, made from a line that has everything else on
// (parity, seven bits, two stop bits and flow control are things a pseudo-
// terminal does not keep, so they are checked here).
TEST(SerialPortLine, TheSettingsAskedForAreARawEightBitLineAt38400Baud)
{
    TPty pty;
    ASSERT_FALSE(pty.Slave.empty());
    termios tio{};
    ASSERT_EQ(::tcgetattr(pty.Master, &tio), 0);
    tio.c_cflag = (tio.c_cflag & ~CSIZE) | CS7 | PARENB | PARODD | CSTOPB | CRTSCTS | HUPCL;
    tio.c_cflag &= ~(CLOCAL | CREAD);
    tio.c_iflag |= IXON | IXOFF | IXANY | INPCK | PARMRK | IGNPAR | ISTRIP | ICRNL | INLCR | IGNCR | BRKINT;
    tio.c_oflag |= OPOST | ONLCR;
    tio.c_lflag |= ICANON | ECHO | ECHONL | ISIG | IEXTEN;
    tio.c_cc[VMIN] = 1;
    tio.c_cc[VTIME] = 5;
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    MakeRawLineSettings(tio, 38400);
    ExpectRawLine(tio);
}

// What the line is after the port configured it: a pseudo-terminal left as
// the system makes it (echo, line editing, CR/LF translation, XON/XOFF) shows
// whatever the set-up misses, and every byte value must pass unchanged.
TEST(SerialPortLine, ThePortIsARawEightBitLineAt38400Baud)
{
    TPty pty;
    ASSERT_FALSE(pty.Slave.empty());
    TSerialPort port;
    ASSERT_TRUE(port.Open(pty.Slave)) << std::strerror(errno);
    ASSERT_TRUE(port.Configure(38400));
    // A pseudo-terminal has no modem-control lines: that is no failure.
    EXPECT_TRUE(port.SetModemLines(true, false));
    termios tio{};
    ASSERT_EQ(::tcgetattr(port.Fd(), &tio), 0);
    ExpectRawLine(tio);

    const std::string bytes = EveryByte();
    ASSERT_EQ(port.Write(bytes.data(), bytes.size()), static_cast<long>(bytes.size()));
    EXPECT_EQ(ReadBytes([&](char* b, unsigned long n) { return static_cast<long>(::read(pty.Master, b, n)); },
                        pty.Master, bytes.size()),
              bytes);
    ASSERT_EQ(::write(pty.Master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    EXPECT_EQ(ReadBytes([&](char* b, unsigned long n) { return port.Read(b, n); }, port.Fd(), bytes.size()), bytes);
    EXPECT_EQ(port.TakeLineErrors(), 0u);
}

TEST(SerialPortLine, APortIsOpenedByOneOnly)
{
    TPty pty;
    ASSERT_FALSE(pty.Slave.empty());
    TSerialPort first;
    ASSERT_TRUE(first.Open(pty.Slave));
    TSerialPort second;
    EXPECT_FALSE(second.Open(pty.Slave));
    EXPECT_EQ(errno, EBUSY);
    EXPECT_FALSE(second.IsOpen());
    first.Close();
    EXPECT_TRUE(second.Open(pty.Slave));

    TSerialPort none;
    EXPECT_FALSE(none.Open(""));
    EXPECT_EQ(errno, ENOENT);
    EXPECT_FALSE(none.Open("/dev/tessaro-no-such-port"));
    EXPECT_EQ(errno, ENOENT);
}

#pragma once
// COM ports on termios device nodes, and the one map from port numbers to
// nodes that the link and the port choice share.
#include <cstdint>
#include <termios.h>
#include <string>
#include <vector>

// Line errors, in the bits the link knows them by.
enum : std::uint32_t {
    CE_RXOVER = 0x0001,   // input buffer overflow
    CE_OVERRUN = 0x0002,  // character buffer overrun
    CE_RXPARITY = 0x0004, // parity error
    CE_FRAME = 0x0008,    // framing error
    CE_BREAK = 0x0010,    // break condition
    CE_MODE = 0x8000,     // the requested mode is not supported
};

// The device node of COM port n: the environment variable TESSARO_COM<n> when
// it is set, else the node of the fixed map (COM1..COM32 /dev/ttyS0..31,
// COM33..COM64 /dev/ttyUSB0..31, COM65..COM96 /dev/ttyACM0..31). Empty for a
// number outside the map.
std::string PortDeviceNode(int portNumber);

struct TPortEntry {
    int Number;       // n of COMn
    std::string Node; // the device node
};
// The ports present on this machine, by number: serial UARTs that the kernel
// found hardware for, USB serial adapters and modems, and every TESSARO_COM<n>
// whose node exists.
std::vector<TPortEntry> ListPorts();

// The settings Configure writes, made from what the port had: a raw 8-bit
// line at the baud rate, 8 data bits, no parity, one stop bit, no hardware or
// software flow control, the modem lines ignored, reads that return at once
// with what is there.
void MakeRawLineSettings(termios& tio, unsigned baud);

class TSerialPort {
public:
    TSerialPort() = default;
    ~TSerialPort();
    TSerialPort(const TSerialPort&) = delete;
    TSerialPort& operator=(const TSerialPort&) = delete;

    // Opens the node for exclusive use, non-blocking. On failure returns false
    // and leaves errno set.
    bool Open(const std::string& node);
    void Close();
    bool IsOpen() const { return FFd >= 0; }
    int Fd() const { return FFd; }

    // Raw 8-bit line at the baud rate, 8 data bits, no parity, one stop bit,
    // no flow control. False with errno on failure.
    bool Configure(unsigned baud);
    // Sets RTS and DTR. A line without modem-control lines (a pseudo-terminal)
    // is no failure.
    bool SetModemLines(bool rts, bool dtr);
    // Drops what the driver holds in both directions.
    void Purge();

    // Reads what is buffered, at most `max` bytes; 0 when nothing is there,
    // -1 with errno on failure.
    long Read(char* buffer, unsigned long max);
    // Writes what the driver takes at once; -1 with errno on failure.
    long Write(const char* data, unsigned long size);

    // The line errors that happened since the last call (CE_* bits); 0 where
    // the driver does not count them.
    std::uint32_t TakeLineErrors();

private:
    int FFd = -1;
    bool FHaveCounts = false;
    int FFrame = 0, FOverrun = 0, FParity = 0, FBreak = 0, FBufOverrun = 0;
};

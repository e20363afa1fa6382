#pragma once
// What the machine says about itself, for the error report.
#include <cstdint>
#include <string>

struct TComputerInfo {
    std::string ProductName;   // the operating system
    std::string ServicePack;   // the kernel release
    std::string CPUName;
    std::int64_t CPUMHz = 0;
    int CPUCount = 0;
    std::string DomainName;
    std::string LocalName;
    std::string Comment;       // the machine's pretty name, if it has one
    std::string IPAddress;     // the first non-loopback IPv4 address
    std::string UserName;
    std::string Company;       // no such thing here: empty
    std::uint64_t TotalPageFile = 0, FreePageFile = 0; // swap
    std::uint64_t TotalPhysical = 0, FreePhysical = 0;
    std::uint64_t TotalVirtual = 0, FreeVirtual = 0;    // memory and swap together
    std::uint64_t SwapFileSize = 0;
    int ScreenWidth = 0, ScreenHeight = 0;
    int ColorDepth = 0;                                  // bits per pixel; 0 when unknown
    int DesktopWidth = 0, DesktopHeight = 0;             // the screen less panels and docks
    std::string ColorScheme;                             // the GUI style in use
    std::string ADOVersion, BDEVersion, IEVersion, DirectXVersion, OpenGLVersion; // none here: empty

    // Reads everything afresh.
    static TComputerInfo Read();
};

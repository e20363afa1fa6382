#include "platform/ComputerInfo.h"

#include <QApplication>
#include <QScreen>
#include <QStyle>

#include <arpa/inet.h>
#include <charconv>
#include <fstream>
#include <ifaddrs.h>
#include <netinet/in.h>
#include <pwd.h>
#include <sstream>
#include <sys/sysinfo.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace {

std::string ValueOf(const std::string& file, const std::string& key, char separator)
{
    std::ifstream in(file);
    std::string line;
    while (std::getline(in, line)) {
        const auto cut = line.find(separator);
        if (cut == std::string::npos)
            continue;
        std::string name = line.substr(0, cut);
        while (!name.empty() && (name.back() == ' ' || name.back() == '\t'))
            name.pop_back();
        if (name != key)
            continue;
        std::string value = line.substr(cut + 1);
        while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
            value.erase(0, 1);
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
            value = value.substr(1, value.size() - 2);
        return value;
    }
    return {};
}

std::string FirstIPv4()
{
    ifaddrs* list = nullptr;
    if (getifaddrs(&list) != 0)
        return {};
    std::string address;
    for (ifaddrs* a = list; a && address.empty(); a = a->ifa_next) {
        if (!a->ifa_addr || a->ifa_addr->sa_family != AF_INET)
            continue;
        const auto* in = reinterpret_cast<const sockaddr_in*>(a->ifa_addr);
        if (ntohl(in->sin_addr.s_addr) >> 24 == 127)
            continue;
        char text[INET_ADDRSTRLEN];
        if (inet_ntop(AF_INET, &in->sin_addr, text, sizeof text))
            address = text;
    }
    freeifaddrs(list);
    return address;
}

} // namespace

TComputerInfo TComputerInfo::Read()
{
    TComputerInfo info;
    info.ProductName = ValueOf("/etc/os-release", "PRETTY_NAME", '=');
    utsname names{};
    if (uname(&names) == 0) {
        info.ServicePack = names.release;
        if (info.ProductName.empty())
            info.ProductName = names.sysname;
    }
    info.CPUName = ValueOf("/proc/cpuinfo", "model name", ':');
    {
        std::ifstream max("/sys/devices/system/cpu/cpu0/cpufreq/cpuinfo_max_freq");
        std::int64_t khz = 0;
        if (max >> khz)
            info.CPUMHz = khz / 1000;
        else {
            // "2500.000": the whole megahertz, read without the C library's
            // locale.
            const std::string mhz = ValueOf("/proc/cpuinfo", "cpu MHz", ':');
            std::from_chars(mhz.data(), mhz.data() + mhz.size(), info.CPUMHz);
        }
    }
    info.CPUCount = static_cast<int>(sysconf(_SC_NPROCESSORS_ONLN));
    char host[256] = {};
    if (gethostname(host, sizeof host - 1) == 0)
        info.LocalName = host;
    char domain[256] = {};
    if (getdomainname(domain, sizeof domain - 1) == 0 && std::string(domain) != "(none)")
        info.DomainName = domain;
    info.Comment = ValueOf("/etc/machine-info", "PRETTY_HOSTNAME", '=');
    info.IPAddress = FirstIPv4();
    if (const passwd* pw = getpwuid(getuid()))
        info.UserName = pw->pw_name;
    struct sysinfo si{};
    if (sysinfo(&si) == 0) {
        const std::uint64_t unit = si.mem_unit ? si.mem_unit : 1;
        info.TotalPhysical = si.totalram * unit;
        info.FreePhysical = si.freeram * unit;
        info.TotalPageFile = si.totalswap * unit;
        info.FreePageFile = si.freeswap * unit;
        info.SwapFileSize = info.TotalPageFile;
        info.TotalVirtual = info.TotalPhysical + info.TotalPageFile;
        info.FreeVirtual = info.FreePhysical + info.FreePageFile;
    }
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            info.ScreenWidth = screen->geometry().width();
            info.ScreenHeight = screen->geometry().height();
            info.ColorDepth = screen->depth();
            info.DesktopWidth = screen->availableGeometry().width();
            info.DesktopHeight = screen->availableGeometry().height();
        }
        if (qobject_cast<QApplication*>(QCoreApplication::instance()) && QApplication::style())
            info.ColorScheme = QApplication::style()->name().toStdString();
    }
    return info;
}

#include "platform/Application.h"

#include "platform/MessageWindow.h"

#include <mutex>
#include <unistd.h>

namespace {
std::mutex gLock;
std::string gProgramPath;

std::string RealProgramPath()
{
    char buffer[4096];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}
} // namespace

std::string ProgramPath()
{
    std::lock_guard guard(gLock);
    if (gProgramPath.empty())
        gProgramPath = RealProgramPath();
    return gProgramPath;
}

void SetProgramPath(const std::string& path)
{
    std::lock_guard guard(gLock);
    gProgramPath = path;
}

std::string ProgramFolder()
{
    const std::string path = ProgramPath();
    const auto cut = path.rfind('/');
    return cut == std::string::npos ? std::string("./") : path.substr(0, cut + 1);
}

std::string ProgramFileName()
{
    const std::string path = ProgramPath();
    const auto cut = path.rfind('/');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

std::string ProgramBaseName()
{
    const std::string name = ProgramFileName();
    const auto dot = name.rfind('.');
    return dot == std::string::npos || dot == 0 ? name : name.substr(0, dot);
}

TApplication::TApplication(int& argc, char** argv) : QApplication(argc, argv) {}

bool TApplication::notify(QObject* receiver, QEvent* event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception& e) {
        HandleApplicationException(e);
    } catch (...) {
        HandleApplicationException(std::runtime_error("Unknown error"));
    }
    return false;
}

// Tessaro: the configuration program for the maker's devices.
//   Tessaro [device type]
#include "platform/Application.h"
#include "shell/Tessaro.h"

int main(int argc, char** argv)
{
    TApplication app(argc, argv);
    return RunTessaro(QCoreApplication::arguments());
}

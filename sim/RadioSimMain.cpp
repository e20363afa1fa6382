// The simulated radio module on a pseudo-terminal, for trying the program
// without a device:
//   tessaro-radiosim [link]
// prints the pseudo-terminal's name (and makes `link` a symbolic link to it),
// then answers the command language until interrupted. Point a COM port at it
// with TESSARO_COM<n>=<name or link> and choose COMn in the program.
#include "sim/FramingPeer.h"
#include "sim/RadioModule.h"

#include <csignal>
#include <cstdio>
#include <string>
#include <unistd.h>

namespace {
volatile std::sig_atomic_t gStop = 0;
}

int main(int argc, char** argv)
{
    std::signal(SIGINT, [](int) { gStop = 1; });
    std::signal(SIGTERM, [](int) { gStop = 1; });
    TFramingPeer peer;
    TRadioModule module(peer);
    std::string name = peer.SlavePath();
    if (argc > 1) {
        ::unlink(argv[1]);
        if (::symlink(peer.SlavePath().c_str(), argv[1]) == 0)
            name = argv[1];
        else
            std::perror(argv[1]);
    }
    std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    while (!gStop)
        ::pause();
    if (argc > 1)
        ::unlink(argv[1]);
    return 0;
}

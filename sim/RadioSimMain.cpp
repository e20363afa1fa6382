// The simulated radio module on a pseudo-terminal, for trying the program
// without a device:
//   tessaro-radiosim [--silent | --wrong | --refusing | --flood | --enq-storm] [link]
// prints the pseudo-terminal's name (and makes `link` a symbolic link to it),
// then answers the command language until interrupted. Point a COM port at it
// with TESSARO_COM<n>=<name or link> and choose COMn in the program.
// The options make it a module that misbehaves: one that keeps its link up
// but answers no line (--silent), answers each line with the other kind's
// answer (--wrong), refuses every line (--refusing), or sends slot
// telegrams without end, as fast as the line takes them (--flood; the rate
// is printed to stderr every 5 seconds). --enq-storm makes it a device that
// resets the link without end: ENQ bytes as fast as the line takes them, the
// rate printed the same way.
#include "sim/FramingPeer.h"
#include "sim/RadioModule.h"

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstring>
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
    const char* link = nullptr;
    bool flood = false;
    bool storm = false;
    for (int i = 1; i < argc; ++i) {
        const char* a = argv[i];
        if (std::strcmp(a, "--silent") == 0) {
            module.SetSilent(true);
        } else if (std::strcmp(a, "--wrong") == 0) {
            module.SetWrongAnswers(true);
        } else if (std::strcmp(a, "--refusing") == 0) {
            module.SetRefusing(true);
        } else if (std::strcmp(a, "--flood") == 0) {
            flood = true;
        } else if (std::strcmp(a, "--enq-storm") == 0) {
            storm = true;
        } else if (a[0] == '-' || link) {
            std::fprintf(stderr, "usage: %s [--silent | --wrong | --refusing | --flood | --enq-storm] [link]\n",
                         argv[0]);
            return 2;
        } else {
            link = a;
        }
    }
    std::string name = peer.SlavePath();
    if (link) {
        ::unlink(link);
        if (::symlink(peer.SlavePath().c_str(), link) == 0)
            name = link;
        else
            std::perror(link);
    }
    std::printf("%s\n", name.c_str());
    std::fflush(stdout);
    module.SetFlood(flood);
    if (storm)
        peer.StartEnqStorm();
    auto last = std::chrono::steady_clock::now();
    std::uint64_t lastSent = 0;
    while (!gStop) {
        if (!flood && !storm) {
            ::pause();
            continue;
        }
        ::sleep(5);
        const auto now = std::chrono::steady_clock::now();
        const std::uint64_t sent = flood ? module.FloodSent() : peer.Counters().EnqStormSent;
        const double seconds = std::chrono::duration<double>(now - last).count();
        std::fprintf(stderr, "%s: %.0f a second\n", flood ? "slot telegrams" : "ENQ bytes",
                     static_cast<double>(sent - lastSent) / seconds);
        last = now;
        lastSent = sent;
    }
    module.SetFlood(false);
    peer.StopEnqStorm();
    if (link)
        ::unlink(link);
    return 0;
}

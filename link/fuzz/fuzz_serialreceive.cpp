// Fuzz target: the receive path of the serial frame protocol. The input is a
// stream of operations (bytes received, time passing, messages sent, answers,
// line errors, option changes; see tests/link/ProtocolExerciser.h) run in
// virtual time. Every step must keep the protocol's rules, every write must be
// a well-formed frame or answer, and afterwards a device that starts afresh
// must get a working link. A broken rule aborts with its description.
#include "tests/link/ProtocolExerciser.h"

#include "platform/Beep.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerInitialize(int*, char***)
{
    SetBeepSink([](unsigned) {});
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TProtocolExerciser exerciser;
    std::string broken = exerciser.Run(std::string_view(reinterpret_cast<const char*>(data), size));
    if (broken.empty())
        broken = exerciser.CheckRecovery();
    if (!broken.empty()) {
        std::fprintf(stderr, "serial protocol: %s\n", broken.c_str());
        std::abort();
    }
    return 0;
}

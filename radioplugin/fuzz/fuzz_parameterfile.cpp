// Any bytes as a parameter file: a load either takes them or refuses them
// with an Exception, and a refused load changes nothing.
#include "platform/Exception.h"
#include "radioplugin/RuvoParameter.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string path = [] {
        char name[] = "/tmp/fuzz_parameterfile_XXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        return std::string(name);
    }();
    if (FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    TRuvoParameter set;
    set.SetNFLevel(5);
    set.GetSlot(3)->SetPower(2);
    TRuvoParameter before;
    before.Assign(set);
    try {
        set.LoadFromXML(path);
    } catch (const Exception&) {
        if (!(set == before))
            std::abort();
    }
    return 0;
}

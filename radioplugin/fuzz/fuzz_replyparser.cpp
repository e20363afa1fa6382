// Any bytes as a message from the module: the parser applies them or raises
// an Exception, never anything else.
#include "platform/Exception.h"
#include "radioplugin/RuvoParameter.h"
#include "radioplugin/RuvoReplyParser.h"
#include "radioplugin/RuvoTransport.h"
#include "radioplugin/RuvoView.h"

#include <cstdint>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static TRuvoView view;
    static TRuvoParameter set;
    static TRuvoTransport transport(nullptr, "", view, [] { return std::int64_t(0); });
    static TRuvoReplyParser parser(set, transport, view);
    try {
        parser.HandleReply(std::string(reinterpret_cast<const char*>(data), size));
    } catch (const Exception&) {
    }
    return 0;
}

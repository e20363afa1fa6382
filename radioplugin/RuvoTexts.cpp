#include "radioplugin/RuvoTexts.h"

#include <map>

std::string RuvoDefaultText(const std::string& id)
{
    static const std::map<std::string, std::string> texts = {
        {"IDS_2", "FFSK-Filter ausschalten"},
        {"IDS_3", "FFSK-Filter ist ausgeschaltet"},
        {"IDS_6", "FFSK-Filter einschalten"},
        {"IDS_7", "FFSK-Filter ist eingeschaltet"},
        {"IDS_9", "Die vom Funkgerät gemeldete Sendeleistung %d für Slot %d ist nicht bekannt"},
        {"IDS_10", "Akzeptiert werden Werte zwischen 0 und 4."},
        {"IDS_20", "ParameterForm: Error while waiting for radio response."},
        {"IDS_26", "Die vom Gerät gemeldete Projektkennung (%d) ist nicht bekannt."},
        {"IDS_27", "Es wird das Standardprojekt eingestellt."},
        {"IDS_34", "Unbekannte Parametermeldung vom Gerät: \"%s\""},
        {"IDS_38", "ddmmyyyy"},
    };
    const auto it = texts.find(id);
    return it == texts.end() ? std::string() : it->second;
}

std::string RuvoText(const TTextLookup& lookup, const std::string& id)
{
    if (lookup) {
        std::string text = lookup(id);
        if (!text.empty())
            return text;
    }
    return RuvoDefaultText(id);
}

std::string FillText(const std::string& pattern, std::initializer_list<std::string> args)
{
    std::string out;
    auto next = args.begin();
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char c = pattern[i];
        if (c == '%' && i + 1 < pattern.size()) {
            const char k = pattern[i + 1];
            if (k == '%') {
                out += '%';
                ++i;
                continue;
            }
            if ((k == 'd' || k == 's') && next != args.end()) {
                out += *next++;
                ++i;
                continue;
            }
        }
        out += c;
    }
    return out;
}

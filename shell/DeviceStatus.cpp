#include "shell/DeviceStatus.h"

#include "platform/Application.h"
#include "platform/Exception.h"
#include "platform/FileSave.h"

#include <pugixml.hpp>

#include <cctype>

namespace {

bool SameTextAZ(const char* a, const char* b)
{
    return UpperCaseAZ(a) == UpperCaseAZ(b);
}

// The attribute of that name in any letter case.
const char* Attribute(const pugi::xml_node& node, const char* name, bool* present = nullptr)
{
    for (const pugi::xml_attribute& a : node.attributes())
        if (SameTextAZ(a.name(), name)) {
            if (present)
                *present = true;
            return a.value();
        }
    if (present)
        *present = false;
    return "";
}

// A decimal integer or -1, as the catalogue's numbers read.
std::int64_t Number(const char* text)
{
    std::string s(text);
    const auto first = s.find_first_not_of(' ');
    const auto last = s.find_last_not_of(' ');
    if (first == std::string::npos)
        return -1;
    s = s.substr(first, last - first + 1);
    std::size_t i = (s[0] == '-' || s[0] == '+') ? 1 : 0;
    if (i == s.size())
        return -1;
    for (std::size_t k = i; k < s.size(); ++k)
        if (!std::isdigit(static_cast<unsigned char>(s[k])))
            return -1;
    try {
        return std::stoll(s);
    } catch (...) {
        return -1;
    }
}

std::unique_ptr<TDeviceStatus> EntryOf(const pugi::xml_node& node)
{
    auto entry = std::make_unique<TDeviceStatus>();
    entry->Name = Attribute(node, "name");
    bool present = false;
    const std::string gender = Attribute(node, "gender", &present);
    entry->Gender = !present ? 0 : gender == "F" ? 1 : gender == "N" ? 2 : 0;
    entry->MagicWord = Attribute(node, "magicword");
    const char* block = Attribute(node, "blocksize", &present);
    if (present)
        entry->SetBlockSize(static_cast<std::int32_t>(std::max<std::int64_t>(-1, std::min<std::int64_t>(Number(block), INT32_MAX))));
    const std::string initial = Attribute(node, "initialstatus", &present);
    entry->InitialStatus = present && initial == "wait" ? 0 : 1;
    const char* product = Attribute(node, "productid", &present);
    entry->ProductID = present ? static_cast<std::int32_t>(static_cast<std::uint32_t>(Number(product) & 0xFFFFFFFF)) : -1;
    entry->Extension = Attribute(node, "extension");
    entry->ST = Attribute(node, "ST");
    entry->FW = Attribute(node, "FW");
    entry->PA = Attribute(node, "PA");
    entry->EX = Attribute(node, "EX");
    return entry;
}

} // namespace

std::string UpperCaseAZ(const std::string& Text)
{
    std::string out = Text;
    for (char& c : out)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 'a' + 'A');
    return out;
}

std::string TDeviceStatus::Resolve(const std::string& file)
{
    if (file.empty())
        return {};
    std::string candidate = file;
    for (char& c : candidate)
        if (c == '\\')
            c = '/';
    // A bare name, and a name with a folder that is not absolute, are in
    // the program's folder: which library loads must not depend on where the
    // person started the program.
    if (candidate.front() != '/')
        candidate = ProgramFolder() + candidate;
    return FileExists(candidate) ? candidate : std::string();
}

void TDeviceList::Clear()
{
    FCurrent = nullptr;
    FEntries.clear();
}

void TDeviceList::Add(std::unique_ptr<TDeviceStatus> Entry)
{
    FEntries.push_back(std::move(Entry));
}

void TDeviceList::LoadDevices(const std::string& FileName)
{
    if (!FileExists(FileName)) {
        FLoaded = false;
        throw Exception("LoadDevices: File \"" + FileName + "\" does not exist.");
    }
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_file(FileName.c_str());
    ReadCatalogue(document, parsed, FileName);
}

void TDeviceList::LoadDevicesFromText(const std::string& Text, const std::string& FileName)
{
    pugi::xml_document document;
    const pugi::xml_parse_result parsed = document.load_buffer(Text.data(), Text.size());
    ReadCatalogue(document, parsed, FileName);
}

void TDeviceList::ReadCatalogue(const pugi::xml_document& document, const pugi::xml_parse_result& parsed,
                                const std::string& FileName)
{
    // The whole file is read before anything changes, so a broken file
    // leaves the catalogue as it was.
    if (!parsed)
        throw Exception("LoadDevices: File \"" + FileName + "\" could not be read: " + parsed.description() +
                        " (offset " + std::to_string(parsed.offset) + ")");

    std::vector<std::unique_ptr<TDeviceStatus>> entries;
    std::string preference = FPreference;
    // Depth first, each element before its children, children in document
    // order; without recursion, so that no depth of nesting can exhaust the
    // stack.
    std::vector<pugi::xml_node> pending{document.document_element()};
    while (!pending.empty()) {
        const pugi::xml_node node = pending.back();
        pending.pop_back();
        if (!node)
            continue;
        if (std::string(node.name()) == "GENERAL")
            preference = Attribute(node, "preference");
        else if (std::string(node.name()) == "DEVICE")
            entries.push_back(EntryOf(node));
        for (pugi::xml_node child = node.last_child(); child; child = child.previous_sibling())
            if (child.type() == pugi::node_element)
                pending.push_back(child);
    }

    FCurrent = nullptr;
    FEntries = std::move(entries);
    FPreference = preference;
    if (!FEntries.empty())
        FCurrent = FEntries.front().get();
    if (!FPreference.empty()) {
        FCurrent = nullptr;
        for (const auto& e : FEntries)
            if (e->Name == FPreference) {
                FCurrent = e.get();
                break;
            }
    }
    FLoaded = true;
}

TDeviceStatus* TDeviceList::FindCaseBlind(const std::string& Name) const
{
    const std::string wanted = UpperCaseAZ(Name);
    for (const auto& e : FEntries)
        if (UpperCaseAZ(e->Name) == wanted)
            return e.get();
    return nullptr;
}

void TDeviceList::SetPreferredDevice(const std::string& Name)
{
    if (TDeviceStatus* entry = FindCaseBlind(Name)) {
        FPreference = entry->Name;
        FCurrent = entry;
    }
}

void TDeviceList::SelectDeviceByName(const std::string& Name)
{
    FCurrent = FindCaseBlind(Name);
}

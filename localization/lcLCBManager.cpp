#include "localization/lcLCBManager.h"

#include "localization/lcFiles.h"
#include "localization/lcResStrings.h"
#include "localization/lcStream.h"
#include "platform/Exception.h"

#include <algorithm>

using namespace lcStream;

std::string BuildLCBFile(const TlcStringList& fixedLanguages,
                         const std::vector<std::pair<std::string, std::string>>& entries)
{
    std::string out = lcLCBHeader;
    out += '\0';
    PutU16(out, static_cast<unsigned>(entries.size()));
    const std::string fixed = UnflaggedEightBitText(JoinLines(fixedLanguages, "\r\n", false));
    PutU16(out, static_cast<unsigned>(fixed.size()));
    out += fixed;
    size_t tableSize = 0;
    for (const auto& entry : entries)
        tableSize += 2 + entry.first.size() + 4;
    size_t offset = out.size() + tableSize;
    for (const auto& entry : entries) {
        PutU16(out, static_cast<unsigned>(entry.first.size()));
        out += entry.first;
        PutU32(out, static_cast<std::uint32_t>(offset));
        offset += entry.second.size();
    }
    for (const auto& entry : entries)
        out += entry.second;
    return out;
}

// ---- the .LCB manager -------------------------------------------------------------

TLCBFileManager::TLCBFileManager() : FHeader(lcLCBHeader) {}

TLCBFileManager::~TLCBFileManager()
{
    for (const QPointer<TlcCustomLang>& component : FComponents)
        if (component && !component->parent())
            delete component.data();
}

void TLCBFileManager::AssignTo(TLCBFileManager& other) const
{
    if (&other == this)
        return;
    other.FHeader = FHeader;
    other.FFixedLanguages = FFixedLanguages;
    other.FOwnerIdentifiers = FOwnerIdentifiers;
    other.FFileNameForComments = FFileNameForComments;
    for (const QPointer<TlcCustomLang>& component : FComponents) {
        if (!component)
            continue;
        const TComponentFactory* factory = ClassFactory(*component);
        if (!factory)
            continue;
        std::unique_ptr<TlcCustomLang> copy((*factory)(nullptr));
        copy->BeginLoading();
        ReadComponentStream(*copy, WriteComponentStream(*component), 0);
        copy->EndLoadingWithoutLoaded();
        other.FComponents.emplace_back(copy.release());
    }
}

void TLCBFileManager::ReadComponent(TlcCustomLang& component, const std::string& ownerIdentifier,
                                    std::string_view stream)
{
    const std::string header = FHeader + '\0';
    const size_t limit = stream.size() >= 2 ? stream.size() - 2 : 0;
    const size_t zero = stream.substr(0, limit).find('\0');
    if (zero == std::string_view::npos || stream.substr(0, zero + 1) != header)
        throw Exception(LoadStr(SlcUnrecognizedStream));
    TStreamReader in(stream, zero + 1);
    const unsigned count = in.U16();
    TlcStringList fixed;
    fixed.SetText(TextOfUnflagged(in.Bytes(in.U16())));
    std::vector<std::string> sorted = fixed.Lines();
    std::sort(sorted.begin(), sorted.end(), [](const std::string& a, const std::string& b) {
        return lcCompareText(a, b) < 0;
    });
    FFixedLanguages.Clear();
    for (std::string& name : sorted)
        FFixedLanguages.Add(std::move(name));
    FOwnerIdentifiers.Clear();
    for (unsigned i = 0; i < count; ++i) {
        const std::string identifier = in.Bytes(in.U16());
        const std::uint32_t offset = in.U32();
        FOwnerIdentifiers.Add(identifier);
        if (identifier != ownerIdentifier)
            continue;
        // Everything is read into a temporary component first, so a broken
        // stream leaves the component as it was.
        TTemporaryComponent temporary = MakeTemporary(component, ownerIdentifier);
        TlcCustomLang& read = *temporary.Component;
        read.BeginLoading();
        try {
            ReadComponentStream(read, stream, offset);
        } catch (...) {
            read.EndLoadingWithoutLoaded();
            throw;
        }
        read.EndLoadingWithoutLoaded();
        if (read.LangDelim() != component.LangDelim())
            read.ReplaceDelimiter(read.LangDelim(), component.LangDelim());
        StoreUTF8Flag(component, read.StoreAsUTF8());
        const std::string ownEntry = ownerIdentifier + static_cast<char>(component.LangDelim());
        for (int t = 0; t < lcStringsTypeCount; ++t) {
            const auto type = static_cast<TStringsType>(t);
            TlcStringList* target = component.GetListByType(type);
            const TlcStringList* source = read.GetListByType(type);
            if (!target || !source)
                continue;
            TlcStringList list = *source;
            if (type == TStringsType::stCaptions || type == TStringsType::stHints || type == TStringsType::stFonts ||
                type == TStringsType::stCharSets) {
                for (int l = 1; l < list.Count(); ++l) {
                    if (StartsWithExact(list[l], ownEntry)) {
                        std::string line = list[l];
                        list.Delete(l);
                        list.Insert(0, std::move(line));
                        break;
                    }
                }
            }
            *target = list;
        }
        component.SetLangNames(read.LangNames());
        TlcExtendedItems* items = component.ExtendedTranslations();
        items->Clear();
        for (int e = 0; e < read.ExtendedTranslations()->Count(); ++e) {
            const TlcExtendedItem& from = read.ExtendedTranslations()->Items(e);
            TlcExtendedItem& to = items->Add();
            to.Identifier = from.Identifier;
            to.Values = from.Values;
            to.ValuesW = from.ValuesW;
            to.PropertyType = OwnerPropertyKind(component, from.Identifier, from.PropertyType);
        }
        return;
    }
}

void TLCBFileManager::ReadComponentFromFile(TlcCustomLang& component, const std::string& ownerIdentifier,
                                            const std::string& fileName)
{
    ReadComponent(component, ownerIdentifier, ReadFileWhole(fileName));
}

void TLCBFileManager::ReadList(TStringsType list, const std::string& fileName, const std::string& ownerIdentifier,
                               TlcCustomLang& component)
{
    TTemporaryComponent temporary = MakeTemporary(component, ownerIdentifier);
    temporary.Component->SetLangDelim(component.LangDelim());
    ReadComponentFromFile(*temporary.Component, ownerIdentifier, fileName);
    TlcStringList* target = component.GetListByType(list);
    const TlcStringList* source = temporary.Component->GetListByType(list);
    if (target && source)
        *target = *source;
}

// Feeds arbitrary bytes to the translation file readers: the INI store, a
// form's component loading and merging INI text, and the .LCB reader. A store
// rendered and parsed again must render the same; a failed .LCB read must
// leave the component's lists as they were; the bytes read in the 8-bit code
// page of the files must write back as the same bytes.
#include "localization/lcFiles.h"
#include "localization/lcLngLnk.h"
#include "platform/TextCodec.h"

#include <QObject>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class TfFuzzForm : public QObject {
public:
    TfFuzzForm()
    {
        SetOwnerRoot(this);
        setObjectName("fMain");
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    if (Utf8ToWindows1252(Windows1252ToUtf8(bytes)) != bytes)
        std::abort();
    {
        TlcMemIniFile ini;
        ini.ReadFromStream(bytes);
        TlcStringList once;
        ini.SaveToLines(once);
        TlcMemIniFile again;
        again.LoadFromLines(once);
        TlcStringList twice;
        again.SaveToLines(twice);
        if (!(once == twice))
            std::abort();
    }
    {
        TfFuzzForm form;
        auto* lang = new TlcLang(&form);
        lang->SetNumOfLanguages(2);
        TlcTranslationFiles files(*lang);
        const TlcStringList before = lang->Captions();
        try {
            files.LoadAllFromIni(bytes, true, false);
        } catch (const Exception&) {
            // Text that is no translation file changes nothing.
            if (!(lang->Captions() == before))
                std::abort();
        }
        (void)files.MergeAllFromIni(bytes);
        std::string saved;
        files.SaveAllToIni(saved, lcDefaultFileDelimiter);
        (void)lang->GetTextOrDefault("IDS_1");
    }
    {
        TfFuzzForm form;
        auto* lang = new TlcLang(&form);
        lang->SetNumOfLanguages(2);
        lang->SetStrings({"IDS_1\x01" "a\x01" "b\x01"});
        const TlcStringList before = lang->Strings();
        // The identifier of the first entry, so the component stream is reached.
        std::string owner = "fMain";
        const size_t header = bytes.find('\0');
        if (header != std::string::npos && header + 7 <= bytes.size()) {
            const size_t length = static_cast<unsigned char>(bytes[header + 5]) |
                                  (static_cast<size_t>(static_cast<unsigned char>(bytes[header + 6])) << 8);
            owner = bytes.substr(header + 7, length);
        }
        TLCBFileManager manager;
        try {
            manager.ReadComponent(*lang, owner, bytes);
        } catch (const Exception&) {
            if (!(lang->Strings() == before))
                std::abort();
        }
        (void)lang->GetTextOrDefault("IDS_1");
    }
    return 0;
}

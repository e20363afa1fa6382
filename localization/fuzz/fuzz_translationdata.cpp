// Feeds arbitrary bytes to the translation data reader. Read data written
// back and read again must give the same bytes.
#include "localization/lcLngLnk.h"

#include <QObject>

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const bool inherited = size > 0 && (data[0] & 1);
    {
        TlcLang lang(nullptr);
        lang.SetNumOfLanguages(2);
        lang.ReadTranslationData(bytes);
        const std::string once = lang.WriteTranslationData();
        TlcLang again(nullptr);
        again.SetNumOfLanguages(2);
        again.ReadTranslationData(once);
        if (again.WriteTranslationData() != once)
            std::abort();
        for (const std::string& id : {std::string("IDS_1"), std::string("stStrings"), std::string()})
            (void)again.GetTextOrDefault(id);
    }
    {
        QObject form;
        SetOwnerRoot(&form);
        form.setObjectName("fForm");
        auto* linked = new TlcLangLinked(&form);
        linked->SetIsInheritedOwner(inherited);
        linked->SetNumOfLanguages(3);
        linked->ReadTranslationData(bytes);
        linked->Loaded();
        (void)linked->WriteTranslationData();
        (void)linked->GetTextOrDefault("IDS_1");
    }
    return 0;
}

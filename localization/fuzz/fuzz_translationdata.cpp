// Feeds arbitrary bytes to the translation data reader. Read data written
// back and read again must give the same bytes. The texts read are then
// applied to a form in each language, its Strings lines serving as extended
// translations too: whatever the lines name, a switch ends (a key that is no
// number where one belongs is the only error it may raise).
#include "localization/lcLngLnk.h"
#include "platform/Classes.h"
#include "platform/Exception.h"

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
        auto* info = new TTestModeInfo(&form);
        info->setObjectName("info");
        auto* dispatcher = new TlcLangDispatcher(&form);
        dispatcher->setObjectName("disp");
        auto* lines = new TStringList(&form);
        lines->setObjectName("lines");
        linked->setObjectName("lang");
        linked->ReadTranslationData(bytes);
        try {
            linked->Loaded(); // an inherited owner is translated on loading
        } catch (const EConvertError&) {
        }
        (void)linked->WriteTranslationData();
        (void)linked->GetTextOrDefault("IDS_1");
        for (const std::string& line : linked->Strings().Lines()) {
            TlcExtendedItem& item = linked->ExtendedTranslations()->Add();
            const size_t delim = line.find('\x01');
            item.Identifier = line.substr(0, delim);
            item.Values = delim == std::string::npos ? std::string() : line.substr(delim + 1);
        }
        for (int language : {2, 3, 1}) {
            try {
                linked->SetActiveLanguage(language);
            } catch (const EConvertError&) {
            }
        }
    }
    return 0;
}

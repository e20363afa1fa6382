// The look-up of texts by identifier: in the lists, through the sorted index
// of Strings, by a scan, and the test mode's texts where a language has none.
#include "localization/lcComp.h"

#include "localization/lcResStrings.h"

#include <cstring>
#include <memory>

bool TlcCustomLang::TestModeActive() const
{
    return FLangDispatcher && FLangDispatcher->TestModeInfo()->Active();
}

void TlcCustomLang::RaiseNotFound(const std::string& id) const
{
    throw ELanguageError(FmtLoadStr(SlcStringNotFound, {id}));
}

std::string TlcCustomLang::GetTextOrDefault(const std::string& id)
{
    if (FUseDefaultLanguage) {
        std::string text = GetText(id);
        if (text.empty()) {
            struct TRestore {
                int& Language;
                int Saved;
                ~TRestore() { Language = Saved; }
            } restore{FActiveLanguage, FActiveLanguage};
            FActiveLanguage = FDefaultLanguage;
            text = GetText(id);
            if (text.empty())
                text = LookupText(List(TStringsType::stStrings), id, true);
        }
        return text;
    }
    std::string text = LookupText(List(TStringsType::stStrings), id, true);
    return FProcessEscapes ? ProcessEscapes(text) : text;
}

std::string TlcCustomLang::GetText(const std::string& id)
{
    std::string text = LookupText(List(TStringsType::stStrings), id, FTranslateType == TTranslateType::ttGetDefault);
    return FProcessEscapes ? ProcessEscapes(text) : text;
}

std::unique_ptr<char[]> TlcCustomLang::GetTextPChar(const std::string& id)
{
    const std::string text = GetTextOrDefault(id);
    if (text.empty())
        return nullptr;
    auto block = std::make_unique<char[]>(text.size() + 1);
    std::memcpy(block.get(), text.data(), text.size());
    return block;
}

std::string TlcCustomLang::LookupText(const TlcStringList& list, const std::string& id, bool fallback)
{
    int redirected = -1;
    if (FOptions.testFlag(TlcLangOption::loUseExtCommonStrings)) {
        if (&list == &List(TStringsType::stDlgsCaptions))
            redirected = static_cast<int>(TStringsType::stDlgsCaptions);
        else if (&list == &List(TStringsType::stLocales))
            redirected = static_cast<int>(TStringsType::stLocales);
    }
    if (redirected < 0 && FOptions.testFlag(TlcLangOption::loUseExtUDStrings) && &list == &List(TStringsType::stStrings))
        redirected = static_cast<int>(TStringsType::stStrings);
    if (redirected >= 0) {
        if (!FLangDispatcher)
            return {};
        for (int i = 0; i < FLangDispatcher->LinkedCount(); ++i) {
            TlcCustomLang* other = FLangDispatcher->LinkedLang(i);
            const TlcStringList& shared = other->List(static_cast<TStringsType>(redirected));
            if (shared.Empty())
                continue;
            // The first component with texts is this one: search its own list.
            if (other == this)
                break;
            return LookupText(shared, id, fallback);
        }
    }
    if (&list == &List(TStringsType::stStrings) && FStringIndexBuilt)
        return LookupInIndex(id, fallback);
    return LookupByScan(list, id, fallback);
}

std::string TlcCustomLang::LookupInIndex(const std::string& id, bool fallback)
{
    EnsureStringIndexes();
    if (FDoRaiseExceptions && FStringIndex.IndexOfID(id) < 0)
        RaiseNotFound(id);
    std::string text = FStringIndex.FindByID(id, FActiveLanguage);
    if (text.empty() && FActiveLanguage > 1 && TestModeActive())
        text = TestModeTransform(this, FStringIndex.FindByID(id, 1));
    if (text.empty() && fallback)
        text = FStringIndex.FindByID(id, 1);
    return text;
}

std::string TlcCustomLang::LookupByScan(const TlcStringList& list, const std::string& id, bool fallback)
{
    // The line whose key is the identifier; the texts are read from that line
    // only, so a line that lacks fields gives empty texts.
    const char delim = static_cast<char>(FLangDelim);
    const std::string* found = nullptr;
    for (const std::string& line : list.Lines()) {
        const int n = lcStartsText(line, id);
        if (n >= 0 && static_cast<size_t>(n) < line.size() && line[static_cast<size_t>(n)] == delim) {
            found = &line;
            break;
        }
    }
    if (!found) {
        if (FDoRaiseExceptions)
            RaiseNotFound(id);
        return {};
    }
    std::string text = ExtractField(*found, FLangDelim, FActiveLanguage);
    if (text.empty() && FActiveLanguage > 1 && TestModeActive())
        text = GetTestModeText(*found, FLangDelim);
    if (text.empty() && fallback)
        text = ExtractField(*found, FLangDelim, 1);
    if (FStoreAsUTF8 && !text.empty())
        text = UTF8ToAnsi(text, FCodePageCharset);
    return text;
}

std::u16string TlcCustomLang::LookupTextW(const TlcStringList& list, const std::string& id, bool fallback)
{
    return AnsiToWide(LookupText(list, id, fallback), FCodePageCharset);
}

std::string TlcCustomLang::GetTestModeText(std::string_view line, unsigned char delim) const
{
    const std::string text = ExtractField(line, delim, 1);
    return text.empty() ? text : TestModeTransform(this, text);
}

bool TlcCustomLang::CanTranslateOwner() const
{
    return FDoNotTranslate.IndexOf(ClassNameOf(Owner())) < 0;
}

std::string TlcCustomLang::GetStrPropAnsi(const QObject* instance, const QMetaProperty& property) const
{
    if (!instance)
        return {};
    const QVariant value = property.read(instance);
    if (value.metaType() == QMetaType::fromType<std::string>())
        return value.value<std::string>();
    if (value.metaType() == QMetaType::fromType<QByteArray>()) {
        const QByteArray bytes = value.toByteArray();
        return std::string(bytes.constData(), static_cast<size_t>(bytes.size()));
    }
    return value.toString().toStdString();
}

std::string TlcCustomLang::TranslateResourceText(const std::string& text)
{
    if (FActiveLanguage == FResourceLanguageIndex)
        return text;
    EnsureStringIndexes();
    if (!FResourceIndexBuilt)
        BuildStringIndex(FResourceIndex, FResourceLanguageIndex);
    std::string translated = FResourceIndex.FindByText(text, FActiveLanguage);
    return translated.empty() ? text : translated;
}

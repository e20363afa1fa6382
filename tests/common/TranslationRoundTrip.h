#pragma once
// A compiled translation file read into its component and written back: the
// bytes come out as they went in. The data module's files go into a TlcLang,
// a form's into a TlcLangLinked.
#include "localization/lcComp.h"
#include "localization/lcLngLnk.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

inline void ExpectTranslationRoundTrip(const std::string& path, bool dataModule)
{
    const std::string data = LoadTranslationResource(path);
    std::unique_ptr<TlcCustomLang> lang;
    if (dataModule)
        lang = std::make_unique<TlcLang>(nullptr);
    else
        lang = std::make_unique<TlcLangLinked>(nullptr);
    lang->SetNumOfLanguages(2);
    lang->ReadTranslationData(data);
    EXPECT_EQ(lang->WriteTranslationData(), data) << path;
}

#pragma once
// What the tests of the translation files share: a form with its component,
// files written and read byte for byte, and an ".LCB" file of one component.
#include "localization/lcFiles.h"
#include "tests/localization/TestForms.h"

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>

// Lists show as their lines when a test fails.
inline void PrintTo(const TlcStringList& list, std::ostream* out)
{
    *out << ::testing::PrintToString(list.Lines());
}

inline std::string FileBytes(const std::string& name)
{
    std::ifstream in(name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

inline void WriteFile(const std::string& name, const std::string& bytes)
{
    std::ofstream out(name, std::ios::binary);
    out << bytes;
}

// A form "fMain" of class TfTestForm with its two-language component (in
// each test file's own namespace: the class library has a TForm).
namespace {
struct TForm {
    std::unique_ptr<TfTestForm> Form = std::make_unique<TfTestForm>();
    TlcLangLinked* Lang;
    int Translated = 0;

    explicit TForm(const std::string& data = {}, const char* name = "fMain")
    {
        Form->setObjectName(name);
        // The components that the texts below are for.
        for (const char* component : {"Button1", "Button2", "Label1", "Old", "New", "List", "Hidden"})
            (new QObject(Form.get()))->setObjectName(component);
        Lang = LoadLang<TlcLangLinked>(Form.get(), nullptr, data);
        Lang->SetOnChangeLanguage([this](TObject*) { ++Translated; });
    }
    TlcTranslationFiles Files() { return TlcTranslationFiles(*Lang); }
};
} // namespace

inline const std::string kCaptionsData = "stCaptions\r\n" + Line({"TfTestForm", "Hauptfenster", "Main window"}) + "\r\n" +
                                  Line({"Button1", "Ja", "Yes"}) + "\r\n" + "stStrings\r\n" +
                                  Line({"IDS_1", "Zeile", "Line"}) + "\r\n";

// An ".LCB" file that holds the component for another form and for Owner.
inline std::string LcbOf(const TlcCustomLang& component, const std::string& owner)
{
    return BuildLCBFile({"English"}, {{"TfOther", WriteComponentStream(component)},
                                      {owner, WriteComponentStream(component)}});
}

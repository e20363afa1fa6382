#pragma once
// Owners for the translation components under test: forms and a data module
// as the program has them (owner roots, bare class names, a caption and a
// font), and the loading of a component as a form's data would do it.
#include "localization/lcLangCombo.h"
#include "localization/lcLngLnk.h"
#include "platform/StdCtrls.h"

#include <QFont>
#include <QObject>
#include <QString>
#include <QWidget>

#include <string>
#include <string_view>

class TfTestForm : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QFont Font READ Font WRITE SetFont)
public:
    explicit TfTestForm(QObject* owner = nullptr)
    {
        SetOwnerRoot(this);
        if (owner)
            setParent(qobject_cast<QWidget*>(owner));
    }
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value) { FCaption = value; }
    QFont Font() const { return font(); }
    void SetFont(const QFont& value) { setFont(value); }

private:
    QString FCaption;
};

// The language dialog as its data know it: caption, label, buttons, picker.
class TfLanguage : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(std::string HelpFile READ HelpFile WRITE SetHelpFile)
public:
    TfLanguage()
    {
        SetOwnerRoot(this);
        setWindowTitle("Sprache");
        Label1 = new TLabel("Sprache:", this);
        Label1->setObjectName("Label1");
        btnOK = new TButton("&OK", this);
        btnOK->setObjectName("btnOK");
        btnAbort = new TButton("&Abbrechen", this);
        btnAbort->setObjectName("btnAbort");
        lcLangCombo = new TlcLangCombo(this);
        lcLangCombo->setObjectName("lcLangCombo");
        for (int i = 0; i < 2; ++i)
            lcLangCombo->AddLanguageInfo().SetLanguageName(i == 0 ? "Deutsch" : "English");
    }
    std::string HelpFile() const { return FHelpFile; }
    void SetHelpFile(const std::string& value) { FHelpFile = value; }

    TLabel* Label1;
    TButton* btnOK;
    TButton* btnAbort;
    TlcLangCombo* lcLangCombo;

private:
    std::string FHelpFile;
};

class TTestDM : public QObject {
    Q_OBJECT
public:
    TTestDM()
    {
        SetOwnerRoot(this);
        setObjectName("DM");
    }
};

// Creates a translation component on the owner and loads it as the owner's
// data would: settings in the order of the data, the bytes, then Loaded.
template <class TLang>
TLang* LoadLang(QObject* owner, TlcLangDispatcher* dispatcher, std::string_view data, int languages = 2)
{
    auto* lang = new TLang(owner);
    lang->setObjectName("lcLang");
    TlcResourceLoading loading;
    loading.Add(*lang);
    lang->SetNumOfLanguages(languages);
    lang->SetLangDispatcher(dispatcher);
    lang->SetLangDelim(1);
    if (languages == 2) {
        lang->SetLangNames({"Deutsch", "English"});
        lang->SetLanguage("Deutsch");
    }
    lang->ReadTranslationData(data);
    loading.Finish();
    return lang;
}

// The data module of the program: its dispatcher (two languages) first, then
// its own component.
struct TTestDataModule {
    TTestDM Module;
    TlcLangDispatcher* Dispatcher;
    TlcLang* Lang = nullptr;

    explicit TTestDataModule(std::string_view data = {})
    {
        Dispatcher = new TlcLangDispatcher(&Module);
        Dispatcher->setObjectName("lcLangDispatcher");
        auto* lang = new TlcLang(&Module);
        lang->setObjectName("lcLang");
        TlcResourceLoading loading;
        loading.Add(*Dispatcher);
        loading.Add(*lang);
        Dispatcher->SetActiveLanguage(1);
        Dispatcher->SetNumOfLanguages(2);
        Dispatcher->SetLangNames({"Deutsch", "English"});
        Dispatcher->SetLanguage("Deutsch");
        lang->SetNumOfLanguages(2);
        lang->SetLangDispatcher(Dispatcher);
        lang->SetLangDelim(1);
        lang->SetLangNames({"Deutsch", "English"});
        lang->SetLanguage("Deutsch");
        lang->ReadTranslationData(data);
        loading.Finish();
        Lang = lang;
    }
};

inline std::string Line(std::initializer_list<std::string> fields)
{
    std::string out;
    bool first = true;
    for (const std::string& field : fields) {
        if (!first)
            out += '\x01';
        out += field;
        first = false;
    }
    return out + '\x01';
}

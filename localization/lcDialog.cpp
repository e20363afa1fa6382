#include "localization/lcDialog.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QTranslator>

#include <cstring>

namespace {

// A text without its accelerator markers ("&&" is a plain "&").
QString WithoutMarkers(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&')
                out += text[++i];
            continue;
        }
        out += text[i];
    }
    return out;
}

// The active language's text of a dialog caption, by its English text; none
// when the component has none. A missing caption raises nothing.
std::optional<QString> DialogCaption(TlcCustomLang& lang, const QString& shown)
{
    // A child's text is read as the system reads a window's text: 255
    // characters at most.
    const std::string key = WithoutMarkers(shown.left(255)).toStdString();
    if (key.empty())
        return std::nullopt;
    struct TQuiet {
        TlcCustomLang& Lang;
        bool Raise;
        ~TQuiet() { Lang.SetDoRaiseExceptions(Raise); }
    } quiet{lang, lang.DoRaiseExceptions()};
    lang.SetDoRaiseExceptions(false);
    const std::u16string found = lang.LookupTextW(lang.DlgsCaptions(), key, false);
    if (found.empty())
        return std::nullopt;
    return QString::fromStdU16String(found);
}

// While a translated file dialog runs, the toolkit's own texts of file
// dialogs come from the component's dialog captions. The dialog sets some of
// them again as its state changes (a typed folder's name turns the accept
// button into "&Open", going into a folder and back sets the labels), so
// that these speak the language too. A translation carries an accelerator
// marker only where the toolkit's text has one: the dialog's labels without
// one take no accelerator.
class TFileDialogTranslator : public QTranslator {
public:
    explicit TFileDialogTranslator(TlcCustomLang& lang) : FLang(&lang) {}
    bool isEmpty() const override { return false; }
    QString translate(const char* context, const char* sourceText, const char* /*disambiguation*/,
                      int /*n*/) const override
    {
        if (!FLang || !context || !sourceText || std::strcmp(context, "QFileDialog") != 0)
            return {};
        const QString shown = QString::fromUtf8(sourceText);
        const std::optional<QString> text = DialogCaption(*FLang, shown);
        if (!text)
            return {};
        return shown.contains(u'&') ? *text : WithoutMarkers(*text);
    }

private:
    QPointer<TlcCustomLang> FLang;
};

} // namespace

void TranslateDialogTexts(QWidget& dialog, TlcCustomLang& lang)
{
    // The file dialog sets its buttons' texts again when its state changes
    // (a typed name, another folder): it is given theirs as its own.
    if (auto* files = qobject_cast<QFileDialog*>(&dialog)) {
        for (const QFileDialog::DialogLabel label : {QFileDialog::Accept, QFileDialog::Reject})
            if (const std::optional<QString> text = DialogCaption(lang, files->labelText(label)))
                files->setLabelText(label, *text);
    }
    for (QWidget* child : dialog.findChildren<QWidget*>()) {
        if (auto* label = qobject_cast<QLabel*>(child)) {
            const QString shown = label->text();
            std::optional<QString> text = DialogCaption(lang, shown);
            if (text && !label->buddy())
                text = WithoutMarkers(*text);
            if (text && *text != shown)
                label->setText(*text);
        } else if (auto* button = qobject_cast<QAbstractButton*>(child)) {
            const std::optional<QString> text = DialogCaption(lang, button->text());
            if (text && *text != button->text())
                button->setText(*text);
        } else if (auto* group = qobject_cast<QGroupBox*>(child)) {
            const std::optional<QString> text = DialogCaption(lang, group->title());
            if (text && *text != group->title())
                group->setTitle(*text);
        }
    }
}

TlcFileDialog::TlcFileDialog(bool save, QObject* owner) : QObject(owner), FSave(save)
{
    Settings.OverwritePrompt = save;
}

void TlcFileDialog::SetlcLang(TlcCustomLang* value)
{
    FLang = value;
    if (value)
        value->SetNeedAllDlgs(true);
}

bool TlcFileDialog::Execute(QWidget* owner)
{
    // The texts are set once, when the dialog shows.
    Settings.OnShow = nullptr;
    if (FLang) {
        const QPointer<TlcCustomLang> lang = FLang;
        Settings.OnShow = [lang](QWidget& dialog) {
            if (lang)
                TranslateDialogTexts(dialog, *lang);
        };
    }
    struct TForget {
        TFileDialog& Settings;
        ~TForget() { Settings.OnShow = nullptr; }
    } forget{Settings};
    // Made before the dialog, so that the dialog's own texts are the
    // language's from the start; it goes with the dialog.
    std::optional<TFileDialogTranslator> translator;
    if (FLang) {
        translator.emplace(*FLang);
        QCoreApplication::installTranslator(&*translator);
    }
    return FSave ? DialogService().SaveFile(owner, Settings) : DialogService().OpenFile(owner, Settings);
}

TlcBrowseForFolder::TlcBrowseForFolder(QObject* owner) : QObject(owner) {}

void TlcBrowseForFolder::SetlcLang(TlcCustomLang* value)
{
    FLang = value;
    if (value)
        value->SetNeedAllDlgs(true);
}

void TlcBrowseForFolder::SetSelectedDir(const std::string& value)
{
    if (value == FSelectedDir)
        return;
    FSelectedDir = value;
    const QFileInfo folder(QString::fromStdString(value));
    FItem = !value.empty() && folder.isDir() ? std::optional<std::string>(folder.absoluteFilePath().toStdString())
                                             : std::nullopt;
}

#include "localization/lcDialog.h"

#include <QDir>
#include <QFileInfo>

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

TFileDialogLabels TlcFileDialog::Labels() const
{
    TFileDialogLabels labels;
    if (!FLang)
        return labels;
    auto text = [this](const char* key) {
        // The dialog texts are looked up by their English text; a missing one
        // keeps the system's text and raises nothing.
        const bool raise = FLang->DoRaiseExceptions();
        FLang->SetDoRaiseExceptions(false);
        std::string found = FLang->LookupText(FLang->DlgsCaptions(), key, true);
        FLang->SetDoRaiseExceptions(raise);
        return found;
    };
    labels.FileType = text(FSave ? "Save as type:" : "Files of type:");
    labels.FileName = text("File name:");
    labels.LookIn = text(FSave ? "Save in:" : "Look in:");
    labels.Accept = text(FSave ? "Save" : "Open");
    labels.Reject = text("Cancel");
    return labels;
}

bool TlcFileDialog::Execute(QWidget* owner)
{
    Settings.Labels = Labels();
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

// The parameter set loaded from and saved to a file.
#include "localization/lcDialog.h"
#include "platform/Dialogs.h"
#include "radioplugin/ParamForm.h"
#include "radioplugin/RuvoParameter.h"

#include <QComboBox>
#include <QDate>
#include <QFileInfo>
#include <QSpinBox>

void TfParameterForm::btnLoadClick()
{
    TFileDialog& dialog = OpenDialog->Settings;
    dialog.Title = Text("IDS_13");
    dialog.FileName = "";
    dialog.DefaultExt = "xml";
    dialog.Filter = Text("IDS_15");
    if (!OpenDialog->Execute(this))
        return;
    FParameter->LoadFromXML(dialog.FileName);

    if (FParameter->ProjectNr() >= 0 && FParameter->ProjectNr() < cbxProject->count())
        cbxProject->setCurrentIndex(FParameter->ProjectNr());
    edtSquelchLow->setValue(FParameter->SquelchLow());
    edtSquelchHigh->setValue(FParameter->SquelchHigh());
    edtParamSendTimeLimit->setValue(FParameter->SendTimeLimit());
    edtNFLevel->setValue(FParameter->NFLevel());
    edtFFSKMode->setValue(FParameter->Modulation());
    ShowFilterState(FParameter->FFSKFilterActive());
    FillTable();
    FTableModified = true;
}

void TfParameterForm::btnSaveClick()
{
    const QDate today = QDate::currentDate();
    TFileDialog& dialog = SaveDialog->Settings;
    dialog.Title = Text("IDS_36");
    dialog.FileName = ParameterSetFileName(cbxProject->currentText().toStdString(), FParameter->SerialNumber(),
                                           today.year(), today.month(), today.day(), Text("IDS_38"));
    dialog.DefaultExt = "XML";
    dialog.Filter = Text("IDS_40");
    dialog.OverwritePrompt = false; // asked below, in the dialog's own words
    if (!SaveDialog->Execute(this))
        return;
    if (QFileInfo::exists(QString::fromStdString(dialog.FileName))) {
        const int answer = MessageBox(nullptr, Text("IDS_41") + "\r\n" + Text("IDS_42"), Text("IDS_43"),
                                      MB_YESNO | MB_DEFBUTTON2 | MB_ICONWARNING);
        if (answer != IDYES)
            return;
    }
    FParameter->SaveToXML(dialog.FileName);
}

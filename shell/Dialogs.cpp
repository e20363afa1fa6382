#include "shell/Dialogs.h"

#include "localization/lcComp.h"
#include "platform/Dialogs.h"
#include "shell/DataModule.h"
#include "shell/Environment.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

bool AskValue(QWidget* owner, const std::string& caption, const std::string& message, const std::string& label,
              int maxLength, std::string& value)
{
    QDialog dialog(owner);
    dialog.setObjectName("fInputForm");
    dialog.setWindowTitle(QString::fromStdString(caption));
    auto* layout = new QVBoxLayout(&dialog);
    auto* lbMessage = new QLabel(QString::fromStdString(message), &dialog);
    lbMessage->setObjectName("lbMessage");
    lbMessage->setWordWrap(true);
    layout->addWidget(lbMessage);
    auto* lbValue = new QLabel(QString::fromStdString(label), &dialog);
    lbValue->setObjectName("lbValue");
    layout->addWidget(lbValue);
    auto* edValue = new QLineEdit(QString::fromStdString(value), &dialog);
    edValue->setObjectName("edValue");
    if (maxLength > 0)
        edValue->setMaxLength(maxLength);
    layout->addWidget(edValue);
    auto* buttons = new QDialogButtonBox(&dialog);
    QPushButton* ok = buttons->addButton("OK", QDialogButtonBox::AcceptRole);
    ok->setObjectName("btOK");
    buttons->addButton("Abbrechen", QDialogButtonBox::RejectRole)->setObjectName("btAbort");
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    layout->addWidget(buttons);
    auto enable = [ok, edValue] { ok->setEnabled(!edValue->text().trimmed().isEmpty()); };
    QObject::connect(edValue, &QLineEdit::textChanged, &dialog, enable);
    enable();
    dialog.resize(444, 147);
    if (DialogService().ExecModal(dialog) != QDialog::Accepted)
        return false;
    value = edValue->text().toStdString();
    return true;
}

void ShowLanguageDialog(QWidget* owner)
{
    auto* dialog = new QDialog(owner);
    dialog->setObjectName("fLanguage");
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowFlag(Qt::WindowStaysOnTopHint);
    dialog->setWindowTitle("Sprache");
    auto* layout = new QVBoxLayout(dialog);
    layout->addWidget(new QLabel("Sprache:", dialog));
    auto* languages = new QComboBox(dialog);
    languages->setObjectName("lcLangCombo");
    languages->addItems({"Deutsch", "English"});
    languages->setCurrentIndex(DM->lcLangDispatcher->ActiveLanguage() - 1);
    layout->addWidget(languages);
    auto* buttons = new QDialogButtonBox(dialog);
    buttons->addButton("&OK", QDialogButtonBox::AcceptRole)->setObjectName("btnOK");
    buttons->addButton("&Abbrechen", QDialogButtonBox::RejectRole)->setObjectName("btnAbort");
    QObject::connect(buttons, &QDialogButtonBox::accepted, dialog, [dialog, languages] {
        const int language = languages->currentIndex() + 1;
        DM->Environment()->Language = language;
        DM->lcLangDispatcher->SetActiveLanguage(language);
        dialog->close();
    });
    QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::close);
    layout->addWidget(buttons);
    dialog->resize(256, 88);
    dialog->show();
}

void ShowAboutBox()
{
    MessageBox(nullptr, std::string("Zor Tessaro v") + TESSARO_VERSION + "\r\n\r\nZorvatek", "Info über ...",
               MB_OK | MB_ICONINFORMATION);
}

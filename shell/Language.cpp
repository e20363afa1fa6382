#include "shell/Language.h"

#include "localization/lcLangCombo.h"
#include "localization/lcLngLnk.h"
#include "platform/Component.h"
#include "platform/StdCtrls.h"
#include "shell/DataModule.h"
#include "shell/Environment.h"
#include "shell/ZorUtils.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

// The flags beside the names: three stripes, or a cross on blue.
QPixmap Flag(bool german)
{
    QPixmap flag(18, 12);
    QPainter p(&flag);
    if (german) {
        p.fillRect(0, 0, 18, 4, QColor(0, 0, 0));
        p.fillRect(0, 4, 18, 4, QColor(221, 0, 0));
        p.fillRect(0, 8, 18, 4, QColor(255, 206, 0));
    } else {
        p.fillRect(flag.rect(), QColor(1, 33, 105));
        p.setPen(QPen(Qt::white, 3));
        p.drawLine(0, 0, 18, 12);
        p.drawLine(0, 12, 18, 0);
        p.setPen(QPen(QColor(200, 16, 46), 1));
        p.drawLine(0, 0, 18, 12);
        p.drawLine(0, 12, 18, 0);
        p.fillRect(7, 0, 4, 12, Qt::white);
        p.fillRect(0, 4, 18, 4, Qt::white);
        p.fillRect(8, 0, 2, 12, QColor(200, 16, 46));
        p.fillRect(0, 5, 18, 2, QColor(200, 16, 46));
    }
    return flag;
}

} // namespace

TfLanguage::TfLanguage(QWidget* owner) : TForm(owner)
{
    setObjectName("fLanguage");
    SetOwnerRoot(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowFlags(Qt::Dialog | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::CustomizeWindowHint);
    setWindowTitle("Sprache");
    auto* layout = new QVBoxLayout(this);
    auto* row = new QHBoxLayout;
    auto* label = new TLabel("Sprache:", this);
    label->setObjectName("Label1");
    row->addWidget(label);
    lcLangCombo = new TlcLangCombo(this);
    lcLangCombo->setObjectName("lcLangCombo");
    label->setBuddy(lcLangCombo);
    row->addWidget(lcLangCombo, 1);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btnOK = new TButton("&OK", this);
    btnOK->setObjectName("btnOK");
    btnOK->SetDefault(true);
    btnAbort = new TButton("&Abbrechen", this);
    btnAbort->setObjectName("btnAbort");
    btnAbort->SetCancel(true);
    buttons->addWidget(btnOK);
    buttons->addWidget(btnAbort);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, &TfLanguage::btnOKClick);
    connect(btnAbort, &QPushButton::clicked, this, &TfLanguage::btnAbortClick);

    // The picker as its data set it up: two languages with flags in Tahoma
    // (there before the texts are read, which address its entries), the data
    // module's texts and dispatcher.
    lcLangCombo->SetItemHeight(16);
    for (int i = 0; i < 2; ++i) {
        TLanguageInfo& info = lcLangCombo->AddLanguageInfo();
        info.SetFontName("Tahoma");
        info.SetFlagImage(Flag(i == 0));
        info.SetLanguageName(i == 0 ? "Deutsch" : "English");
    }

    lcLangLinked = CreateFormTranslations(this, DM->lcLangDispatcher, "TfLanguage");
    lcLangCombo->SetlcLang(DM->lcLang);
    lcLangCombo->SetlcLangDispatcher(DM->lcLangDispatcher);
    lcLangCombo->Loaded();
    resize(256, 88);
    show();
}

void TfLanguage::showEvent(QShowEvent* event)
{
    TForm::showEvent(event);
    FormShow();
}

void TfLanguage::FormShow()
{
    lcLangLinked->SetActiveLanguage(DM->lcLangDispatcher->ActiveLanguage());
}

void TfLanguage::btnOKClick()
{
    const int language = lcLangCombo->currentIndex() + 1;
    DM->Environment()->Language = language;
    DM->lcLangDispatcher->SetActiveLanguage(language);
    close();
}

void TfLanguage::btnAbortClick()
{
    close();
}

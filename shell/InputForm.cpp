#include "shell/InputForm.h"

#include "controls/Zor_Pattern.h"
#include "controls/Zor_StandardControls.h"
#include "localization/lcLngLnk.h"
#include "platform/Beep.h"
#include "platform/Component.h"
#include "platform/StdCtrls.h"
#include "shell/DataModule.h"
#include "shell/ZorUtils.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QStyle>
#include <QVBoxLayout>

TfInputForm* fInputForm = nullptr;

TfInputForm::TfInputForm(QWidget* owner) : TForm(owner, Qt::Tool)
{
    setObjectName("fInputForm");
    SetOwnerRoot(this);
    fInputForm = this;
    setWindowTitle("Bitte geben Sie den gewünschten Wert ein.");
    QVBoxLayout* body = MakeDialogFrame(this, spLeft);
    auto* top = new QHBoxLayout;
    imDialogType = new QLabel(this);
    imDialogType->setObjectName("imDialogType");
    imDialogType->setPixmap(style()->standardIcon(QStyle::SP_MessageBoxQuestion).pixmap(32, 32));
    top->addWidget(imDialogType);
    pnMessage = new QWidget(this);
    pnMessage->setObjectName("pnMessage");
    pnMessage->setAutoFillBackground(true);
    auto* messageLayout = new QVBoxLayout(pnMessage);
    lbMessage = new QLabel(pnMessage);
    lbMessage->setObjectName("lbMessage");
    lbMessage->setAlignment(Qt::AlignCenter);
    lbMessage->setWordWrap(true);
    messageLayout->addWidget(lbMessage);
    top->addWidget(pnMessage, 1);
    body->addLayout(top);
    auto* valueRow = new QHBoxLayout;
    lbValue = new QLabel(this);
    lbValue->setObjectName("lbValue");
    valueRow->addWidget(lbValue);
    edValue = new TZor_Edit(this);
    edValue->setObjectName("edValue");
    edValue->SetInputMode(TInputMode::imAll);
    lbValue->setBuddy(edValue);
    valueRow->addWidget(edValue, 1);
    body->addLayout(valueRow);
    auto* buttons = new QHBoxLayout;
    cbAction = new QCheckBox(this);
    cbAction->setObjectName("cbAction");
    buttons->addWidget(cbAction);
    buttons->addStretch(1);
    btOK = new TButton("OK", this);
    btOK->setObjectName("btOK");
    btOK->SetDefault(true);
    btOK->SetModalResult(mrOk);
    btAbort = new TButton("Abbrechen", this);
    btAbort->setObjectName("btAbort");
    btAbort->SetCancel(true);
    btAbort->SetModalResult(mrCancel);
    buttons->addWidget(btOK);
    buttons->addWidget(btAbort);
    body->addLayout(buttons);
    connect(edValue, &QLineEdit::textChanged, this, &TfInputForm::edValueChange);
    edValue->installEventFilter(this);

    lcLangLinked = CreateFormTranslations(this, DM ? DM->lcLangDispatcher : nullptr, "TfInputForm");
    resize(444, 147);
    FormCreate();
}

TfInputForm::~TfInputForm()
{
    if (fInputForm == this)
        fInputForm = nullptr;
}

void TfInputForm::FormCreate()
{
    const bool system = PaintDialogFrame(this, spLeft);
    SetWindowColour(pnMessage, system ? clInfoBk : TColor(0x00F0FBFF));
    cbAction->hide();
    MaxInputLength = 0;
    edValueChange();
}

void TfInputForm::edValueChange()
{
    btOK->setEnabled(!edValue->text().trimmed().isEmpty());
}

bool TfInputForm::edValueKeyPress(QChar key)
{
    // The limit counts the whole value, also a selected part of it.
    if (MaxInputLength > 0 && key != QChar(8) && edValue->text().size() >= MaxInputLength) {
        MessageBeep(MB_BEEP_WARNING);
        return false;
    }
    return true;
}

bool TfInputForm::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == edValue && event->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(event);
        const QString text = key->text();
        const QChar typed = key->key() == Qt::Key_Backspace ? QChar(8) : (text.isEmpty() ? QChar() : text[0]);
        if (!typed.isNull() && (typed == QChar(8) || typed.isPrint()) && !edValueKeyPress(typed))
            return true;
    }
    return TForm::eventFilter(watched, event);
}

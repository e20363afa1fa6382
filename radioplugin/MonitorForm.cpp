#include "radioplugin/MonitorForm.h"

#include "localization/lcLngLnk.h"
#include "platform/Component.h"
#include "radioplugin/PluginApp.h"

#include <QCloseEvent>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

TfMonitorForm::TfMonitorForm(QWidget* Owner, TRuvoLink* Communication, const char* Name, const char* Caption,
                             const char* ListName)
    : QDialog(Owner), FCommunication(Communication)
{
    setObjectName(Name);
    SetOwnerRoot(this);
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QString::fromUtf8(Caption));
    FLayout = new QVBoxLayout(this);
    lbxTrace = new QListWidget(this);
    lbxTrace->setObjectName(ListName);
    QFont font("Courier New");
    font.setStyleHint(QFont::Monospace);
    font.setFixedPitch(true);
    lbxTrace->setFont(font);
    FLayout->addWidget(lbxTrace, 1);

    auto* buttons = new QHBoxLayout;
    btnPause = new QPushButton("Pause", this);
    btnPause->setObjectName("btnPause");
    btnClear = new QPushButton("Löschen", this);
    btnClear->setObjectName("btnClear");
    btnOK = new QPushButton("Schließen", this);
    btnOK->setObjectName("btnOK");
    btnOK->setAutoDefault(false);
    buttons->addWidget(btnPause);
    buttons->addWidget(btnClear);
    buttons->addStretch(1);
    buttons->addWidget(btnOK);
    FLayout->addLayout(buttons);
    connect(btnPause, &QPushButton::clicked, this, &TfMonitorForm::btnPauseClick);
    connect(btnClear, &QPushButton::clicked, this, &TfMonitorForm::btnClearClick);
    connect(btnOK, &QPushButton::clicked, this, &TfMonitorForm::btnOKClick);
    resize(560, 380);
}

TfMonitorForm::~TfMonitorForm() = default;

void TfMonitorForm::LoadTexts(const char* Form)
{
    lcLangLinked = CreatePluginTranslations(this, Form);
}

void TfMonitorForm::AddLine(const std::string& Text)
{
    // The module's bytes are Latin-1, as in the program's monitor.
    lbxTrace->addItem(QString::fromLatin1(Text.data(), static_cast<qsizetype>(Text.size())));
    if (FPauseTag == 0) {
        lbxTrace->setCurrentRow(lbxTrace->count() - 1);
        lbxTrace->scrollToBottom();
    }
    if (lbxTrace->count() > MaxLines)
        delete lbxTrace->takeItem(0);
}

int TfMonitorForm::LineCount() const
{
    return lbxTrace->count();
}

std::string TfMonitorForm::Line(int Index) const
{
    const QListWidgetItem* item = lbxTrace->item(Index);
    return item ? item->text().toStdString() : std::string();
}

void TfMonitorForm::btnPauseClick()
{
    if (FPauseTag == 0) {
        FPauseTag = 1;
        btnPause->setText(QString::fromStdString(lcLangLinked->GetTextOrDefault("IDS_0")));
    } else {
        FPauseTag = 0;
        btnPause->setText(QString::fromStdString(lcLangLinked->GetTextOrDefault("IDS_1")));
    }
}

void TfMonitorForm::btnClearClick()
{
    lbxTrace->clear();
}

void TfMonitorForm::reject()
{
    // Escape closes the window the way its close box does.
    close();
}

void TfMonitorForm::btnOKClick()
{
    close();
}

void TfMonitorForm::FormClose()
{
    SendCloseLine();
}

void TfMonitorForm::closeEvent(QCloseEvent* event)
{
    if (!FormCloseQuery()) {
        event->ignore();
        return;
    }
    event->accept();
    if (FClosing)
        return;
    FClosing = true;
    try {
        FormClose();
    } catch (const std::exception& e) {
        ShowPluginException(e);
    }
}

#include "shell/ComportOptions.h"

#include "controls/Zor_Pattern.h"
#include "controls/Zor_StandardControls.h"
#include "controls/Zor_ZusaetzlicheControls.h"
#include "localization/lcLngLnk.h"
#include "platform/Component.h"
#include "platform/StdCtrls.h"
#include "platform/SerialPort.h"
#include "shell/DataModule.h"
#include "shell/ZorUtils.h"

#include <QApplication>
#include <QFrame>
#include <QStyleOption>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>
#include <QVBoxLayout>

namespace {

// Two images side by side: the enabled and the disabled look.
QImage Glyph(QStyle* style, QStyle::StandardPixmap which)
{
    const QPixmap icon = style->standardIcon(which).pixmap(16, 16);
    QImage strip(32, 16, QImage::Format_ARGB32);
    strip.fill(Qt::transparent);
    QPainter painter(&strip);
    painter.drawPixmap(0, 0, icon);
    QStyleOption option;
    option.palette = QApplication::palette();
    painter.drawPixmap(16, 0, style->generatedIconPixmap(QIcon::Disabled, icon, &option));
    return strip;
}

} // namespace

TfComportOptions::TfComportOptions(QWidget* owner) : TForm(owner)
{
    setObjectName("fComportOptions");
    SetOwnerRoot(this);
    setWindowFlag(Qt::WindowStaysOnTopHint);
    setWindowTitle("Schnittstelle auswählen");
    QVBoxLayout* body = MakeDialogFrame(this, spLeft);
    auto* top = new QHBoxLayout;
    auto* image = new QLabel(this);
    image->setObjectName("imPort");
    image->setPixmap(style()->standardIcon(QStyle::SP_DriveNetIcon).pixmap(32, 32));
    top->addWidget(image);
    lDescription = new TLabel("Bitte wählen Sie aus, an welcher Schnittstelle Sie den Sensor angeschlossen haben.", this);
    lDescription->setObjectName("lDescription");
    lDescription->setWordWrap(true);
    top->addWidget(lDescription, 1);
    body->addLayout(top);
    auto* bevel = new QFrame(this);
    bevel->setObjectName("Bevel1");
    bevel->setFrameShape(QFrame::HLine);
    bevel->setFrameShadow(QFrame::Sunken);
    body->addWidget(bevel);
    auto* row = new QHBoxLayout;
    lPort = new TLabel("Schnittstelle:", this);
    lPort->setObjectName("lPort");
    row->addWidget(lPort);
    ePort = new TZor_ComboBox(this);
    ePort->setObjectName("ePort");
    ePort->SetStyle(Zor_StandardControls::TComboBoxStyle::csDropDownList);
    lPort->setBuddy(ePort);
    lPort->installEventFilter(this);
    row->addWidget(ePort, 1);
    body->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    btOK = new TZor_BitBtn(this);
    btOK->setObjectName("btOK");
    btOK->SetCaption("&OK");
    btOK->SetGlyphCount(2);
    btOK->SetGlyph(Glyph(style(), QStyle::SP_DialogOkButton));
    btOK->SetDefault(true);
    btOK->OnClick = [this](TObject*) { btOKClick(); };
    btAbort = new TZor_BitBtn(this);
    btAbort->setObjectName("btAbort");
    btAbort->SetCaption("&Abbrechen");
    btAbort->SetGlyphCount(2);
    btAbort->SetGlyph(Glyph(style(), QStyle::SP_DialogCancelButton));
    btAbort->SetDefault(true);
    btAbort->SetCancel(true);
    btAbort->OnClick = [this](TObject*) { btAbortClick(); };
    for (TZor_BitBtn* b : {btOK, btAbort}) {
        b->setMinimumSize(90, 25);
        buttons->addWidget(b);
    }
    body->addLayout(buttons);

    lcLangLinked = CreateFormTranslations(this, DM ? DM->lcLangDispatcher : nullptr, "TfComportOptions");
    resize(353, 138);
    FormCreate();
}

void TfComportOptions::FormCreate()
{
    QStringList items;
    for (const std::string& port : ListPorts(true))
        items << QString::fromStdString(port);
    items << "USB" << "Keine Schnittstelle";
    ePort->SetItems(items);
    ePort->SetItemIndex(ePort->count() - 1);
    PaintDialogFrame(this, spLeft);
}

std::vector<std::string> TfComportOptions::ListPorts(bool withNames)
{
    std::vector<std::string> ports;
    for (const TPortEntry& port : ::ListPorts()) {
        const std::string name = "COM" + std::to_string(port.Number);
        ports.push_back(withNames ? name + " (" + port.Node + ")" : name);
    }
    return ports;
}

int TfComportOptions::GetPortNumber() const
{
    const QString text = ePort->currentText();
    if (text == "Keine Schnittstelle")
        return 0;
    if (text == "USB")
        return 255;
    QString number = text.mid(3);
    const int blank = number.indexOf(' ');
    if (blank >= 0)
        number = number.left(blank);
    bool ok = false;
    const int value = number.toInt(&ok);
    return ok ? value : -1;
}

void TfComportOptions::SetPortNumber(int portNumber)
{
    const QString name = portNumber == 0     ? QString("Keine Schnittstelle")
                         : portNumber == 255 ? QString("USB")
                                             : QString("COM%1").arg(portNumber);
    for (int i = 0; i < ePort->count(); ++i) {
        const QString item = ePort->itemText(i);
        if (item.compare(name, Qt::CaseInsensitive) == 0 || item.startsWith(name + " ", Qt::CaseInsensitive)) {
            ePort->SetItemIndex(i);
            return;
        }
    }
}

void TfComportOptions::LabelClick(QLabel* label)
{
    if (QWidget* target = label ? label->buddy() : nullptr; target && target->isEnabled() &&
                                                            target->focusPolicy() != Qt::NoFocus)
        target->setFocus();
}

void TfComportOptions::btOKClick()
{
    SetModalResult(mrOk);
}

void TfComportOptions::btAbortClick()
{
    SetModalResult(mrCancel);
}

bool TfComportOptions::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == lPort && event->type() == QEvent::MouseButtonRelease)
        LabelClick(lPort);
    return TForm::eventFilter(watched, event);
}

#include "radioplugin/FunkmodulTerminalForm.h"

#include "platform/Beep.h"
#include "platform/KeyText.h"
#include "radioplugin/RuvoCommands.h"
#include "radioplugin/RuvoTransport.h"
#include "radioplugin/SendFunctions.h"
#include "radioplugin/StringTokens.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

TfFunkmodulTerminalForm* FunkmodulTerminalForm = nullptr;

const char* const RuvoTerminalCommands[19] = {
    "(V)  Versionsmeldung ausgeben",
    "(N) Anzeige Seriennummer des Gerätes",
    "(Ex) Echo der Kommandos (X = 0 -> kein Echo, X = 1 -> Echo)",
    "(QEx) Ausgabemodus (X = 0 -> normal, X = 1 -> erweitert) (Servicebefehl)",
    "(M) Alle 32 Speicherplatzinformationen (T, R, P) ausgeben",
    "(Mx) Speicherplatzinformation für einen Speicherplatz (T, R, P) ausgeben",
    ("(SMx) Softwareselektion: Auswählen des Speicherplatzes und der zugehörigen TX/ RX-Kanäle sowie der "
     "Sendeleistungsstufe"),
    "(Kx) Seicherplatznummer einstellen (für TX, RX und PX - Kommando)",
    "(Tx) Neuen Sendekanal programmieren (auf ausgewaehltem Speicherplatz, -> KX)",
    "(Rx) Neuen Empfangskanal programmieren (auf ausgewaehltem Speicherplatz, -> KX)",
    "(Px) Neue Sendeleistungsstufe programmieren (auf ausgewähltem Speicherplatz, -> KX)",
    "(QT) Aktuelle TX-Kanalnummer ausgeben (Servicebefehl)",
    "(QR) Aktuelle RX-Kanalnummer ausgeben (Servicebefehl)",
    "(QP) Aktuelle Leistungsstufe ausgeben (Servicebefehl)",
    "(QSM) Aktuelle Speicherplatznummer ausgeben (Servicebefehl)",
    "(SM) Hardwareselektion: Auswählen des Speicherplatzes und der zugehörigen TX-/ RX-Kanaele usw.",
    "(A0) Ausgabe des analogen Messsignals RSSI (Eingangspegel)",
    "(Xx) Xon/ Xoff - Protokoll: X = 0 -> ausschalten, X = 1 -> einschalten",
    "(F) Rücksetzen auf Werkseinstellung",
};

TfFunkmodulTerminalForm::TfFunkmodulTerminalForm(QWidget* Owner, TRuvoLink* Communication)
    : TfMonitorForm(Owner, Communication, "FunkmodulTerminalForm", "FSE Terminal", "lbxFSETrace")
{
    lbxFSETrace = lbxTrace;
    auto* row = new QHBoxLayout;
    cbxCommands = new QComboBox(this);
    cbxCommands->setObjectName("cbxCommands");
    for (const char* item : RuvoTerminalCommands)
        cbxCommands->addItem(QString::fromUtf8(item));
    cbxCommands->setCurrentIndex(0);
    cbxCommands->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    cbxCommands->setMinimumContentsLength(30);
    edtSend = new QLineEdit("0", this);
    edtSend->setObjectName("edtSend");
    edtSend->setMaximumWidth(80);
    btnSend = new QPushButton("Senden", this);
    btnSend->setObjectName("btnSend");
    btnSend->setAutoDefault(false);
    row->addWidget(cbxCommands, 1);
    row->addWidget(edtSend);
    row->addWidget(btnSend);
    Layout()->insertLayout(1, row);
    edtSend->installEventFilter(this);
    cbxCommands->installEventFilter(this);
    connect(btnSend, &QPushButton::clicked, this, &TfFunkmodulTerminalForm::btnSendClick);
    resize(640, 420);
    LoadTexts("TfFunkmodulTerminalForm");
}

TfFunkmodulTerminalForm::~TfFunkmodulTerminalForm()
{
    if (FunkmodulTerminalForm == this)
        FunkmodulTerminalForm = nullptr;
}

bool TfFunkmodulTerminalForm::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            btnSendClick();
            return true;
        }
        if (watched == edtSend) {
            const char typed = FieldKey(KeyCharCode(*key));
            if (typed != 0 && !DigitKeyAccepted(typed)) {
                MessageBeep(MB_BEEP_WARNING);
                return true;
            }
        }
    }
    return TfMonitorForm::eventFilter(watched, event);
}

void TfFunkmodulTerminalForm::btnSendClick()
{
    if (!FCommunication || !FCommunication->Connected())
        return;
    const std::optional<std::int32_t> value = ParseDecimal32(edtSend->text().toStdString());
    FCommunication->SendText(nullptr, TerminalLine(cbxCommands->currentIndex(), value.value_or(0)), 0);
    edtSend->selectAll();
    edtSend->setFocus();
}

void TfFunkmodulTerminalForm::SendCloseLine()
{
    if (FunkmodulTerminalForm == this)
        FunkmodulTerminalForm = nullptr;
    if (FCommunication && FCommunication->Connected())
        FCommunication->SendText(nullptr, RuvoRadioTalkOff, 0);
}

// The send functions: the FFSK telegram, the test tone, the FFSK filter,
// and the keys the telegram's fields, the radio channel and the serial
// number take.
#include "platform/Beep.h"
#include "platform/Component.h"
#include "platform/Dialogs.h"
#include "platform/KeyText.h"
#include "radioplugin/ParamForm.h"
#include "radioplugin/PluginApp.h"
#include "radioplugin/RuvoCommands.h"
#include "radioplugin/SendFunctions.h"
#include "radioplugin/StringTokens.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>

namespace {

QString Q(const std::string& text)
{
    return QString::fromStdString(text);
}

} // namespace

void TfParameterForm::btnSendClick()
{
    TFFSKFields fields;
    fields.Infobyte1 = edtInfobyte01->text().toStdString();
    fields.Infobyte2 = edtInfobyte02->text().toStdString();
    fields.Infobyte3 = edtInfobyte03->text().toStdString();
    for (std::size_t i = 0; i < 8; ++i)
        fields.Zusatzbyte[i] = edtZusatzbyte[i]->text().toStdString();
    fields.RadioChannel = edtRadioChannel->text().toStdString();
    const std::optional<std::string> line = FFSKTelegramLine(fields);
    if (line)
        QueueDevice(*line);
    else
        PluginMessageBox(Text("IDS_48"), "Fehler", MB_OK | MB_ICONERROR);
    edtInfobyte01->setFocus();
}

void TfParameterForm::SetTestToneTimerEnabled(bool Enabled)
{
    // An interval of 0 never fires: the tone runs until switched off.
    if (Enabled && TestToneTimer->interval() > 0)
        TestToneTimer->start();
    else
        TestToneTimer->stop();
}

void TfParameterForm::btnTestToneClick()
{
    const std::int32_t channel = ParseDecimal32(edtRadioChannel->text().toStdString()).value_or(0);
    if (btnTestTone->isChecked()) {
        DisableSendButtons();
        SetTestToneTimerEnabled(true);
        btnTestTone->setText(Q(Text("IDS_51")));
        FTestToneTag = edtTesttoneNr->value();
        QueueDevice(TestToneLine(channel, FTestToneTag, true));
    } else {
        SetTestToneTimerEnabled(false);
        btnTestTone->setText(Q(Text("IDS_54")));
        QueueDevice(TestToneLine(channel, FTestToneTag, false));
        EnableSendButtons();
    }
}

void TfParameterForm::TestToneTimerTimer()
{
    SetTestToneTimerEnabled(false);
    if (btnTestTone->isChecked()) {
        btnTestTone->setChecked(false);
        btnTestToneClick();
    }
}

void TfParameterForm::edtSendTimeLimitChange()
{
    const bool running = TestToneTimer->isActive();
    TestToneTimer->setInterval(edtSendTimeLimit->value() * 1000);
    if (running)
        SetTestToneTimerEnabled(true);
}

void TfParameterForm::ShowFilterState(bool On)
{
    btnFFSKFilterOnOff->setChecked(On);
    btnFFSKFilterOnOff->setText(Q(Text(On ? "IDS_2" : "IDS_6")));
    lblFFSKFilter->setText(Q(Text(On ? "IDS_7" : "IDS_3")));
}

void TfParameterForm::btnFFSKFilterOnOffClick()
{
    if (!Communication())
        return;
    const bool on = btnFFSKFilterOnOff->isChecked();
    const std::vector<std::string> lines = FilterSwitchLines(on);
    QueueDevice(lines[0]);
    btnFFSKFilterOnOff->setText(Q(Text(on ? "IDS_2" : "IDS_6")));
    lblFFSKFilter->setText(Q(Text(on ? "IDS_7" : "IDS_3")));
    for (std::size_t i = 1; i < lines.size(); ++i)
        QueueDevice(lines[i]);
}

void TfParameterForm::edtInfobyte01Change()
{
    const bool offered = OffersAdditionalBytes(edtInfobyte01->text().toStdString());
    for (QLineEdit* edit : edtZusatzbyte)
        edit->setVisible(offered);
    lbl09Hint->setVisible(!offered);
    lblInfobyte02->setText(Q(Text(offered ? "IDS_58" : "IDS_59")));
}

void TfParameterForm::edtInfobyte02Change()
{
    const int n = AdditionalByteCount(edtInfobyte02->text().toStdString());
    for (QObject* object : OwnedComponents(this)) {
        auto* edit = qobject_cast<QLineEdit*>(object);
        if (!edit || !edit->objectName().contains("edtZusatzbyte"))
            continue;
        const bool enabled = n >= edit->property("Tag").toInt();
        edit->setEnabled(enabled);
        if (!enabled)
            edit->setText("00");
    }
}

bool TfParameterForm::IsHexEdit(QObject* object) const
{
    if (object == edtInfobyte01 || object == edtInfobyte02 || object == edtInfobyte03)
        return true;
    for (QLineEdit* edit : edtZusatzbyte)
        if (object == edit)
            return true;
    return false;
}

bool TfParameterForm::eventFilter(QObject* watched, QEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit)
        return QDialog::eventFilter(watched, event);
    const bool hex = IsHexEdit(watched);
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (hex && (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter))
            return true; // the key's release sends
        char typed = FieldKey(KeyCharCode(*key));
        if (typed == 0)
            return QDialog::eventFilter(watched, event);
        if (hex) {
            const int selStart = edit->hasSelectedText() ? edit->selectionStart() : edit->cursorPosition();
            const int selLength = static_cast<int>(edit->selectedText().size());
            if (!HexKeyAccepted(typed, edit->text().toStdString(), selStart, selLength, edit == edtInfobyte02,
                                edtInfobyte01->text().toStdString())) {
                MessageBeep(MB_BEEP_WARNING);
                return true;
            }
            if (typed != '\b') {
                edit->insert(QString(QChar(typed))); // upper-cased
                return true;
            }
            return false;
        }
        // The radio channel and the serial number: digits only.
        if (!DigitKeyAccepted(typed)) {
            MessageBeep(MB_BEEP_WARNING);
            return true;
        }
        return false;
    }
    if (event->type() == QEvent::KeyRelease && hex) {
        auto* key = static_cast<QKeyEvent*>(event);
        if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && isVisible()) {
            btnSend->click();
            return true;
        }
    }
    if (event->type() == QEvent::FocusOut) {
        if (hex)
            edit->setText(Q(PadHexField(edit->text().toStdString())));
        else if (edit == edtRadioChannel && edit->text().isEmpty())
            edit->setText("0");
    }
    return QDialog::eventFilter(watched, event);
}

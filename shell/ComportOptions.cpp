#include "shell/ComportOptions.h"

#include "platform/SerialPort.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

TfComportOptions::TfComportOptions(QWidget* owner) : QDialog(owner)
{
    setObjectName("fComportOptions");
    setWindowTitle("Schnittstelle auswählen");
    auto* layout = new QVBoxLayout(this);
    auto* description =
        new QLabel("Bitte wählen Sie aus, an welcher Schnittstelle Sie den Sensor angeschlossen haben.", this);
    description->setWordWrap(true);
    layout->addWidget(description);
    auto* lPort = new QLabel("Schnittstelle:", this);
    lPort->setObjectName("lPort");
    layout->addWidget(lPort);
    ePort = new QComboBox(this);
    ePort->setObjectName("ePort");
    for (const std::string& port : ListPorts(true))
        ePort->addItem(QString::fromStdString(port));
    ePort->addItem("USB");
    ePort->addItem("Keine Schnittstelle");
    ePort->setCurrentIndex(ePort->count() - 1);
    lPort->setBuddy(ePort);
    layout->addWidget(ePort);
    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton("&OK", QDialogButtonBox::AcceptRole)->setObjectName("btOK");
    buttons->addButton("&Abbrechen", QDialogButtonBox::RejectRole)->setObjectName("btAbort");
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    layout->addWidget(buttons);
    resize(353, 138);
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
            ePort->setCurrentIndex(i);
            return;
        }
    }
}

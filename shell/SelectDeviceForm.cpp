#include "shell/SelectDeviceForm.h"

#include "localization/lcLngLnk.h"
#include "platform/Component.h"
#include "platform/Exception.h"
#include "platform/MessageWindow.h"
#include "platform/Registry.h"
#include "platform/StdCtrls.h"
#include "shell/DataModule.h"
#include "shell/DeviceStatus.h"
#include "shell/ZorUtils.h"

#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>

TfSelectDeviceForm* fSelectDeviceForm = nullptr;

TfSelectDeviceForm::TfSelectDeviceForm(TDeviceList& devices, TAppRegistryStorage& settings, QWidget* owner)
    : QDialog(owner), FDevices(devices), FSettings(settings)
{
    setObjectName("fSelectDeviceForm");
    SetOwnerRoot(this);
    fSelectDeviceForm = this;
    setWindowTitle("Zor Konfigurationsprogramm");
    QFont bold = font();
    bold.setBold(true);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(10, 8, 10, 8);
    layout->setSpacing(6);
    auto* lblDatei = new TLabel("Bitte wählen Sie aus, welches Gerät Sie konfigurieren wollen:", this);
    lblDatei->setObjectName("lblDatei");
    lblDatei->setFont(bold);
    lblDatei->setWordWrap(true); // a wider font takes a second line
    layout->addWidget(lblDatei);
    auto* row = new QHBoxLayout;
    auto* lblDevice = new TLabel("Gerät:", this);
    lblDevice->setObjectName("lblDevice");
    lblDevice->setFont(bold);
    row->addWidget(lblDevice);
    cbxDeviceList = new QComboBox(this);
    cbxDeviceList->setObjectName("cbxDeviceList");
    cbxDeviceList->setEditable(false);
    row->addWidget(cbxDeviceList, 1);
    layout->addLayout(row);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    btnOK = new TButton("OK", this);
    btnOK->setObjectName("btnOK");
    btnOK->setDefault(true);
    btnCancel = new TButton("Abbruch", this);
    btnCancel->setObjectName("btnCancel");
    buttons->addWidget(btnOK);
    buttons->addWidget(btnCancel);
    layout->addLayout(buttons);
    connect(btnOK, &QPushButton::clicked, this, [this] {
        btnOKClick();
        accept();
    });
    connect(btnCancel, &QPushButton::clicked, this, &QDialog::reject);
    // A dialog of fixed size, centred on the screen.
    setFixedSize(375, 100);
    setSizeGripEnabled(false);
    if (const QScreen* screen = owner ? owner->screen() : QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    lcLangLinked = CreateFormTranslations(this, DM ? DM->lcLangDispatcher : nullptr, "TfSelectDeviceForm");
    FormCreate();
}

TfSelectDeviceForm::~TfSelectDeviceForm()
{
    if (fSelectDeviceForm == this)
        fSelectDeviceForm = nullptr;
}

void TfSelectDeviceForm::FormCreate()
{
    const int stored = FSettings.ReadInteger("LastDeviceIndex", -1);
    for (std::size_t i = 0; i < FDevices.Count(); ++i)
        cbxDeviceList->addItem(QString::fromStdString(FDevices.Items(i)->Name));
    cbxDeviceList->setCurrentIndex(stored >= 0 && stored < cbxDeviceList->count() ? stored : -1);
    if (cbxDeviceList->currentIndex() < 0 && cbxDeviceList->count() > 0)
        cbxDeviceList->setCurrentIndex(0);
}

void TfSelectDeviceForm::btnOKClick()
{
    const int index = cbxDeviceList->currentIndex();
    if (index < 0 || static_cast<std::size_t>(index) >= FDevices.Count())
        return;
    // By position: two entries whose names differ only in case stay apart.
    FDevices.SetCurrent(FDevices.Items(static_cast<std::size_t>(index)));
    FSettings.WriteInteger("LastDeviceIndex", index);
    try {
        TRegistry::Flush();
    } catch (const Exception& e) {
        // The choice holds for this run; the user learns it is not kept.
        HandleApplicationException(e);
    }
}

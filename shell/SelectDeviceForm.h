#pragma once
// The device choice: the catalogue's names in a list; OK makes the chosen
// entry current and remembers its index as "LastDeviceIndex".
#include <QDialog>

class QComboBox;
class QPushButton;
class TAppRegistryStorage;
class TDeviceList;
class TlcLangLinked;

class TfSelectDeviceForm : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    TfSelectDeviceForm(TDeviceList& devices, TAppRegistryStorage& settings, QWidget* owner = nullptr);
    ~TfSelectDeviceForm() override;

    void FormCreate();
    void btnOKClick();

    QComboBox* cbxDeviceList;
    QPushButton* btnOK;
    QPushButton* btnCancel;
    TlcLangLinked* lcLangLinked;

private:
    TDeviceList& FDevices;
    TAppRegistryStorage& FSettings;
};

// The open device dialog, if any.
extern TfSelectDeviceForm* fSelectDeviceForm;

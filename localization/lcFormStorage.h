#pragma once
// Keeps its form's window state, position and size in the registry: they are
// restored when the form has been set up and saved when the form closes and
// when the component goes with its form.
#include <QObject>
#include <QPointer>

#include <string>

class QWidget;

enum class TMyHKeyType : int {
    lcHKEY_CURRENT_USER = 0,
    lcHKEY_CLASSES_ROOT = 1,
    lcHKEY_LOCAL_MACHINE = 2,
    lcHKEY_USERS = 3,
    lcHKEY_CURRENT_CONFIG = 4,
    lcHKEY_DYN_DATA = 5,
};

class TlcFormStorage : public QObject {
    Q_OBJECT
public:
    // The owner is the form; anything else raises EConvertError.
    explicit TlcFormStorage(QObject* owner);
    // Saves the placement.
    ~TlcFormStorage() override;

    bool Active() const { return FActive; }
    void SetActive(bool value) { FActive = value; }
    TMyHKeyType RegRootKey() const { return FRoot; }
    void SetRegRootKey(TMyHKeyType value) { FRoot = value; }
    const std::string& SubKey() const { return FSubKey; }
    void SetSubKey(const std::string& value) { FSubKey = value; }

    // After the form's data were set.
    void Loaded();
    // Writes the placement to its file at once; raises EFileSaveError when
    // the file cannot be written (closing the form shows that error).
    void SavePlacement();
    void RestorePlacement();

    // The full key: the root's name, then SubKey.
    std::string Key() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QPointer<QWidget> FForm;
    bool FActive = true;
    TMyHKeyType FRoot = TMyHKeyType::lcHKEY_CURRENT_USER;
    std::string FSubKey;
};

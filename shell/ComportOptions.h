#pragma once
// The choice of the interface: the PC's COM ports, "USB" and
// "Keine Schnittstelle".
#include <QDialog>

#include <string>
#include <vector>

class QComboBox;

class TfComportOptions : public QDialog {
    Q_OBJECT
public:
    explicit TfComportOptions(QWidget* owner = nullptr);

    // The ports of this machine as "COMn" texts, each followed by " (" and
    // its device node ")" when asked for.
    static std::vector<std::string> ListPorts(bool withNames);
    // 0 "Keine Schnittstelle", 255 "USB", n for "COMn ..."; -1 for a text
    // that is none of these.
    int GetPortNumber() const;
    // Selects the entry of the number; without one the selection stays.
    void SetPortNumber(int portNumber);

    QComboBox* ePort;
};

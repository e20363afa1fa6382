// A small window with one edit of the control library per case, for the tests
// that type into the edits through the X server:
//   xtest_editwindow <mode>[/<max length>]=<text> ...
// makes the edit "ed<n>" (n from 0, in the order given) in input mode <mode>
// (imAll, imInteger...) showing <text>, with that MaxLength (none: 0).
#include "controls/Zor_StandardControls.h"

#include <QApplication>
#include <QFormLayout>
#include <QLabel>
#include <QMetaEnum>
#include <QWidget>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setObjectName("EditWindow");
    window.setWindowTitle("TZor_Edit");
    auto* layout = new QFormLayout(&window);
    const QMetaEnum modes = QMetaEnum::fromType<TInputMode>();
    const QStringList cases = app.arguments().mid(1);
    for (int i = 0; i < cases.size(); ++i) {
        const QString head = cases[i].section('=', 0, 0);
        const QString mode = head.section('/', 0, 0);
        bool known = false;
        const int value = modes.keyToValue(mode.toLatin1().constData(), &known);
        if (!known) {
            std::fprintf(stderr, "no input mode %s\n", qPrintable(mode));
            return 2;
        }
        auto* edit = new TZor_Edit(&window);
        edit->setObjectName(QString("ed%1").arg(i));
        edit->SetInputMode(static_cast<TInputMode>(value));
        edit->SetMaxLength(head.section('/', 1, 1).toInt());
        edit->SetQText(cases[i].section('=', 1));
        layout->addRow(new QLabel(mode, &window), edit);
    }
    window.resize(400, window.sizeHint().height());
    window.show();
    return app.exec();
}

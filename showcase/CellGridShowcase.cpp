// The channel table in a window of its own, for a look on a display:
//   cellgrid_showcase               shows the window until it is closed
//   cellgrid_showcase --grab a.png  opens the power editor on row 3 and the
//                                   frequency editor on row 2 in turn, writes
//                                   a picture of each state (a.png, a-2.png)
//                                   and ends
#include "radioplugin/CellGridWidget.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

void Press(QWidget* target, int key, const QString& text = {})
{
    if (!target)
        return;
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &press);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QWidget window;
    window.setWindowTitle("Frequenztabelle");
    window.resize(470, 330);

    auto* grid = new TCellGrid(&window);
    grid->setObjectName("grdFrequencies");
    grid->setGeometry(10, 10, 450, 310);
    grid->SetColCount(4);
    grid->SetRowCount(33);
    grid->SetOptions(grid->Options() | goEditing);
    grid->SetImmediateEditMode(true);
    const char* captions[] = {"Nr.", "Empf. Frequnz (MHz)", "Sendefrequenz (MHz)", "Leistung (W)"};
    const int widths[] = {40, 130, 130, 100};
    for (int c = 0; c < 4; ++c) {
        TCellGridColumnItem* item = grid->Columns().Items(c);
        item->SetCaption(captions[c]);
        item->SetWidth(widths[c]);
        item->SetHeaderAlignment(TAlignment::taCenter);
    }
    grid->Columns().Items(0)->SetAlignment(TAlignment::taRightJustify);
    grid->Columns().Items(3)->SetAlignment(TAlignment::taRightJustify);

    auto* receive = new TMaskEditCellEditor(&window);
    receive->setObjectName("medReceive");
    receive->SetEditMask("099,0999");
    receive->SetDefaultText("146,0100");
    auto* transmit = new TMaskEditCellEditor(&window);
    transmit->setObjectName("medTransmit");
    transmit->SetEditMask("099,0999");
    transmit->SetDefaultText("173,990");
    auto* power = new TComboCellEditor(&window);
    power->setObjectName("cbxPower");
    power->SetStyle(TComboBoxStyle::csDropDownList);
    power->SetItems({"0,025", "0,1", "0,5", "1", "6"});
    for (TMetaCellEditor* editor : {static_cast<TMetaCellEditor*>(receive), static_cast<TMetaCellEditor*>(transmit),
                                    static_cast<TMetaCellEditor*>(power)})
        editor->Loaded();
    grid->Columns().Items(1)->SetEditor(receive);
    grid->Columns().Items(2)->SetEditor(transmit);
    grid->Columns().Items(3)->SetEditor(power);
    const char* powers[] = {"0,025", "0,1", "0,5", "1", "6"};
    for (int r = 1; r <= 32; ++r) {
        char text[32];
        grid->SetCells(0, r, std::to_string(r));
        std::snprintf(text, sizeof text, "146,%04d", 100 + 25 * r);
        grid->SetCells(1, r, text);
        std::snprintf(text, sizeof text, "173,%04d", 990 + 25 * r);
        grid->SetCells(2, r, text);
        grid->SetCells(3, r, powers[r % 5]);
    }
    window.show();
    window.activateWindow();
    grid->setFocus();

    QString first;
    QString second;
    if (argc > 2 && std::strcmp(argv[1], "--grab") == 0) {
        first = QString::fromLocal8Bit(argv[2]);
        second = first;
        second.replace(".png", "-2.png");
        QTimer::singleShot(300, [&] {
            window.activateWindow();
            grid->setFocus();
            grid->SetCol(3);
            grid->SetRow(3);
            Press(grid, Qt::Key_F2);
            QTimer::singleShot(200, [&] {
                window.grab().save(first);
                Press(QApplication::focusWidget(), Qt::Key_Escape);
                grid->SetCol(1);
                grid->SetRow(2);
                Press(grid, Qt::Key_4, "4");
                Press(QApplication::focusWidget(), Qt::Key_6, "6");
                QTimer::singleShot(200, [&] {
                    window.grab().save(second);
                    app.quit();
                });
            });
        });
    }
    return app.exec();
}

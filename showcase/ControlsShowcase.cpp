// A small window with the library's controls in their colour states, for
// looking at them on a real display:
//   controls_showcase            shows the window until it is closed
//   controls_showcase --system   the same with the system palette
#include "controls/SyncListbox.h"
#include "controls/Zor_StandardControls.h"
#include "controls/Zor_ZusaetzlicheControls.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>

#include <cstring>

namespace {

QImage Strip()
{
    QImage strip(32, 16, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 255));
    QPainter painter(&strip);
    painter.setBrush(QColor(0, 150, 0));
    painter.setPen(Qt::NoPen);
    painter.drawEllipse(2, 2, 12, 12);
    painter.setBrush(QColor(150, 150, 150));
    painter.drawEllipse(18, 2, 12, 12);
    return strip;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc > 1 && std::strcmp(argv[1], "--system") == 0)
        G_Zor_Pattern().SetUseWindowsDefaults(true);

    QWidget window;
    window.setWindowTitle("Tessaro controls");
    auto* grid = new QGridLayout(&window);
    const struct {
        TZor_PatternStyle State;
        const char* Name;
    } states[] = {{TZor_PatternStyle::psEnabled, "psEnabled"},       {TZor_PatternStyle::psDisabled, "psDisabled"},
                  {TZor_PatternStyle::psInformation, "psInformation"}, {TZor_PatternStyle::psError, "psError"},
                  {TZor_PatternStyle::psOk, "psOk"},                 {TZor_PatternStyle::psActive, "psActive"}};
    int row = 0;
    for (const auto& s : states) {
        grid->addWidget(new QLabel(s.Name), row, 0);
        auto* edit = new TZor_Edit(&window);
        edit->SetText(std::string("Edit ") + s.Name);
        edit->SetPattern(s.State);
        grid->addWidget(edit, row, 1);
        auto* combo = new TZor_ComboBox(&window);
        combo->SetItems({"COM1", "COM2", "USB"});
        combo->SetPattern(s.State);
        grid->addWidget(combo, row, 2);
        ++row;
    }
    auto* time = new TZor_Edit(&window);
    time->SetInputMode(TInputMode::imShortTime);
    time->SetText("12:30");
    grid->addWidget(new QLabel("imShortTime"), row, 0);
    grid->addWidget(time, row++, 1);

    auto* ok = new TZor_BitBtn(&window);
    ok->SetCaption("&OK");
    ok->SetGlyph(Strip());
    ok->SetGlyphCount(2);
    ok->SetDefault(true);
    auto* disabled = new TZor_BitBtn(&window);
    disabled->SetCaption("&Abbrechen");
    disabled->SetGlyph(Strip());
    disabled->SetGlyphCount(2);
    disabled->setEnabled(false);
    auto* plain = new TZor_BitBtn(&window);
    plain->SetCaption("Ohne Bild, mit einem langen Text");
    for (TZor_BitBtn* b : {ok, disabled, plain})
        b->setMinimumSize(110, 28);
    plain->setMinimumSize(110, 40);
    grid->addWidget(ok, row, 0);
    grid->addWidget(disabled, row, 1);
    grid->addWidget(plain, row++, 2);

    auto* lists = new QWidget(&window);
    auto* listLayout = new QHBoxLayout(lists);
    for (int k = 0; k < 2; ++k) {
        auto* list = new TSyncListbox(lists);
        for (int i = 0; i < 30; ++i)
            list->addItem(QString("%1 %2").arg(k ? "Gesendet" : "Empfangen").arg(i));
        list->setCurrentRow(3);
        list->setMinimumHeight(90);
        listLayout->addWidget(list);
    }
    grid->addWidget(lists, row++, 0, 1, 3);
    ok->setFocus();
    window.show();
    return app.exec();
}

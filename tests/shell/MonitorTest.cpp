// The communication monitor: row formats, what is recorded when, the head
// highlighting, the log file, and the send line.
#include "controls/SyncListbox.h"
#include "link/Communication.h"
#include "link/Serial_Communication.h"
#include "platform/Exception.h"
#include "shell/CommunicationMonitor.h"
#include "shell/Environment.h"
#include "tests/common/KeyInput.h"
#include "tests/link/VirtualComIo.h"
#include "tests/shell/ProgramFixture.h"

#include <QAccessible>
#include <QApplication>
#include <QFileDialog>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>
#include <QSplitter>
#include <QStyleOptionSlider>
#include <QTest>
#include <QTimer>

using TPause = TCommunicationMonitor::TPause;
using TMode = TCommunicationMonitor::TMode;

TEST(MonitorRows, HexAndEscapedText)
{
    const std::string bytes("AB\r\xFF \x00~", 7);
    EXPECT_EQ(BytesToHexText(bytes, true), " 41 42 0D FF 20 00 7E");
    EXPECT_EQ(BytesToHexText(bytes, false), "41420DFF20007E");
    EXPECT_EQ(EscapeText(bytes), "AB<0D><FF> <00>~");
    EXPECT_EQ(EscapeText(""), "");
}

TEST(MonitorRows, WhatIsRecordedAndWhen)
{
    TCommunicationMonitor m;
    EXPECT_FALSE(m.AddReceived("x", 0).Added); // hidden: nothing
    m.SetVisible(true);
    EXPECT_TRUE(m.AddReceived(" ", 1).Added); // one blank: an empty text
    EXPECT_TRUE(m.AddSent("\x41\x42\x0A", 2).Added);
    m.SetMode(TMode::Hex);
    EXPECT_TRUE(m.AddReceived("\x41\x42\x43\x0D", 3).Added);
    ASSERT_EQ(m.In().size(), 3u);
    ASSERT_EQ(m.Out().size(), 3u);
    EXPECT_EQ(m.In()[0].Text, "");
    EXPECT_EQ(m.Out()[0].Text, "");
    EXPECT_EQ(m.Out()[1].Text, "AB<0A>");
    EXPECT_EQ(m.In()[1].Text, "");
    EXPECT_EQ(m.In()[2].Text, "41 42 43 0D"); // the leading blank goes
    m.SetPause(TPause::ByUser);
    EXPECT_TRUE(m.AddReceived("y", 4).Added);
    EXPECT_FALSE(m.FollowsNewest());
    m.SetPause(TPause::ForUpload);
    EXPECT_FALSE(m.AddSent("z", 5).Added);
    m.Clear();
    EXPECT_TRUE(m.In().empty());
}

TEST(MonitorRows, ReceivedTrafficKeepsAThousandRowsSendsDoNot)
{
    TCommunicationMonitor m;
    m.SetVisible(true);
    for (int i = 0; i < 1000; ++i)
        EXPECT_FALSE(m.AddReceived("r" + std::to_string(i), 0).DroppedFirst);
    const auto change = m.AddReceived("last", 0);
    EXPECT_TRUE(change.DroppedFirst);
    EXPECT_EQ(m.In().size(), 1000u);
    EXPECT_EQ(m.In().front().Text, "r1");
    for (int i = 0; i < 50; ++i)
        m.AddSent("s", 0);
    EXPECT_EQ(m.Out().size(), 1050u);
    EXPECT_EQ(m.In().size(), 1050u);
}

TEST(MonitorRows, HeadOfARow)
{
    TCommunicationMonitor m;
    const struct {
        TMode mode;
        const char* text;
        int bytes;
        std::size_t head;
    } cases[] = {
        {TMode::Ascii, "A<0D>B", 2, 5}, {TMode::Ascii, "A<0D>B", 0, 0}, {TMode::Ascii, "ABC", 1, 1},
        {TMode::Ascii, "A<B", 2, 5},    // a "<" too near the end counts as an escape
        {TMode::Ascii, "A<BCD", 2, 2},  // a "<" whose fourth character is no ">" counts one
        {TMode::Ascii, "AB", 4, 10},    // past the end: 4 each
        {TMode::Hex, "41 42", 3, 9},    // more than the text: drawn clipped
        {TMode::Hex, "41 42", 1, 3},
    };
    for (const auto& c : cases) {
        m.SetMode(c.mode);
        EXPECT_EQ(m.HeadLength(c.text, c.bytes), c.head) << c.text << " " << c.bytes;
    }
}

TEST(MonitorRows, LogFileLinesAndName)
{
    TCommunicationMonitor m;
    m.SetVisible(true);
    m.SetMode(TMode::Hex);
    const std::uint32_t t1 = ((14 * 60 + 4) * 60 + 58) * 1000 + 120;
    m.AddSent("AB\n", t1);
    m.SetMode(TMode::Ascii);
    m.AddReceived(" ", t1 + 30); // one blank in ASCII: empty in both lists, skipped
    m.SetMode(TMode::Hex);
    m.AddReceived("ABC\r", t1 + 67);
    const QDate day(2026, 12, 9);
    const QTime at(14, 5);
    EXPECT_EQ(TCommunicationMonitor::ProposedFileName(day, at), "Kommunikationsprotokoll_09-12-2026_14-05.txt");
    EXPECT_EQ(m.LogLines(day, at), (std::vector<std::string>{
                                        "Kommunikationsprotokoll. Aufgezeichnet: 09.12.2026 14:05",
                                        std::string(65, '-'),
                                        "[PC > Gerät 14:04:58,120] 41 42 0A",
                                        "[Gerät > PC 14:04:58,187] 41 42 43 0D",
                                        "----ENDE DER AUFZEICHNUNG -----------------------------------",
                                    }));
}

namespace {

class MonitorWindowTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        TMyComInterface::SetIoFactory([this](HWND window, std::uint16_t) {
            auto io = std::make_unique<TVirtualComIo>(window);
            Io = io.get();
            return io;
        });
        SetComPort(2);
        Catalogue(R"(<DEVICE name="Ruvo"/>)");
        Dm = std::make_unique<TDM>(QStringList{"Tessaro", "Ruvo"});
        Form = std::make_unique<TfMainForm>();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
        Dm->Environment()->StoreServiceCode("48213"); // the monitor shows in the extended mode
        Form->AppIdle();
    }
    void TearDown() override
    {
        ProgramFixture::TearDown();
        TMyComInterface::SetIoFactory({});
    }
    void Connect()
    {
        Io->PostToInterface(RegisterWindowMessage("ComVerbStatus"), 1, {});
        QCoreApplication::processEvents();
        ASSERT_TRUE(Dm->ComControl()->Connected());
    }
    std::vector<std::string> SentToThread() const
    {
        std::vector<std::string> out;
        for (const auto& m : Io->ThreadMessages)
            if (m.Msg == RegisterWindowMessage("ComSend"))
                out.push_back(std::string(1, static_cast<char>(m.WParam & 0xFF)) + m.Block.value_or(""));
        return out;
    }
    // Row pairs as the link reports them: a received and a sent message each.
    void Rows(int pairs, int width = 0)
    {
        for (int i = 0; i < pairs; ++i) {
            Form->DebugReceiveData("in" + std::to_string(i) + std::string(static_cast<std::size_t>(width), 'i'));
            Form->DebugSendData("out" + std::to_string(i) + std::string(static_cast<std::size_t>(width), 'o'));
        }
    }
    static void ClickRow(TSyncListbox* list, int row)
    {
        const QRect visible = list->visualItemRect(list->item(row)).intersected(list->viewport()->rect());
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, visible.center());
    }
    // A click into a scroll bar's track past the thumb: a page further.
    static void ClickPageAdd(QScrollBar* bar)
    {
        QStyleOptionSlider option;
        option.initFrom(bar);
        option.orientation = bar->orientation();
        option.minimum = bar->minimum();
        option.maximum = bar->maximum();
        option.sliderPosition = bar->sliderPosition();
        option.sliderValue = bar->value();
        option.singleStep = bar->singleStep();
        option.pageStep = bar->pageStep();
        option.subControls = QStyle::SC_All;
        const QRect page = bar->style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddPage, bar);
        QTest::mouseClick(bar, Qt::LeftButton, {}, page.center());
    }
    // Where a label stands against a list, in the window's coordinates.
    QRect InWindow(const QWidget* w) const { return QRect(w->mapTo(Form.get(), QPoint(0, 0)), w->size()); }
    void ExpectOver(const QWidget* label, const QWidget* list) const
    {
        const QRect l = InWindow(label), r = InWindow(list);
        EXPECT_GE(l.left(), r.left()) << label->objectName().toStdString();
        EXPECT_LT(l.left(), r.right()) << label->objectName().toStdString();
        EXPECT_LE(l.right(), r.right() + 1) << label->objectName().toStdString();
        EXPECT_LE(l.bottom(), r.top()) << label->objectName().toStdString();
        EXPECT_GT(l.width(), 0) << label->objectName().toStdString();
    }

    TVirtualComIo* Io = nullptr;
};

} // namespace

TEST_F(MonitorWindowTest, SendLineUpperCasesAndSendsWithLineFeed)
{
    Form->edtSend->setText("ver");
    Form->btnSendClick(); // not connected: nothing
    EXPECT_TRUE(SentToThread().empty());
    EXPECT_FALSE(Form->btnSend->isEnabled());
    Connect();
    Form->AppIdle();
    EXPECT_TRUE(Form->btnSend->isEnabled());
    Form->btnSend->click();
    EXPECT_EQ(SentToThread(), std::vector<std::string>{"VER\n"});
    EXPECT_EQ(Form->edtSend->text().toStdString(), "VER");
    EXPECT_EQ(Form->edtSend->selectedText().toStdString(), "VER");
    // The send shows in the right-hand list (through the link's monitor copy).
    ASSERT_EQ(Form->lbxOut->count(), 1);
    EXPECT_EQ(Form->lbxOut->item(0)->text().toStdString(), "VER<0A>");
    EXPECT_EQ(Form->lbxIn->item(0)->text().toStdString(), "");
    Form->edtSend->clear();
    Form->btnSend->click();
    EXPECT_EQ(SentToThread().size(), 1u);
}

TEST_F(MonitorWindowTest, ButtonsPauseToggleClearAndTheUploadNotices)
{
    Form->DebugReceiveData("\x41\r");
    ASSERT_EQ(Form->lbxIn->count(), 1);
    EXPECT_EQ(Form->lbxIn->currentRow(), 0);
    Form->btnPause->click();
    EXPECT_EQ(Form->btnPause->text().toStdString(), "Weiter");
    Form->DebugReceiveData("B");
    EXPECT_EQ(Form->lbxIn->count(), 2);
    EXPECT_EQ(Form->lbxIn->currentRow(), 0); // the view stays
    Form->btnPause->click();
    EXPECT_EQ(Form->btnPause->text().toStdString(), "Pause");
    Form->btnToggleASCII->click();
    EXPECT_EQ(Form->btnToggleASCII->text().toStdString(), "In ASCII-Darstellung umschalten");
    Form->DebugReceiveData(Dm->Text("IDS_70")); // notices are formatted like data
    EXPECT_EQ(Form->lbxIn->item(2)->text().left(8).toStdString(), "46 49 52");
    Form->btnToggleASCII->click();
    EXPECT_EQ(Form->btnToggleASCII->text().toStdString(), "In HEX-Darstellung umschalten");
    Form->btnClear->click();
    EXPECT_EQ(Form->lbxIn->count(), 0);
    EXPECT_EQ(Form->lbxOut->count(), 0);
}

TEST_F(MonitorWindowTest, SavingWritesTheLogAndSaysSo)
{
    Form->DebugReceiveData("ABC\r");
    Form->DebugSendData("AB\n");
    const std::string path = ProgramDir() + "log.txt";
    TestDialogs().QueueFile(path);
    Form->btnSave->click();
    const auto dialogs = TestDialogs().FileDialogs();
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0].Title, "Protokoll speichern");
    EXPECT_EQ(dialogs[0].DefaultExt, "TXT");
    EXPECT_EQ(dialogs[0].FileName.rfind("Kommunikationsprotokoll_", 0), 0u);
    const std::string log = ReadFile(path);
    EXPECT_EQ(log.rfind("Kommunikationsprotokoll. Aufgezeichnet: ", 0), 0u);
    EXPECT_NE(log.find("] ABC<0D>\r\n[PC > Ger\xE4t "), std::string::npos); // Latin-1, CR LF
    EXPECT_NE(log.find("] AB<0A>\r\n----ENDE DER AUFZEICHNUNG"), std::string::npos);
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_EQ(TestDialogs().Boxes()[0].Text, "Die Daten wurden gespeichert!");

    // A file that cannot be written: the error, no success message, the old file kept.
    TestDialogs().Clear();
    TestDialogs().QueueFile(ProgramDir() + "no/such/folder/log.txt");
    Form->btnSaveClick();
    ASSERT_EQ(TestDialogs().Boxes().size(), 1u);
    EXPECT_NE(TestDialogs().Boxes()[0].Text.find(ProgramDir() + "no/such/folder/log.txt"), std::string::npos);
    EXPECT_EQ(TestDialogs().Boxes()[0].Flags, static_cast<unsigned>(MB_OK | MB_ICONERROR));
}

TEST_F(MonitorWindowTest, NothingIsRecordedOutsideTheExtendedMode)
{
    Dm->Environment()->StoreServiceCode("1");
    Form->AppIdle();
    Form->DebugReceiveData("hidden");
    EXPECT_EQ(Form->lbxIn->count(), 0);
}

TEST_F(MonitorWindowTest, EnterSendsOncePerPressMadeInTheSendLine)
{
    Connect();
    Form->AppIdle();
    QTest::mouseClick(Form->edtSend, Qt::LeftButton);
    QTest::keyClicks(Form->edtSend, "ver");
    // Held down: the first press, 20 repeats, the release.
    HoldKey(Form->windowHandle(), Qt::Key_Return, "\r", 20);
    EXPECT_EQ(SentToThread(), std::vector<std::string>{"VER\n"});
    EXPECT_EQ(Form->edtSend->selectedText().toStdString(), "VER");
    // Enter pressed in another control and let go in the send line sends nothing.
    ClickRow(Form->lbxOut, 0);
    WindowKey(Form->windowHandle(), QEvent::KeyPress, Qt::Key_Return, "\r");
    QTest::mouseClick(Form->edtSend, Qt::LeftButton);
    WindowKey(Form->windowHandle(), QEvent::KeyRelease, Qt::Key_Return, "\r");
    EXPECT_EQ(SentToThread().size(), 1u);
    // The keypad's Enter is Enter too; each press sends once.
    HoldKey(Form->windowHandle(), Qt::Key_Enter, "\r", 0);
    HoldKey(Form->windowHandle(), Qt::Key_Return, "\r", 3);
    EXPECT_EQ(SentToThread(), (std::vector<std::string>{"VER\n", "VER\n", "VER\n"}));
}

// Held Enter as an X server sends it when the toolkit does not see a
// repeat's press waiting as it handles the release: the repeat's release and
// press come unmarked, like a person letting go and pressing again, the two
// with one time stamp (or a few milliseconds apart). Each hold still sends
// once; two presses of a person, however quick, send twice.
TEST_F(MonitorWindowTest, EnterSendsOncePerPressWhenTheRepeatsComeUnmarked)
{
    Connect();
    Form->AppIdle();
    QTest::mouseClick(Form->edtSend, Qt::LeftButton);
    QTest::keyClicks(Form->edtSend, "ver");
    struct Step {
        QEvent::Type Type;
        quint64 At; // ms after the case's start
        bool Marked = false;
    };
    const auto held = [](int repeats, quint64 pressLate, bool someMarked) {
        std::vector<Step> steps{{QEvent::KeyPress, 0}};
        for (int i = 0; i < repeats; ++i) {
            const quint64 at = 500 + 40 * static_cast<quint64>(i);
            const bool marked = someMarked && i % 3 == 0;
            steps.push_back({QEvent::KeyRelease, at, marked});
            steps.push_back({QEvent::KeyPress, at + pressLate, marked});
        }
        steps.push_back({QEvent::KeyRelease, 500 + 40 * static_cast<quint64>(repeats) + 15});
        return steps;
    };
    struct Case {
        const char* Name;
        std::vector<Step> Steps;
        std::size_t Sends;
    };
    const Case cases[] = {
        {"held 1.3 s, no repeat marked, each pair with one stamp", held(20, 0, false), 1},
        {"held, the repeat's press 3 ms after its release", held(20, 3, false), 1},
        {"held, some repeats marked and some not", held(30, 1, true), 1},
        {"held until the first repeat only", held(1, 0, false), 1},
        {"one short press", {{QEvent::KeyPress, 0}, {QEvent::KeyRelease, 90}}, 1},
        {"two quick presses, 60 ms between them",
         {{QEvent::KeyPress, 0}, {QEvent::KeyRelease, 70}, {QEvent::KeyPress, 130}, {QEvent::KeyRelease, 200}},
         2},
    };
    quint64 start = 100000;
    std::size_t sent = SentToThread().size();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        for (const Step& step : c.Steps)
            StampedKey(step.Type, Qt::Key_Return, "\r", step.Marked, start + step.At);
        const std::vector<std::string> now = SentToThread();
        ASSERT_EQ(now.size(), sent + c.Sends);
        EXPECT_EQ(now.back(), "VER\n");
        sent = now.size();
        start += 10000;
    }
}

TEST_F(MonitorWindowTest, KeysSelectionAndScrollBarsOfTheTwoListsFollowEachOther)
{
    Rows(4, 150);
    ASSERT_EQ(Form->lbxIn->count(), 8);
    EXPECT_EQ(Form->lbxOut->currentRow(), 7); // both follow the newest row
    EXPECT_EQ(Form->lbxIn->currentRow(), 7);
    ClickRow(Form->lbxIn, 1);
    EXPECT_EQ(Form->lbxOut->currentRow(), 1);
    for (int i = 0; i < 3; ++i)
        QTest::keyClick(Form->lbxIn, Qt::Key_Down);
    EXPECT_EQ(Form->lbxIn->currentRow(), 4);
    EXPECT_EQ(Form->lbxOut->currentRow(), 4);
    EXPECT_TRUE(Form->lbxOut->item(4)->isSelected());
    // The person sees where the keys are: the focused list frames its row.
    const auto framed = [](TSyncListbox* list, int row) {
        const QImage view = list->viewport()->grab().toImage();
        const QRect rect = list->visualItemRect(list->item(row));
        int dark = 0;
        for (int x = rect.left(); x < std::min(rect.right(), view.width()); ++x)
            dark += qGray(view.pixel(x, rect.top())) < 64 ? 1 : 0;
        return dark > 10;
    };
    EXPECT_TRUE(framed(Form->lbxIn, 4));
    EXPECT_FALSE(framed(Form->lbxIn, 3));
    EXPECT_FALSE(framed(Form->lbxOut, 4)); // not the list without the focus
    QTest::keyClick(Form->lbxOut, Qt::Key_Up);
    EXPECT_EQ(Form->lbxIn->currentRow(), 3);

    // Scrolling: by keys, by the scroll bars' tracks, by the wheel.
    Rows(200, 150);
    QScrollBar* inBar = Form->lbxIn->verticalScrollBar();
    QScrollBar* outBar = Form->lbxOut->verticalScrollBar();
    ASSERT_GT(inBar->maximum(), 0);
    QTest::keyClick(Form->lbxIn, Qt::Key_Home);
    EXPECT_EQ(outBar->value(), 0);
    EXPECT_EQ(Form->lbxOut->currentRow(), 0);
    QTest::keyClick(Form->lbxIn, Qt::Key_PageDown);
    QTest::keyClick(Form->lbxIn, Qt::Key_PageDown);
    EXPECT_GT(inBar->value(), 0);
    EXPECT_EQ(outBar->value(), inBar->value());
    EXPECT_EQ(Form->lbxOut->currentRow(), Form->lbxIn->currentRow());
    ClickPageAdd(outBar);
    EXPECT_EQ(inBar->value(), outBar->value());
    const int before = inBar->value();
    const QPoint centre = Form->lbxIn->viewport()->rect().center();
    QWheelEvent wheel(centre, Form->lbxIn->viewport()->mapToGlobal(centre), QPoint(), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(Form->lbxIn->viewport(), &wheel);
    EXPECT_GT(inBar->value(), before);
    EXPECT_EQ(outBar->value(), inBar->value());
    ASSERT_GT(Form->lbxIn->horizontalScrollBar()->maximum(), 0);
    ClickPageAdd(Form->lbxIn->horizontalScrollBar());
    EXPECT_GT(Form->lbxIn->horizontalScrollBar()->value(), 0);
    EXPECT_GT(Form->lbxOut->horizontalScrollBar()->value(), 0);
}

TEST_F(MonitorWindowTest, TheLabelsStandOverTheirListsFromTheFirstShow)
{
    EXPECT_EQ(Form->lblIn->text().toStdString(), "Ruvo --> PC");
    EXPECT_EQ(Form->lblOut->text().toStdString(), "PC --> Ruvo");
    const auto check = [this](const char* when) {
        SCOPED_TRACE(when);
        ExpectOver(Form->lblIn, Form->lbxIn);
        ExpectOver(Form->lblOut, Form->lbxOut);
        EXPECT_EQ(InWindow(Form->lblOut).left(), InWindow(Form->Splitter->handle(1)).left() + 8);
    };
    check("first show");
    Form->resize(1200, 760);
    QCoreApplication::processEvents();
    check("wider");
    Form->resize(800, 480);
    QCoreApplication::processEvents();
    check("narrower");
    // The splitter dragged to the left with the mouse.
    QWidget* handle = Form->Splitter->handle(1);
    const int listWidth = Form->lbxIn->width();
    const QPoint grip = handle->rect().center();
    QTest::mousePress(handle, Qt::LeftButton, {}, grip);
    QTest::mouseMove(handle, grip - QPoint(150, 0));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, grip - QPoint(150, 0));
    EXPECT_LT(Form->lbxIn->width(), listWidth - 100);
    check("splitter moved");
}

TEST_F(MonitorWindowTest, TheSaveDialogOffersItsFilterAsWritten)
{
    // The program's own file dialog here, not the test's stand-in.
    SetDialogService(nullptr);
    QStringList filters;
    QString title;
    int tries = 0;
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QFileDialog*>(w); dialog && dialog->isVisible()) {
                filters = dialog->nameFilters();
                title = dialog->windowTitle();
                dialog->reject();
                return;
            }
        if (++tries > 1000) // no file dialog came: nothing may stay modal
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
    });
    look.start(0);
    QTest::mouseClick(Form->btnSave, Qt::LeftButton);
    look.stop();
    SetDialogService(&TestDialogs());
    EXPECT_EQ(title.toStdString(), "Protokoll speichern");
    EXPECT_EQ(filters, (QStringList{"Textdatei (*.txt)", "Alle Dateien (*.*)"}));
    EXPECT_TRUE(TestDialogs().Boxes().empty()); // cancelled: no message
}

namespace {

// What a screen reader finds below an accessible object, depth first, as
// "role:name" items. Each child must name its parent and its place.
void Collect(QAccessibleInterface* node, std::vector<std::string>& out, int depth = 0)
{
    ASSERT_LT(depth, 40);
    for (int i = 0; i < node->childCount(); ++i) {
        QAccessibleInterface* child = node->child(i);
        ASSERT_NE(child, nullptr);
        ASSERT_NE(child->parent(), nullptr);
        EXPECT_EQ(child->parent()->object(), node->object()) << child->text(QAccessible::Name).toStdString();
        EXPECT_EQ(node->indexOfChild(child), i);
        if (child->state().invisible)
            continue;
        out.push_back(std::to_string(child->role()) + ":" + child->text(QAccessible::Name).toStdString());
        Collect(child, out, depth + 1);
    }
}

bool Has(const std::vector<std::string>& items, QAccessible::Role role, const std::string& name)
{
    return std::find(items.begin(), items.end(), std::to_string(role) + ":" + name) != items.end();
}

int Count(const std::vector<std::string>& items, QAccessible::Role role)
{
    const std::string prefix = std::to_string(role) + ":";
    return static_cast<int>(
        std::count_if(items.begin(), items.end(), [&](const std::string& s) { return s.rfind(prefix, 0) == 0; }));
}

} // namespace

TEST_F(MonitorWindowTest, AScreenReaderReachesTheMonitor)
{
    Form->DebugReceiveData("ABC\r");
    std::vector<std::string> items;
    Collect(QAccessible::queryAccessibleInterface(Form.get()), items);
    std::string all;
    for (const auto& item : items)
        all += item + "\n";
    SCOPED_TRACE(all);
    for (const char* button : {"Senden", "In HEX-Darstellung umschalten", "Speichern", "Löschen", "Pause"})
        EXPECT_TRUE(Has(items, QAccessible::Button, button)) << button;
    EXPECT_TRUE(Has(items, QAccessible::StaticText, "Ruvo-Konfigurator"));
    EXPECT_TRUE(Has(items, QAccessible::StaticText, "Ruvo --> PC"));
    EXPECT_TRUE(Has(items, QAccessible::StaticText, "Die ersten"));
    EXPECT_EQ(Count(items, QAccessible::List), 2);
    EXPECT_EQ(Count(items, QAccessible::SpinBox), 1);
    EXPECT_GE(Count(items, QAccessible::EditableText), 1);
    EXPECT_TRUE(Has(items, QAccessible::ListItem, "ABC<0D>")); // a row's text
}

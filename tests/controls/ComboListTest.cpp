// The combo box's entry value with Escape, Enter and Backspace, and the
// synchronised list boxes, both offscreen with key events as the application
// delivers them.
#include "controls/SyncListbox.h"
#include "controls/Zor_StandardControls.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHBoxLayout>
#include <QPainter>
#include <QScrollBar>
#include <QSplitter>
#include <QStyledItemDelegate>
#include <QWheelEvent>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using enum TComboBoxStyle;

// ---- Entry value -------------------------------------------------------------

TEST(ComboEntry, RestoreByStyle)
{
    struct Case {
        TComboBoxStyle Style;
        std::string EntryText;
        int EntryIndex;
        std::string NowText;
        int NowIndex;
        bool Changed;
        std::string Text;
        int Index;
    };
    const std::vector<Case> cases = {
        {csDropDown, "COM1", 0, "COM3", 0, true, "COM1", -1},
        {csSimple, "COM1", 0, "COM1", 2, false, "", -1},
        {csDropDownList, "", 2, "", 4, true, "", 2},
        {csDropDownList, "", -1, "", 3, true, "", -1},
        {csDropDownList, "", 2, "", 2, false, "", -1},
        {csOwnerDrawFixed, "COM1", 0, "COM3", 3, false, "", -1},
        {csOwnerDrawVariable, "COM1", 0, "COM3", 3, false, "", -1},
    };
    for (const Case& c : cases) {
        TZor_ComboEntry entry;
        entry.Enter(c.Style, c.EntryText, c.EntryIndex);
        const TZor_ComboEntry::TRestore r = entry.Restore(c.Style, c.NowText, c.NowIndex);
        EXPECT_EQ(r.Changed, c.Changed) << static_cast<int>(c.Style);
        if (r.Changed && TZor_ComboEntry::Editable(c.Style)) {
            EXPECT_EQ(r.Text, c.Text);
        }
        if (r.Changed && c.Style == csDropDownList) {
            EXPECT_EQ(r.ItemIndex, c.Index);
        }
    }
    // An owner-drawn style keeps the value it had.
    TZor_ComboEntry entry;
    entry.Enter(csDropDown, "kept", 0);
    entry.Enter(csOwnerDrawFixed, "other", 1);
    EXPECT_EQ(entry.EntryValue(), "kept");
}

TEST(ComboEntry, FirstItemThatBeginsWithTheText)
{
    const std::vector<std::string> items = {"COM1", "COM10", "USB", "Keine Schnittstelle"};
    struct Case {
        std::string Text;
        int Index;
    };
    for (const Case& c : std::vector<Case>{{"COM1", 0}, {"COM10", 1}, {"com", 0}, {"u", 2}, {"Keine S", 3},
                                           {"X", -1}, {"", -1}, {"COM100", -1}})
        EXPECT_EQ(TZor_ComboEntry::MatchItem(items, c.Text), c.Index) << c.Text;
}

// ---- The combo box ----------------------------------------------------------------

class ComboBox : public testing::Test {
protected:
    void SetUp() override
    {
        Form = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(Form.get());
        Start = new QLineEdit(Form.get());
        Combo = new TZor_ComboBox(Form.get());
        layout->addWidget(Start);
        layout->addWidget(Combo);
        Combo->SetItems({"COM1", "COM10", "COM2", "COM3", "USB"});
        Combo->OnChange = [this](TObject*) { ++Changes; };
        Form->show();
        QApplication::setActiveWindow(Form.get());
    }

    void Enter()
    {
        Start->setFocus(Qt::TabFocusReason);
        Combo->setFocus(Qt::TabFocusReason);
        ASSERT_EQ(QApplication::focusWidget(), Combo);
    }

    // Keys as the application delivers them: to the focus widget.
    void Key(int key, const QString& text = {}) { SendKey(QApplication::focusWidget(), key, Qt::NoModifier, text); }
    void TypeOver(const QString& text)
    {
        Combo->lineEdit()->selectAll();
        SendText(QApplication::focusWidget(), text);
    }

    std::unique_ptr<QWidget> Form;
    QLineEdit* Start = nullptr;
    TZor_ComboBox* Combo = nullptr;
    int Changes = 0;
};

TEST_F(ComboBox, EscapeRestoresTheTextOfEntering)
{
    Combo->SetText("COM1");
    Enter();
    TypeOver("XY3");
    EXPECT_EQ(Combo->Text(), "XY3");
    const int typed = Changes;
    Key(Qt::Key_Escape);
    EXPECT_EQ(Combo->Text(), "COM1");
    EXPECT_EQ(Changes, typed + 1);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Changes, typed + 1) << "nothing more to restore";
}

TEST_F(ComboBox, EnterTakesTheCurrentText)
{
    int entered = 0;
    Combo->OnEnter = [&](TObject*) { ++entered; };
    Combo->SetText("COM1");
    Enter();
    EXPECT_EQ(entered, 1);
    TypeOver("XY3");
    Key(Qt::Key_Return);
    EXPECT_EQ(entered, 2);
    EXPECT_EQ(Combo->Entry().EntryValue(), "XY3");
    TypeOver("XY4");
    Key(Qt::Key_Escape);
    EXPECT_EQ(Combo->Text(), "XY3");
    EXPECT_EQ(Combo->count(), 5) << "Enter adds no item";
}

TEST_F(ComboBox, ListStyleRestoresTheItem)
{
    Combo->SetStyle(csDropDownList);
    Combo->SetItemIndex(2);
    Enter();
    EXPECT_EQ(Combo->Entry().EntryValue(), "2");
    Combo->SetItemIndex(4);
    Key(Qt::Key_Escape);
    EXPECT_EQ(Combo->ItemIndex(), 2);
}

TEST_F(ComboBox, BackspaceSelectsTheFirstMatchingItem)
{
    Combo->SetText("COM10");
    Enter();
    Combo->lineEdit()->deselect();
    Combo->lineEdit()->end(false);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Combo->Text(), "COM1");
    EXPECT_EQ(Combo->ItemIndex(), 0);
    // Completed and selected: the rest of the item after the typed text.
    Combo->SetText("US");
    Combo->lineEdit()->end(false);
    SendText(QApplication::focusWidget(), "X");
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Combo->Text(), "USB");
    EXPECT_EQ(Combo->lineEdit()->selectedText(), "B");
    // Deleting the last character leaves the box empty.
    Combo->SetText("C");
    Combo->lineEdit()->end(false);
    Key(Qt::Key_Backspace);
    EXPECT_EQ(Combo->Text(), "");
}

// The edit that a list style drops goes later; the box keeps the focus.
TEST_F(ComboBox, TurningIntoAListKeepsTheFocus)
{
    Enter();
    Combo->SetStyle(csDropDownList);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(QApplication::focusWidget(), Combo);
    // Made in one style and turned into a list before it is shown, as the
    // port dialog's box is: the first focus stays when the window comes up.
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* list = new TZor_ComboBox(&window);
    layout->addWidget(list);
    list->SetStyle(csDropDownList);
    list->SetItems({"a", "b"});
    ASSERT_TRUE(ShowActive(&window));
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(QApplication::focusWidget(), list);
}

TEST_F(ComboBox, OwnerDrawnKeepsNoEntryValue)
{
    Combo->SetStyle(csOwnerDrawFixed);
    Combo->SetItemIndex(1);
    Enter();
    Combo->SetItemIndex(3);
    const int before = Changes;
    Key(Qt::Key_Escape);
    EXPECT_EQ(Combo->ItemIndex(), 3);
    EXPECT_EQ(Changes, before);
}

TEST_F(ComboBox, AutoDropDownOpensTheListOnTheFirstKey)
{
    // A list: the first key opens it on the item that the key chose.
    Combo->SetStyle(csDropDownList);
    Combo->SetAutoDropDown(true);
    Combo->SetItemIndex(0);
    Enter();
    TypeKeys(Form.get(), "u");
    EXPECT_TRUE(Combo->view()->isVisible());
    EXPECT_EQ(Combo->view()->currentIndex().row(), 4);
    PressKey(Form.get(), Qt::Key_Return);
    EXPECT_FALSE(Combo->view()->isVisible());
    EXPECT_EQ(Combo->Text(), "USB");

    // An edit: the list opens with the first character, the rest goes on
    // into the text, and the list follows the first item that begins with it.
    Combo->SetStyle(csDropDown);
    Combo->SetText("");
    Enter();
    TypeKeys(Form.get(), "c");
    EXPECT_TRUE(Combo->view()->isVisible());
    TypeKeys(Form.get(), "om3");
    EXPECT_EQ(Combo->lineEdit()->text().toLower(), "com3");
    EXPECT_EQ(Combo->view()->currentIndex().row(), 3);
    PressKey(Form.get(), Qt::Key_Return);
    EXPECT_FALSE(Combo->view()->isVisible());
    EXPECT_EQ(Combo->Text(), "COM3");
    EXPECT_EQ(Combo->ItemIndex(), 3);
    // A text that no item begins with stays as typed.
    Combo->lineEdit()->selectAll();
    TypeKeys(Form.get(), "x");
    ASSERT_TRUE(Combo->view()->isVisible());
    TypeKeys(Form.get(), "y");
    PressKey(Form.get(), Qt::Key_Return);
    EXPECT_FALSE(Combo->view()->isVisible());
    EXPECT_EQ(Combo->Text(), "xy");

    // Without AutoDropDown a key opens nothing.
    Combo->SetAutoDropDown(false);
    TypeKeys(Form.get(), "c");
    EXPECT_FALSE(Combo->view()->isVisible());
    Combo->SetStyle(csDropDownList);
    TypeKeys(Form.get(), "c");
    EXPECT_FALSE(Combo->view()->isVisible());
}

TEST_F(ComboBox, BevelOnlyOnItsEdges)
{
    ASSERT_EQ(G_Zor_Pattern().Edit()->Bevels(TZor_PatternStyle::psEnabled).BevelKind, TBevelKind::bkFlat);
    EXPECT_EQ(Combo->BevelEdges(), AllBevelEdges);
    const QImage all = Combo->grab().toImage();
    const int midX = all.width() / 2;
    const int midY = all.height() / 2;
    EXPECT_EQ(all.pixel(midX, 0), ColorToQColor(clBtnShadow).rgb());
    EXPECT_EQ(all.pixel(midX, all.height() - 1), ColorToQColor(clBtnShadow).rgb());
    QMetaProperty property;
    ASSERT_TRUE(FindPublishedProperty(Combo, "BevelEdges", &property));
    property.write(Combo, QVariant::fromValue(TBevelEdges(TBevelEdge::beLeft) | TBevelEdge::beRight));
    const QImage sides = Combo->grab().toImage();
    EXPECT_NE(sides.pixelColor(midX, 0), all.pixelColor(midX, 0)) << "no bevel on the top";
    EXPECT_NE(sides.pixelColor(midX, sides.height() - 1), all.pixelColor(midX, all.height() - 1));
    EXPECT_EQ(sides.pixelColor(0, midY), all.pixelColor(0, midY)) << "the left edge keeps it";
    EXPECT_EQ(sides.pixelColor(sides.width() - 1, midY), all.pixelColor(all.width() - 1, midY));
}

// Counts the pixels of a colour.
int PixelsOf(const QImage& image, const QColor& colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            n += image.pixelColor(x, y) == colour;
    return n;
}

TEST_F(ComboBox, OwnerDrawnItemsAreDrawnByTheItemEvent)
{
    using enum StdCtrls::TOwnerDrawStateFlag;
    const QColor marker(255, 0, 255);
    Combo->SetStyle(csOwnerDrawFixed);
    Combo->SetItemIndex(2);
    std::vector<std::pair<int, StdCtrls::TOwnerDrawState>> drawn;
    Combo->OnDrawItem = [&](TObject* control, int index, const QRect& rect, StdCtrls::TOwnerDrawState state) {
        EXPECT_EQ(control, static_cast<TObject*>(Combo));
        drawn.emplace_back(index, state);
        QPainter* canvas = Combo->Canvas();
        canvas->fillRect(rect, canvas->brush());
        canvas->fillRect(QRect(rect.left() + 2, rect.top() + 2, 6, 6), marker);
        canvas->drawText(rect.adjusted(12, 0, 0, 0), Qt::AlignVCenter, Combo->itemText(index));
    };
    // The box shows its item through the event.
    EXPECT_EQ(PixelsOf(Combo->grab().toImage(), marker), 36);
    ASSERT_FALSE(drawn.empty());
    EXPECT_EQ(drawn.back().first, 2);
    EXPECT_TRUE(drawn.back().second.testFlag(odComboBoxEdit));
    // Nothing chosen: the box is only filled.
    Combo->SetItemIndex(-1);
    drawn.clear();
    EXPECT_EQ(PixelsOf(Combo->grab().toImage(), marker), 0);
    EXPECT_TRUE(drawn.empty());

    // The list draws every row through it; the chosen one in the highlight
    // colours.
    Combo->SetItemIndex(2);
    Combo->showPopup();
    QCoreApplication::processEvents();
    drawn.clear();
    const QImage list = Combo->view()->viewport()->grab().toImage();
    Combo->hidePopup();
    EXPECT_EQ(PixelsOf(list, marker), 36 * Combo->count());
    const QRect chosen = Combo->view()->visualRect(Combo->model()->index(2, 0));
    EXPECT_EQ(list.pixelColor(chosen.right() - 3, chosen.center().y()), ColorToQColor(clHighlight));
    const QRect other = Combo->view()->visualRect(Combo->model()->index(0, 0));
    EXPECT_EQ(list.pixelColor(other.right() - 3, other.center().y()),
              ColorToQColor(G_Zor_Pattern().Edit()->Color(TZor_PatternStyle::psEnabled)));
    bool selectedRow = false;
    for (const auto& [index, state] : drawn) {
        EXPECT_FALSE(state.testFlag(odComboBoxEdit)) << index;
        if (index == 2)
            selectedRow = state.testFlag(odSelected);
    }
    EXPECT_TRUE(selectedRow);
}

TEST_F(ComboBox, ColourStateAndLook)
{
    EXPECT_EQ(Combo->Pattern(), TZor_PatternStyle::psEnabled);
    Combo->SetPattern(TZor_PatternStyle::psOk);
    Combo->setEnabled(false);
    EXPECT_EQ(Combo->Pattern(), TZor_PatternStyle::psDisabled);
    Combo->setEnabled(true);
    EXPECT_EQ(Combo->Pattern(), TZor_PatternStyle::psOk);
    (void)Combo->grab();
    EXPECT_EQ(Combo->palette().color(QPalette::Base), ColorToQColor(G_Zor_Pattern().Edit()->Ok()));
    QMetaProperty property;
    for (const char* name : {"Pattern", "Style", "Items", "ItemIndex", "Text", "DropDownCount", "MaxLength",
                             "Sorted", "AutoComplete", "AutoDropDown", "BevelEdges"})
        EXPECT_TRUE(FindPublishedProperty(Combo, name, &property)) << name;
    EXPECT_STREQ(Combo->metaObject()->className(), "TZor_ComboBox");
}

// ---- Synchronised list boxes ---------------------------------------------------------

TEST(SyncKinds, WhatEachKindHandsOn)
{
    using enum TSyncKind;
    struct Case {
        quint32 Msg;
        bool Both, V, H, None;
    };
    for (const Case& c : std::vector<Case>{{WM_KEYDOWN, true, true, true, false},
                                           {WM_KEYUP, true, true, true, false},
                                           {WM_CHAR, true, true, true, false},
                                           {WM_MOUSEWHEEL, true, true, true, false},
                                           {WM_VSCROLL, true, true, false, false},
                                           {WM_HSCROLL, true, false, true, false},
                                           {0x200, false, false, false, false}}) {
        EXPECT_EQ(TSyncListbox::HandsOn(skBoth, c.Msg), c.Both) << c.Msg;
        EXPECT_EQ(TSyncListbox::HandsOn(skVScroll, c.Msg), c.V) << c.Msg;
        EXPECT_EQ(TSyncListbox::HandsOn(skHScroll, c.Msg), c.H) << c.Msg;
        EXPECT_EQ(TSyncListbox::HandsOn(skNone, c.Msg), c.None) << c.Msg;
    }
}

// Counts what reaches it from its siblings.
class TCountingList : public TSyncListbox {
public:
    using TSyncListbox::TSyncListbox;
    void ReceiveMessage(quint32 Msg, quint32 WParam, qint32 LParam) override
    {
        ++Received[Msg];
        TSyncListbox::ReceiveMessage(Msg, WParam, LParam);
    }
    std::map<quint32, int> Received;
};

class SyncLists : public testing::Test {
protected:
    void SetUp() override
    {
        Form = std::make_unique<QWidget>();
        auto* layout = new QHBoxLayout(Form.get());
        for (auto*& list : Lists) {
            list = new TCountingList(Form.get());
            layout->addWidget(list);
            for (int i = 0; i < 60; ++i)
                list->addItem(QString("row %1 with a rather long text that does not fit the width").arg(i));
            list->setCurrentRow(0);
        }
        Form->resize(300, 120);
        Form->show();
        QApplication::setActiveWindow(Form.get());
        QCoreApplication::processEvents();
    }

    std::unique_ptr<QWidget> Form;
    TCountingList* Lists[3] = {};
};

TEST_F(SyncLists, KeysMoveEverySibling)
{
    SendKey(Lists[0], Qt::Key_Down);
    SendKey(Lists[0], Qt::Key_Down);
    for (TCountingList* list : Lists)
        EXPECT_EQ(list->currentRow(), 2);
    EXPECT_EQ(Lists[1]->Received[WM_KEYDOWN], 2) << "each sibling exactly once per key";
    EXPECT_EQ(Lists[2]->Received[WM_KEYDOWN], 2);
    EXPECT_EQ(Lists[1]->Received[WM_KEYUP], 2);
    EXPECT_EQ(Lists[0]->Received[WM_KEYDOWN], 0) << "no ping-pong";
}

TEST_F(SyncLists, ThumbAndWheelScrollEverySibling)
{
    Lists[1]->verticalScrollBar()->setSliderPosition(20);
    for (TCountingList* list : Lists)
        EXPECT_EQ(list->verticalScrollBar()->value(), 20);
    QWheelEvent wheel(QPointF(10, 10), Lists[0]->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(Lists[0]->viewport(), &wheel);
    const int after = Lists[0]->verticalScrollBar()->value();
    EXPECT_GT(after, 20);
    for (TCountingList* list : Lists)
        EXPECT_EQ(list->verticalScrollBar()->value(), after);
    EXPECT_EQ(Lists[1]->Received[WM_MOUSEWHEEL], 1);
    EXPECT_EQ(Lists[1]->Received[WM_VSCROLL], 0) << "the wheel is handed on once, as a wheel";
}

TEST_F(SyncLists, KindsLimitWhatIsHandedOnAndFollowed)
{
    Lists[0]->SetSyncKind(TSyncKind::skHScroll);
    Lists[2]->SetSyncKind(TSyncKind::skNone);
    // Vertical scrolling of an skHScroll list stays its own.
    Lists[0]->verticalScrollBar()->setSliderPosition(10);
    EXPECT_EQ(Lists[1]->verticalScrollBar()->value(), 0);
    // Horizontal scrolling is handed on, and followed by skBoth but not skNone.
    Lists[0]->horizontalScrollBar()->setSliderPosition(5);
    EXPECT_EQ(Lists[1]->horizontalScrollBar()->value(), 5);
    EXPECT_EQ(Lists[2]->horizontalScrollBar()->value(), 0);
    // An skNone list neither hands on nor follows keys.
    SendKey(Lists[2], Qt::Key_Down);
    EXPECT_EQ(Lists[2]->currentRow(), 1);
    EXPECT_EQ(Lists[1]->currentRow(), 0);
    SendKey(Lists[1], Qt::Key_Down);
    EXPECT_EQ(Lists[0]->currentRow(), 1) << "an skHScroll list still follows keys";
    EXPECT_EQ(Lists[2]->currentRow(), 1);
    // The receiving side only checks skNone: an skVScroll list follows
    // horizontal scrolling handed on by an skBoth sibling.
    Lists[0]->SetSyncKind(TSyncKind::skVScroll);
    Lists[1]->horizontalScrollBar()->setSliderPosition(9);
    EXPECT_EQ(Lists[0]->horizontalScrollBar()->value(), 9);
}

TEST_F(SyncLists, AListOnAnotherParentIsNotAffected)
{
    QWidget other;
    auto* stranger = new TCountingList(&other);
    for (int i = 0; i < 60; ++i)
        stranger->addItem(QString::number(i));
    stranger->setCurrentRow(0);
    SendKey(Lists[0], Qt::Key_Down);
    Lists[0]->verticalScrollBar()->setSliderPosition(12);
    QWheelEvent wheel(QPointF(10, 10), Lists[0]->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(Lists[0]->viewport(), &wheel);
    ASSERT_EQ(Lists[1]->currentRow(), 1) << "the siblings did follow";
    EXPECT_EQ(stranger->currentRow(), 0);
    EXPECT_EQ(stranger->verticalScrollBar()->value(), 0);
    EXPECT_TRUE(stranger->Received.empty());
    // Without a parent nothing is handed on, and the list still moves itself.
    TCountingList alone;
    for (int i = 0; i < 3; ++i)
        alone.addItem(QString::number(i));
    alone.setCurrentRow(0);
    SendKey(&alone, Qt::Key_Down);
    EXPECT_EQ(alone.currentRow(), 1);
    EXPECT_TRUE(alone.Received.empty());
}

// Two lists as the communication monitor has them: side by side in a
// splitter, rows of 13 pixels drawn by the window, the font set by name.
TEST(SyncListsInASplitter, OwnerDrawnRowsFollowEachOther)
{
    class TRows : public QStyledItemDelegate {
    public:
        using QStyledItemDelegate::QStyledItemDelegate;
        void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
        {
            painter->fillRect(option.rect, index.row() % 2 ? Qt::white : QColor(191, 191, 191));
            painter->drawText(option.rect, Qt::AlignVCenter, index.data().toString());
        }
        QSize sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const override { return {120, 13}; }
    };
    QWidget window;
    auto* layout = new QHBoxLayout(&window);
    auto* splitter = new QSplitter(&window);
    layout->addWidget(splitter);
    TSyncListbox* lists[2];
    for (auto*& list : lists) {
        list = new TSyncListbox(splitter);
        list->setUniformItemSizes(true);
        list->setItemDelegate(new TRows(list));
        QMetaProperty font;
        ASSERT_TRUE(FindPublishedProperty(list, "Font", &font));
        font.write(list, QFont("Tahoma"));
        for (int i = 0; i < 100; ++i)
            list->addItem(QString("%1 row").arg(i));
    }
    EXPECT_EQ(lists[1]->font().family(), "Tahoma");
    window.resize(400, 200);
    ASSERT_TRUE(ShowActive(&window));
    EXPECT_EQ(lists[0]->visualItemRect(lists[0]->item(0)).height(), 13);
    lists[0]->setFocus();
    lists[0]->setCurrentRow(0);
    lists[1]->setCurrentRow(0);
    for (int i = 0; i < 3; ++i)
        PressKey(&window, Qt::Key_Down);
    EXPECT_EQ(lists[0]->currentRow(), 3);
    EXPECT_EQ(lists[1]->currentRow(), 3);
    PressKey(&window, Qt::Key_End);
    EXPECT_EQ(lists[1]->currentRow(), 99);
    EXPECT_EQ(lists[1]->verticalScrollBar()->value(), lists[0]->verticalScrollBar()->value());
    EXPECT_GT(lists[1]->verticalScrollBar()->value(), 0);
    lists[1]->verticalScrollBar()->triggerAction(QAbstractSlider::SliderPageStepSub);
    EXPECT_EQ(lists[0]->verticalScrollBar()->value(), lists[1]->verticalScrollBar()->value());
}

} // namespace

// The owner-drawn button: colours per state, the glyph strip, where caption
// and glyph go, the gradient and the painted picture; clicks, modal results,
// dialog keys and the action it follows. And the image and image list.
#include "controls/Zor_ButtonLayout.h"
#include "controls/Zor_Win32Controls.h"
#include "controls/Zor_ZusaetzlicheControls.h"
#include "tests/controls/ControlsTestSupport.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QHelpEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// ---- Layout ----------------------------------------------------------------------

struct LayoutCase {
    const char* Name;
    int CW, CH, TW, TH, ImageW, ImageH;
    bool CaptionEmpty;
    int G;
    TZor_Rect Text;
    TZor_Rect Glyph;
};

TEST(ButtonLayout, RectanglesOfCaptionAndGlyph)
{
    const std::vector<LayoutCase> cases = {
        {"glyph and caption", 75, 25, 20, 13, 16, 16, false, 16, {37, 6, 73, 23}, {17, 4, 33, 20}},
        {"caption alone", 75, 25, 20, 13, 0, 0, false, 0, {27, 6, 73, 23}, {23, 12, 23, 12}},
        {"glyph alone", 75, 25, 0, 0, 16, 16, true, 16, {47, 12, 73, 23}, {29, 4, 45, 20}},
        {"tall glyph is cut", 75, 20, 0, 0, 32, 32, true, 16, {47, 10, 73, 18}, {30, 3, 46, 17}},
        {"caption wider than the button", 40, 25, 61, 13, 0, 0, false, 0, {2, 6, 38, 23}, {-2, 12, -2, 12}},
        {"wide caption beside a glyph", 60, 25, 61, 13, 16, 16, false, 16, {22, 6, 58, 23}, {2, 4, 18, 20}},
        {"odd space rounds down", 50, 25, 43, 13, 0, 0, false, 0, {3, 6, 48, 23}, {-1, 12, -1, 12}},
        {"low button keeps the text inside", 75, 10, 20, 13, 0, 0, false, 0, {27, 2, 73, 8}, {23, 5, 23, 5}},
        {"narrow glyph alone is centred", 75, 25, 0, 0, 8, 16, true, 8, {43, 12, 73, 23}, {33, 4, 41, 20}},
    };
    for (const LayoutCase& c : cases) {
        const TZor_ButtonLayout L = ZorButtonLayout(c.CW, c.CH, c.TW, c.TH, c.ImageW, c.ImageH, c.CaptionEmpty);
        EXPECT_EQ(L.G, c.G) << c.Name;
        EXPECT_EQ(L.Text, c.Text) << c.Name;
        if (L.G > 0 || !c.CaptionEmpty) {
            EXPECT_EQ(L.Glyph, c.Glyph) << c.Name;
        }
    }
}

TEST(ButtonLayout, ColoursPerState)
{
    TZor_Colors set;
    set.SetEnabled(1);
    set.SetEnabledFont(2);
    set.SetDisabled(3);
    set.SetDisabledFont(4);
    set.SetInformation(5);
    set.SetInformationFont(6);
    set.SetActive(7);
    set.SetActiveFont(8);
    struct Case {
        TZor_ButtonState State;
        TColor Frame, Font;
    };
    const std::vector<Case> cases = {
        {{true, true, true, true}, 3, 8},    // hover, pressed
        {{true, false, true, true}, 7, 8},   // hover
        {{false, false, true, true}, 5, 6},  // focused
        {{false, true, true, false}, 1, 2},  // pressed without hover
        {{false, false, true, false}, 1, 2},
        {{true, true, false, true}, 3, 4},   // disabled
    };
    for (const Case& c : cases) {
        const TZor_ButtonLook look = ZorButtonLook(set, c.State);
        EXPECT_EQ(look.Frame, c.Frame);
        EXPECT_EQ(look.Font, c.Font);
    }
    set.SetEnabled(0);
    EXPECT_EQ(ZorButtonLook(set, {}).Frame, 0x00000001u) << "black is drawn as near-black";
}

TEST(ButtonLayout, ImageOfTheStripPerState)
{
    struct Case {
        int Count;
        bool Enabled, Pressed;
        TZor_GlyphChoice Choice;
    };
    const std::vector<Case> cases = {
        {1, true, false, {1, false}}, {1, true, true, {1, false}},  {1, false, false, {1, true}},
        {2, true, false, {1, false}}, {2, true, true, {1, false}},  {2, false, false, {2, false}},
        {3, true, true, {3, false}},  {4, false, false, {2, false}}, {5, true, false, {1, false}},
        {5, true, true, {3, false}},  {5, false, true, {2, false}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ZorGlyphChoice(c.Count, c.Enabled, c.Pressed), c.Choice) << c.Count << c.Enabled << c.Pressed;
}

TEST(ButtonLayout, CaptionAccelerator)
{
    EXPECT_EQ(ZorMeasuredCaption("&OK"), "OK");
    EXPECT_EQ(ZorMeasuredCaption("Save && &Close"), "Save & &Close");
    EXPECT_EQ(ZorAccelerator("&OK"), QChar('O'));
    EXPECT_EQ(ZorAccelerator("Save && &Close"), QChar('C'));
    EXPECT_TRUE(ZorAccelerator("Plain").isNull());
    EXPECT_TRUE(ZorAccelerator("End&").isNull());
}

TEST(ButtonLayout, GradientRows)
{
    const QColor start(255, 255, 255);
    const QColor end(0xF1, 0xED, 0xE9); // 0x00E9EDF1
    EXPECT_EQ(ZorGradientColor(start, end, 2, 24), QColor(254, 253, 253));
    EXPECT_EQ(ZorGradientColor(end, start, 2, 24), QColor(242, 239, 235));
    EXPECT_EQ(ZorGradientColor(start, end, 22, 24), end);
    // Halves go to the even neighbour: 3 * 1 / 2 = 1.5 -> 2, 1 * 1 / 2 = 0.5 -> 0.
    EXPECT_EQ(ZorGradientColor(QColor(0, 0, 0), QColor(3, 1, 5), 1, 4), QColor(2, 0, 2));
}

// ---- The picture -------------------------------------------------------------------

QImage Paint(int w, int h, const QString& caption = {}, const QImage& glyph = {}, int count = 1,
             TZor_ButtonState state = {})
{
    TZor_ButtonPaint p;
    p.Width = w;
    p.Height = h;
    p.Caption = caption;
    p.Glyph = glyph;
    p.GlyphCount = count;
    p.State = state;
    return ZorPaintButton(p);
}

TEST(ButtonPicture, FrameGradientAndTransparentCorners)
{
    const TZor_Colors& button = *G_Zor_Pattern().Button();
    const QImage image = Paint(40, 24);
    EXPECT_EQ(qAlpha(image.pixel(0, 0)), 0) << "outside the rounded corner";
    EXPECT_EQ(image.pixelColor(20, 0), ColorToQColor(button.Enabled()));
    EXPECT_EQ(image.pixelColor(20, 1), ColorToQColor(button.GradientStart()));
    EXPECT_EQ(image.pixelColor(20, 22), ColorToQColor(button.GradientEnd()));
    EXPECT_EQ(image.pixelColor(1, 2), ZorGradientColor(ColorToQColor(button.GradientStart()),
                                                       ColorToQColor(button.GradientEnd()), 2, 24));
    EXPECT_EQ(image.pixelColor(38, 12), image.pixelColor(1, 12)) << "rows run from x 1 to W - 2";
    // Pressed, the rows run the other way.
    const QImage pressed = Paint(40, 24, {}, {}, 1, {true, true, true, false});
    EXPECT_EQ(pressed.pixelColor(20, 2), ZorGradientColor(ColorToQColor(button.GradientEnd()),
                                                          ColorToQColor(button.GradientStart()), 2, 24));
    EXPECT_EQ(pressed.pixelColor(20, 0), ColorToQColor(button.Disabled()));
}

TEST(ButtonPicture, LowButtonHasNoRows)
{
    const TZor_Colors& button = *G_Zor_Pattern().Button();
    const QImage image = Paint(30, 4);
    EXPECT_EQ(image.pixelColor(15, 1), ColorToQColor(button.GradientStart()));
    EXPECT_EQ(image.pixelColor(15, 2), ColorToQColor(button.GradientEnd()));
    EXPECT_EQ(image.pixelColor(15, 3), ColorToQColor(button.Enabled()));
}

TEST(ButtonPicture, BlackFrameIsDrawnNearBlack)
{
    TZor_Colors& button = *G_Zor_Pattern().Button();
    const TColor saved = button.Enabled();
    button.SetEnabled(clBlack);
    const QImage image = Paint(30, 20);
    button.SetEnabled(saved);
    EXPECT_EQ(image.pixelColor(15, 0), QColor(1, 0, 0));
}

// A strip of `count` 16 x 16 images on magenta, image k with a centre square
// of colours[k - 1].
QImage Strip(const std::vector<QColor>& colours)
{
    QImage strip(16 * static_cast<int>(colours.size()), 16, QImage::Format_RGB32);
    strip.fill(QColor(255, 0, 255));
    QPainter painter(&strip);
    for (std::size_t k = 0; k < colours.size(); ++k)
        painter.fillRect(static_cast<int>(k) * 16 + 4, 4, 8, 8, colours[k]);
    return strip;
}

TEST(ButtonPicture, GlyphOfTheStrip)
{
    const std::vector<QColor> colours = {Qt::red, Qt::green, Qt::blue, Qt::cyan, Qt::yellow};
    struct Case {
        int Count;
        TZor_ButtonState State;
        QColor Centre;
    };
    const std::vector<Case> cases = {
        {2, {false, false, true, false}, Qt::red},
        {2, {false, false, false, false}, Qt::green},
        {5, {true, true, true, false}, Qt::blue},
        {5, {false, false, false, false}, Qt::green},
        {1, {false, false, false, false}, QColor(0x80, 0x80, 0x80)},
    };
    for (const Case& c : cases) {
        const std::vector<QColor> used(colours.begin(), colours.begin() + c.Count);
        const QImage image = Paint(75, 25, {}, Strip(used), c.Count, c.State);
        // Glyph rectangle (29, 4, 45, 20): centre square at 33..40, 8..15.
        EXPECT_EQ(image.pixelColor(36, 12), c.Centre) << c.Count;
        // The glyph's background is transparent: the gradient shows.
        EXPECT_EQ(image.pixelColor(30, 5), image.pixelColor(20, 5)) << c.Count;
    }
}

TEST(ButtonPicture, CaptionInTheFontColourOfTheState)
{
    const QImage image = Paint(80, 25, "&OK");
    const QColor font = ColorToQColor(G_Zor_Pattern().Button()->EnabledFont());
    int inFont = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            inFont += image.pixelColor(x, y) == font;
    EXPECT_GT(inFont, 10);
}

// ---- The widget ------------------------------------------------------------------------

TEST(BitBtn, DefaultsAndPublishedProperties)
{
    TZor_BitBtn button;
    EXPECT_STREQ(button.metaObject()->className(), "TZor_BitBtn");
    EXPECT_EQ(button.GlyphCount(), 1);
    EXPECT_FALSE(button.Default());
    EXPECT_FALSE(button.Cancel());
    EXPECT_EQ(button.ModalResult(), 0);
    EXPECT_EQ(button.focusPolicy(), Qt::StrongFocus);
    std::vector<std::string> names;
    for (const QMetaProperty& p : PublishedProperties(&button))
        names.push_back(p.name());
    const std::vector<std::string> own = {"ZorTag", "GlyphCount", "ModalResult", "Default", "Cancel",
                                          "Glyph", "Caption"};
    auto at = std::search(names.begin(), names.end(), own.begin(), own.end());
    EXPECT_NE(at, names.end()) << "in this order";
    button.SetGlyphCount(9);
    EXPECT_EQ(button.GlyphCount(), 5);
    button.SetGlyphCount(0);
    EXPECT_EQ(button.GlyphCount(), 1);
}

// What every control publishes, read and written by name as a form's data and
// the translation engine do, and what each does to the button.
TEST(BitBtn, PublishesWhatEveryControlDoes)
{
    QWidget form;
    auto* first = new TZor_BitBtn(&form);
    auto* button = new TZor_BitBtn(&form);
    auto* last = new TZor_BitBtn(&form);
    QMenu menu;
    QAction action("Senden");
    QFont font("Tahoma");
    font.setPointSize(11);
    // The action first: following it sets caption, hint, help and state.
    const std::vector<std::pair<const char*, QVariant>> writes = {
        {"Action", QVariant::fromValue(&action)},
        {"Anchors", QVariant::fromValue(TAnchors(TAnchorKind::akRight) | TAnchorKind::akBottom)},
        {"Font", font},
        {"Hint", QString("Sendet")},
        {"ShowHint", false},
        {"PopupMenu", QVariant::fromValue(&menu)},
        {"Tag", 17},
        {"Visible", false},
        {"Enabled", false},
        {"TabStop", false},
        {"TabOrder", 0},
        {"Cursor", int(crHandPoint)},
        {"BiDiMode", QVariant::fromValue(TBiDiMode::bdRightToLeft)},
        {"HelpContext", 420},
        {"HelpKeyword", QString("Senden")},
        {"HelpType", QVariant::fromValue(StdCtrls::THelpType::htKeyword)},
    };
    for (const auto& [name, value] : writes) {
        QMetaProperty property;
        ASSERT_TRUE(FindPublishedProperty(button, name, &property)) << name;
        EXPECT_TRUE(property.write(button, value)) << name;
        EXPECT_EQ(property.read(button), value) << name;
    }
    QMetaProperty fontProperty;
    ASSERT_TRUE(FindPublishedProperty(button, "Font", &fontProperty));
    EXPECT_EQ(PropertyKind(fontProperty), TTypeKind::tkClass) << "the translation engine's fonts reach it";
    EXPECT_EQ(button->font().family(), "Tahoma");
    EXPECT_EQ(button->toolTip(), "Sendet");
    EXPECT_TRUE(button->isHidden());
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->focusPolicy(), Qt::ClickFocus) << "a click still focuses it";
    EXPECT_EQ(button->cursor().shape(), Qt::PointingHandCursor);
    EXPECT_EQ(button->layoutDirection(), Qt::RightToLeft);
    EXPECT_EQ(button->Action(), &action);
    // Tab order among the siblings.
    EXPECT_EQ(button->TabOrder(), 0);
    EXPECT_EQ(first->TabOrder(), 1);
    EXPECT_EQ(last->TabOrder(), 2);
    EXPECT_EQ(button->nextInFocusChain(), first);
    last->SetTabOrder(1);
    EXPECT_EQ(last->TabOrder(), 1);
    EXPECT_EQ(first->TabOrder(), 2);
    EXPECT_EQ(button->nextInFocusChain(), last);
    EXPECT_EQ(last->nextInFocusChain(), first);
}

class BitBtnOnDialog : public testing::Test {
protected:
    void SetUp() override
    {
        Dialog = std::make_unique<QDialog>();
        Dialog->resize(200, 100);
        Button = new TZor_BitBtn(Dialog.get());
        Button->setGeometry(10, 10, 75, 25);
        Button->SetCaption("&OK");
        Button->SetModalResult(1);
        Dialog->show();
        QApplication::setActiveWindow(Dialog.get());
    }

    void Mouse(QEvent::Type type, QPoint at)
    {
        QMouseEvent event(type, at, Button->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Button, &event);
    }

    std::unique_ptr<QDialog> Dialog;
    TZor_BitBtn* Button = nullptr;
};

TEST_F(BitBtnOnDialog, MouseClickSetsTheResult)
{
    int clicks = 0;
    Button->OnClick = [&](TObject* sender) {
        EXPECT_EQ(sender, static_cast<TObject*>(Button));
        EXPECT_EQ(Dialog->result(), 1) << "set before OnClick runs";
        ++clicks;
    };
    Mouse(QEvent::MouseButtonPress, {5, 5});
    EXPECT_TRUE(Button->Pressed());
    EXPECT_EQ(QApplication::focusWidget(), Button);
    Mouse(QEvent::MouseButtonRelease, {5, 5});
    EXPECT_FALSE(Button->Pressed());
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(Dialog->result(), 1);
    QCoreApplication::processEvents();
    EXPECT_FALSE(Dialog->isVisible()) << "closed with the result once the click is done";
}

TEST_F(BitBtnOnDialog, ReleasedOutsideIsNoClick)
{
    int clicks = 0;
    Button->OnClick = [&](TObject*) { ++clicks; };
    Mouse(QEvent::MouseButtonPress, {5, 5});
    Mouse(QEvent::MouseButtonRelease, {120, 5});
    EXPECT_EQ(clicks, 0);
    EXPECT_TRUE(Dialog->isVisible());
}

TEST_F(BitBtnOnDialog, AHandlerMayKeepTheDialogOpen)
{
    Button->OnClick = [&](TObject*) { Dialog->setResult(0); };
    Button->Click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Dialog->isVisible());
    Button->SetModalResult(0);
    Button->OnClick = nullptr;
    Button->Click();
    QCoreApplication::processEvents();
    EXPECT_TRUE(Dialog->isVisible()) << "a result of 0 closes nothing";
}

// While the focus is elsewhere; a focused button takes Enter whatever it is.
TEST_F(BitBtnOnDialog, OnlyADefaultButtonTakesDialogKeys)
{
    struct Case {
        bool Default, Cancel;
        int Key;
        bool Taken;
    };
    const std::vector<Case> cases = {
        {true, false, Qt::Key_Return, true},  {true, false, Qt::Key_Escape, false},
        {true, true, Qt::Key_Escape, true},   {true, true, Qt::Key_Return, false},
        {false, true, Qt::Key_Escape, false}, {false, false, Qt::Key_Return, false},
    };
    auto* elsewhere = new QLineEdit(Dialog.get());
    elsewhere->setGeometry(100, 10, 80, 25);
    elsewhere->show();
    for (const bool focused : {false, true}) {
        (focused ? static_cast<QWidget*>(Button) : elsewhere)->setFocus();
        for (const Case& c : cases) {
            Button->SetDefault(c.Default);
            Button->SetCancel(c.Cancel);
            Button->SetModalResult(0);
            const bool taken = c.Taken || (focused && c.Key == Qt::Key_Return);
            EXPECT_EQ(Button->DialogKey(c.Key, Qt::NoModifier), taken) << c.Default << c.Cancel << c.Key << focused;
            EXPECT_FALSE(Button->DialogKey(c.Key, Qt::AltModifier));
        }
    }
}

TEST_F(BitBtnOnDialog, HoverAndFocusChangeTheFrame)
{
    const TZor_Colors& set = *G_Zor_Pattern().Button();
    auto frame = [&] { return Button->grab().toImage().pixelColor(37, 0); };
    EXPECT_EQ(frame(), ColorToQColor(Button->hasFocus() ? set.Information() : set.Enabled()));
    QEnterEvent enter(QPointF(5, 5), QPointF(5, 5), Button->mapToGlobal(QPointF(5, 5)));
    QCoreApplication::sendEvent(Button, &enter);
    EXPECT_TRUE(Button->Hover());
    EXPECT_EQ(frame(), ColorToQColor(set.Active()));
    QEvent leave(QEvent::Leave);
    QCoreApplication::sendEvent(Button, &leave);
    Button->setFocus();
    EXPECT_EQ(frame(), ColorToQColor(set.Information()));
    Button->setEnabled(false);
    EXPECT_EQ(frame(), ColorToQColor(set.Disabled()));
}

TEST_F(BitBtnOnDialog, FollowsAnAction)
{
    QAction action("Senden");
    QPixmap icon(16, 16);
    icon.fill(Qt::red);
    action.setIcon(QIcon(icon));
    int triggered = 0;
    QObject::connect(&action, &QAction::triggered, [&] { ++triggered; });
    Button->SetModalResult(0);
    Button->SetAction(&action);
    EXPECT_EQ(Button->Caption(), "Senden");
    ASSERT_FALSE(Button->Glyph().isNull());
    EXPECT_EQ(Button->Glyph().size(), QSize(16, 16));
    EXPECT_EQ(Button->Glyph().pixelColor(3, 3), QColor(Qt::red));
    Button->Click();
    EXPECT_EQ(triggered, 1);
    action.setEnabled(false);
    EXPECT_FALSE(Button->isEnabled());
}

// An action of the program also gives its help and its tag, then and when
// they change.
TEST_F(BitBtnOnDialog, TakesHelpAndTagFromTheAction)
{
    TAction action("Firmware-Upload");
    action.SetHelpContext(310);
    action.SetHelpKeyword("Firmware");
    action.SetHelpType(StdCtrls::THelpType::htKeyword);
    action.SetTag(4);
    action.setVisible(false);
    Button->SetAction(&action);
    EXPECT_EQ(Button->Caption(), "Firmware-Upload");
    EXPECT_EQ(Button->HelpContext(), 310);
    EXPECT_EQ(Button->HelpKeyword(), "Firmware");
    EXPECT_EQ(Button->HelpType(), StdCtrls::THelpType::htKeyword);
    EXPECT_EQ(Button->Tag(), 4);
    EXPECT_TRUE(Button->isHidden());
    action.SetHelpContext(311);
    action.SetTag(5);
    action.setVisible(true);
    EXPECT_EQ(Button->HelpContext(), 311);
    EXPECT_EQ(Button->Tag(), 5);
    EXPECT_FALSE(Button->isHidden());
}

// A double click is one click, then a double click: the second press of it
// neither presses the button nor clicks it.
TEST_F(BitBtnOnDialog, ADoubleClickIsCountedOnceAsADoubleClick)
{
    Button->SetModalResult(0);
    int clicks = 0;
    int doubleClicks = 0;
    Button->OnClick = [&](TObject*) { ++clicks; };
    Button->OnDblClick = [&](TObject* sender) {
        EXPECT_EQ(sender, static_cast<TObject*>(Button));
        ++doubleClicks;
    };
    const QPoint at(10, 10);
    QTest::mousePress(Button, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseRelease(Button, Qt::LeftButton, Qt::NoModifier, at);
    QTest::mouseDClick(Button, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_FALSE(Button->Pressed());
    QTest::mouseRelease(Button, Qt::LeftButton, Qt::NoModifier, at);
    EXPECT_EQ(clicks, 1);
    EXPECT_EQ(doubleClicks, 1);
    EXPECT_TRUE(Dialog->isVisible());
}

TEST_F(BitBtnOnDialog, ShowHintFalseShowsNoHint)
{
    Button->setToolTip("Hinweis");
    const QPoint at(5, 5);
    QHelpEvent shown(QEvent::ToolTip, at, Button->mapToGlobal(at));
    QCoreApplication::sendEvent(Button, &shown);
    EXPECT_TRUE(shown.isAccepted());
    Button->SetShowHint(false);
    QHelpEvent hidden(QEvent::ToolTip, at, Button->mapToGlobal(at));
    QCoreApplication::sendEvent(Button, &hidden);
    EXPECT_FALSE(hidden.isAccepted());
    QToolTip::hideText();
}

TEST(ZorImage, CarriesATag)
{
    TZor_Image image;
    QMetaProperty property;
    ASSERT_TRUE(FindPublishedProperty(&image, "ZorTag", &property));
    auto* tag = qvariant_cast<TZor_Tag*>(property.read(&image));
    ASSERT_NE(tag, nullptr);
    tag->SetStringTag("about");
    EXPECT_EQ(image.ZorTag()->StringTag(), "about");
    EXPECT_STREQ(image.metaObject()->className(), "TZor_Image");
}

TEST(ZorImageList, ImagesOfOneSize)
{
    TZor_ImageList list;
    EXPECT_STREQ(list.metaObject()->className(), "TZor_ImageList");
    EXPECT_EQ(list.Width(), 16);
    QImage big(32, 32, QImage::Format_RGB32);
    big.fill(Qt::blue);
    EXPECT_EQ(list.Add(big), 0);
    EXPECT_EQ(list.Image(0).size(), QSize(16, 16));
    EXPECT_TRUE(list.Image(1).isNull());
    list.SetWidth(24);
    EXPECT_EQ(list.Count(), 0) << "a new size empties the list";
}

// The data module's two lists give an action its image and, while the action
// is disabled, the image of the disabled list; a button that follows the
// action shows the enabled one.
TEST(ZorImageList, ActionsShowTheImagesOfBothLists)
{
    TZor_ImageList enabled;
    TZor_ImageList disabled;
    for (const auto& [list, colour] : {std::pair{&enabled, QColor(Qt::blue)}, std::pair{&disabled, QColor(Qt::gray)}}) {
        QImage image(16, 16, QImage::Format_RGB32);
        image.fill(colour);
        list->Add(image);
    }
    TAction action("Senden");
    action.SetImage(0, enabled.Image(0), disabled.Image(0));
    EXPECT_EQ(action.icon().pixmap(16, 16).toImage().pixelColor(8, 8), QColor(Qt::blue));
    EXPECT_EQ(action.icon().pixmap(16, 16, QIcon::Disabled).toImage().pixelColor(8, 8), QColor(Qt::gray));
    TZor_BitBtn button;
    button.SetAction(&action);
    EXPECT_EQ(button.Glyph().size(), QSize(16, 16));
    EXPECT_EQ(button.Glyph().pixelColor(8, 8), QColor(Qt::blue)) << "the enabled image";
}

} // namespace

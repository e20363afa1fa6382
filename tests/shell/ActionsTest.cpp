// The data module's actions as the main window shows them: their images in
// the tool bar and the menus, the library's standard actions of the hidden
// menus, closing every child window, and the balloon hint that goes with the
// window.
#include "controls/SyncListbox.h"
#include "controls/Zor_Win32Controls.h"
#include "platform/BalloonHint.h"
#include "platform/Idle.h"
#include "platform/StdActns.h"
#include "shell/Environment.h"
#include "tests/shell/ProgramFixture.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QSettings>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <set>
#include <vector>

namespace {

class ActionsTest : public ProgramFixture {
protected:
    void SetUp() override
    {
        ProgramFixture::SetUp();
        SetComPort(0);
        Catalogue(R"(<DEVICE name="Ruvo"/>)");
        // No device on the command line: the device choice stays offered
        // (cancelled at start, the catalogue's entry is taken).
        Dm = std::make_unique<TDM>(QStringList{"Tessaro"});
        Form = std::make_unique<TfMainForm>();
        Form->show();
        ASSERT_TRUE(QTest::qWaitForWindowActive(Form.get()));
    }
    // The event loop has run empty: what the program does then.
    static void Idle() { emit TIdleSignal::Instance().Idle(); }
    // Whether a picture holds a pixel of a strong colour (a grey one has none).
    static bool Coloured(const QImage& image)
    {
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x) {
                const QColor c = image.pixelColor(x, y);
                if (c.alpha() > 0 && c.saturation() > 100)
                    return true;
            }
        return false;
    }
};

} // namespace

TEST_F(ActionsTest, EveryActionOfTheToolBarAndTheMenusHasItsImage)
{
    const TZor_ImageList& enabled = *Dm->ImageList16x16Enabled;
    const TZor_ImageList& disabled = *Dm->ImageList16x16Disabled;
    ASSERT_GT(enabled.Count(), 0);
    EXPECT_EQ(disabled.Count(), enabled.Count());
    EXPECT_EQ(Dm->ImageList78x78->Width(), 78);
    std::set<QByteArray> seen;
    for (int i = 0; i < enabled.Count(); ++i) {
        SCOPED_TRACE(i);
        const QImage image = enabled.Image(i);
        EXPECT_EQ(image.size(), QSize(16, 16));
        EXPECT_TRUE(Coloured(image) || image.pixelColor(8, 8).alpha() > 0); // not blank
        EXPECT_TRUE(seen.insert(QByteArray(reinterpret_cast<const char*>(image.constBits()),
                                           static_cast<int>(image.sizeInBytes())))
                        .second); // no image twice
        EXPECT_FALSE(Coloured(disabled.Image(i)));
    }
    // The images the actions show, enabled and disabled, are the lists' own.
    QList<QAction*> shown = Form->ToolBar1->actions();
    for (const char* menu : {"mmDatei", "mmOptionen", "mmHilfe", "mmExtendedMode", "mmBearbeiten", "mmFenster"})
        for (QAction* action : Form->findChild<QMenu*>(menu)->actions())
            shown.push_back(action);
    int withImages = 0;
    for (QAction* action : shown) {
        auto* named = qobject_cast<TAction*>(action);
        if (!named || action->isSeparator() || action == Form->mmCloseAll)
            continue;
        SCOPED_TRACE(action->objectName().toStdString());
        ASSERT_GE(named->ImageIndex(), 0);
        EXPECT_EQ(action->icon().pixmap(16, QIcon::Normal).toImage().convertToFormat(QImage::Format_ARGB32),
                  enabled.Image(named->ImageIndex()).convertToFormat(QImage::Format_ARGB32));
        EXPECT_EQ(action->icon().pixmap(16, QIcon::Disabled).toImage().convertToFormat(QImage::Format_ARGB32),
                  disabled.Image(named->ImageIndex()).convertToFormat(QImage::Format_ARGB32));
        ++withImages;
    }
    EXPECT_GE(withImages, 25);

    // What the tool bar shows: the image alone, in colour while the action
    // can run, grey while it cannot.
    auto* button = qobject_cast<QToolButton*>(Form->ToolBar1->widgetForAction(Dm->actSelectDevice));
    ASSERT_NE(button, nullptr);
    ASSERT_TRUE(button->isVisible() && button->isEnabled());
    EXPECT_EQ(button->toolButtonStyle(), Qt::ToolButtonIconOnly);
    EXPECT_TRUE(Coloured(button->grab().toImage()));
    Dm->actSelectDevice->setEnabled(false);
    EXPECT_FALSE(Coloured(button->grab().toImage()));
    EXPECT_EQ(button->toolTip().toStdString(), "Wählen Sie aus, welches Gerät Sie konfigurieren wollen.");
}

TEST_F(ActionsTest, TheEditActionsWorkOnTheFocusedEdit)
{
    Dm->Environment()->StoreServiceCode("48213");
    Form->AppIdle(); // the monitor with its send line
    QTest::mouseClick(Form->edtSend, Qt::LeftButton);
    Idle();
    for (TEditAction* action : {Dm->EditCut1, Dm->EditCopy1, Dm->EditSelectAll1, Dm->EditUndo1})
        EXPECT_FALSE(action->isEnabled()) << action->objectName().toStdString();
    QTest::keyClicks(Form->edtSend, "ver 1");
    Idle();
    EXPECT_TRUE(Dm->EditSelectAll1->isEnabled());
    EXPECT_FALSE(Dm->EditCopy1->isEnabled()); // nothing selected
    Dm->EditSelectAll1->trigger();
    Idle();
    ASSERT_TRUE(Dm->EditCopy1->isEnabled());
    Dm->EditCut1->trigger();
    EXPECT_EQ(Form->edtSend->text().toStdString(), "");
    EXPECT_EQ(QGuiApplication::clipboard()->text().toStdString(), "ver 1");
    Idle();
    ASSERT_TRUE(Dm->EditPaste1->isEnabled());
    Dm->EditPaste1->trigger();
    Dm->EditPaste1->trigger();
    EXPECT_EQ(Form->edtSend->text().toStdString(), "ver 1ver 1");
    Idle();
    ASSERT_TRUE(Dm->EditUndo1->isEnabled());
    Dm->EditUndo1->trigger();
    EXPECT_EQ(Form->edtSend->text().toStdString(), "ver 1");
    // Away from any edit, nothing to do.
    Form->lbxIn->setFocus();
    Idle();
    EXPECT_FALSE(Dm->EditPaste1->isEnabled());
}

TEST_F(ActionsTest, TheWindowActionsArrangeTheChildWindows)
{
    EXPECT_FALSE(Dm->acFilePrintSetup->isVisible());
    EXPECT_FALSE(Form->findChild<QMenu*>("mmFenster")->menuAction()->isVisible());
    Idle();
    EXPECT_FALSE(Dm->WindowCascade1->isEnabled()); // no child windows
    QMdiArea* area = Form->MDIClient;
    QList<QMdiSubWindow*> children;
    for (const char* title : {"Eins", "Zwei"}) {
        auto* content = new QLabel(title);
        QMdiSubWindow* child = area->addSubWindow(content);
        child->setWindowTitle(title);
        child->show();
        children << child;
    }
    area->setActiveSubWindow(children[1]);
    Idle();
    EXPECT_TRUE(Dm->WindowCascade1->isEnabled());
    EXPECT_TRUE(Dm->WindowClose1->isEnabled());
    const QRect whole = area->viewport()->rect();

    Dm->WindowTileVertical1->trigger(); // side by side
    EXPECT_EQ(children[0]->geometry(), QRect(0, 0, whole.width() / 2, whole.height()));
    EXPECT_EQ(children[1]->x(), whole.width() / 2);
    Dm->WindowTileHorizontal1->trigger(); // one above the other
    EXPECT_EQ(children[0]->geometry(), QRect(0, 0, whole.width(), whole.height() / 2));
    EXPECT_EQ(children[1]->y(), whole.height() / 2);
    Dm->WindowCascade1->trigger();
    EXPECT_LT(children[0]->x(), children[1]->x());
    Dm->WindowMinimizeAll1->trigger();
    EXPECT_TRUE(children[0]->isMinimized() && children[1]->isMinimized());
    Dm->WindowArrange1->trigger(); // in a row along the bottom
    EXPECT_EQ(children[0]->geometry().bottom(), whole.bottom());
    EXPECT_EQ(children[1]->x(), children[0]->geometry().right() + 1);
    area->setActiveSubWindow(children[0]);
    Dm->WindowClose1->trigger();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(area->subWindowList().size(), 1);
}

namespace {

// A child window that refuses to close the first `refusals` times it is asked.
class TRefusingChild : public QLabel {
public:
    TRefusingChild(int refusals, int& asked) : QLabel("Kind"), FRefusals(refusals), FAsked(asked) {}

protected:
    void closeEvent(QCloseEvent* event) override
    {
        if (++FAsked <= FRefusals)
            event->ignore();
        else
            event->accept();
    }

private:
    int FRefusals;
    int& FAsked;
};

} // namespace

// "Alle Schließen" of the window menu, offered while there are child windows:
// each child is asked to close, the first again while it refuses (at most a
// hundred times), and the next one after it has gone.
TEST_F(ActionsTest, CloseAllClosesTheChildWindowsOneAfterTheOther)
{
    Idle();
    EXPECT_FALSE(Form->mmCloseAll->isEnabled());
    const struct {
        const char* What;
        std::vector<int> Refusals; // of each child, in child order
        std::vector<int> Asked;    // how often each was asked
        int Left;                  // children still open afterwards
    } cases[] = {
        {"three that close", {0, 0, 0}, {1, 1, 1}, 0},
        {"one that refuses once", {1, 0}, {2, 1}, 0},
        {"one that never closes, before another", {1000, 0}, {100, 0}, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.What);
        std::vector<int> asked(c.Refusals.size(), 0);
        for (std::size_t i = 0; i < c.Refusals.size(); ++i)
            Form->MDIClient->addSubWindow(new TRefusingChild(c.Refusals[i], asked[i]))->show();
        Idle();
        ASSERT_TRUE(Form->mmCloseAll->isEnabled());
        Form->mmCloseAll->trigger();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        EXPECT_EQ(asked, c.Asked);
        EXPECT_EQ(Form->MDIChildren().size(), c.Left);
        for (QMdiSubWindow* child : Form->MDIClient->subWindowList())
            delete child;
    }
    Idle();
    EXPECT_FALSE(Form->mmCloseAll->isEnabled());
}

TEST_F(ActionsTest, TheBalloonHintGoesWithTheMainWindow)
{
    TBalloonHint& balloon = *Dm->BalloonHint;
    EXPECT_TRUE(balloon.ShowCloseButton());
    balloon.ActivateHint(Form->lblDeviceName, "Hinweis", "Das Gerät antwortet nicht.");
    ASSERT_TRUE(balloon.Active());
    EXPECT_EQ(balloon.Window()->findChild<QLabel*>("BalloonHintHeader")->text().toStdString(), "Hinweis");
    // Its close button closes it.
    QTest::mouseClick(balloon.Window()->findChild<QToolButton*>("BalloonHintClose"), Qt::LeftButton);
    EXPECT_FALSE(balloon.Active());
    balloon.ActivateHint(Form->lblDeviceName, "Hinweis", "Noch einmal.");
    ASSERT_TRUE(balloon.Active());
    Form.reset(); // the main window goes: the hint with it
    EXPECT_FALSE(balloon.Active());
    EXPECT_EQ(balloon.Window(), nullptr);
}

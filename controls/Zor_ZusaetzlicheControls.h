#pragma once
// The library's additional controls: the owner-drawn push button TZor_BitBtn
// and the image TZor_Image.
//
// The button paints itself completely (ZorPaintButton in Zor_ButtonLayout.h):
// a rounded frame whose colour tells hover, press, focus and enabled state, a
// vertical gradient, a glyph from a strip of up to five images and a
// word-wrapped caption, with the Button set and TransparentColor of
// G_Zor_Pattern() read at every paint. Like a dialog button it has a
// ModalResult, Default and Cancel, and it can follow an action.
//
// GUI thread only.
#include "controls/Zor_StandardControls.h"
#include "platform/Cursor.h"

#include <QAction>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

namespace Zor_ZusaetzlicheControls {
Q_NAMESPACE
// The edges of its parent a control keeps its distance to.
enum class TAnchorKind : quint8 { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };
Q_DECLARE_FLAGS(TAnchors, TAnchorKind)
Q_FLAG_NS(TAnchors)
// Reading order and alignment of the caption.
enum class TBiDiMode : quint8 {
    bdLeftToRight = 0,
    bdRightToLeft = 1,
    bdRightToLeftNoAlign = 2,
    bdRightToLeftReadingOnly = 3,
};
Q_ENUM_NS(TBiDiMode)
} // namespace Zor_ZusaetzlicheControls

Q_DECLARE_OPERATORS_FOR_FLAGS(Zor_ZusaetzlicheControls::TAnchors)

using Zor_ZusaetzlicheControls::TAnchorKind;
using Zor_ZusaetzlicheControls::TAnchors;
using Zor_ZusaetzlicheControls::TBiDiMode;

class TZor_BitBtn : public QWidget, public TObject, public TDialogKeyReceiver {
    Q_OBJECT
    // What every control publishes. Placement is the layouts' here: Anchors
    // is kept for the form's data and moves nothing.
    Q_PROPERTY(Zor_ZusaetzlicheControls::TAnchors Anchors READ Anchors WRITE SetAnchors)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
    Q_PROPERTY(bool ShowHint READ ShowHint WRITE SetShowHint)
    Q_PROPERTY(QMenu* PopupMenu READ PopupMenu WRITE SetPopupMenu)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
    Q_PROPERTY(bool Visible READ Visible WRITE setVisible)
    Q_PROPERTY(bool Enabled READ isEnabled WRITE setEnabled)
    Q_PROPERTY(bool TabStop READ TabStop WRITE SetTabStop)
    Q_PROPERTY(int TabOrder READ TabOrder WRITE SetTabOrder)
    Q_PROPERTY(int Cursor READ Cursor WRITE SetCursor)
    Q_PROPERTY(Zor_ZusaetzlicheControls::TBiDiMode BiDiMode READ BiDiMode WRITE SetBiDiMode)
    Q_PROPERTY(int HelpContext READ HelpContext WRITE SetHelpContext)
    Q_PROPERTY(QString HelpKeyword READ HelpKeyword WRITE SetHelpKeyword)
    Q_PROPERTY(StdCtrls::THelpType HelpType READ HelpType WRITE SetHelpType)
    Q_PROPERTY(QAction* Action READ Action WRITE SetAction)
    // The button's own.
    Q_PROPERTY(TZor_Tag* ZorTag READ ZorTag CONSTANT)
    Q_PROPERTY(int GlyphCount READ GlyphCount WRITE SetGlyphCount)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_PROPERTY(QImage Glyph READ Glyph WRITE SetGlyph)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)

public:
    explicit TZor_BitBtn(QWidget* parent = nullptr);
    ~TZor_BitBtn() override;

    TAnchors Anchors() const { return FAnchors; }
    void SetAnchors(TAnchors value) { FAnchors = value; }
    // False: the hint is not shown.
    bool ShowHint() const { return FShowHint; }
    void SetShowHint(bool value) { FShowHint = value; }
    // Opens on a right click.
    QMenu* PopupMenu() const { return FPopupMenu; }
    void SetPopupMenu(QMenu* value) { FPopupMenu = value; }
    int Tag() const { return FTagValue; }
    void SetTag(int value) { FTagValue = value; }
    // The button's own visibility, whether its form is shown or not.
    bool Visible() const { return !isHidden(); }
    // Tab reaches the button (a click still focuses it).
    bool TabStop() const { return focusPolicy() == Qt::StrongFocus || focusPolicy() == Qt::WheelFocus; }
    void SetTabStop(bool value) { setFocusPolicy(value ? Qt::StrongFocus : Qt::ClickFocus); }
    // The place among its siblings that Tab goes through, from 0.
    int TabOrder() const;
    void SetTabOrder(int value);
    TCursor Cursor() const { return FCursor; }
    void SetCursor(TCursor value);
    TBiDiMode BiDiMode() const { return FBiDiMode; }
    void SetBiDiMode(TBiDiMode value);
    int HelpContext() const { return FHelpContext; }
    void SetHelpContext(int value) { FHelpContext = value; }
    QString HelpKeyword() const { return FHelpKeyword; }
    void SetHelpKeyword(const QString& value) { FHelpKeyword = value; }
    StdCtrls::THelpType HelpType() const { return FHelpType; }
    void SetHelpType(StdCtrls::THelpType value) { FHelpType = value; }

    TZor_Tag* ZorTag() const { return FTag; }
    // 1 to 5 images side by side in the glyph.
    int GlyphCount() const { return FGlyphCount; }
    void SetGlyphCount(int value);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value);
    QImage Glyph() const { return FGlyph; }
    void SetGlyph(const QImage& value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);

    // Follows the action: caption, image, help, tag, enabled and visible
    // state; a click without OnClick triggers it.
    QAction* Action() const { return FAction; }
    void SetAction(QAction* action);

    // Sets the form's ModalResult to the button's (0 included), then OnClick
    // or the action. A dialog with a result other than 0 then closes with it.
    void Click();

    bool Hover() const { return FHover; }
    bool Pressed() const { return FPressed; }

    TNotifyEvent OnClick;
    // The second press of a double click raises this in place of a click.
    TNotifyEvent OnDblClick;

    // The form's keys, with no Shift, Ctrl or Alt held: Enter while the
    // button has the focus; else Enter for a default button that is not
    // Cancel (unless another push button has the focus), Escape for one that
    // is.
    bool DialogKey(int key, Qt::KeyboardModifiers modifiers) override;
    bool PushButton() const override { return true; }
    // Enter by the rule of every push button (ButtonTakesEnter), with a
    // default button that is no cancel button as the default one.
    bool TakesEnter() const override;
    // Drawn as the form's default button: the one that Enter clicks now (the
    // focused button, else the first default one that is no cancel button).
    bool DrawnAsDefault() const;
    // The caption's accelerator, or Space and Enter while focused: OnClick
    // alone (the form's ModalResult stays).
    bool DialogChar(QChar character, Qt::KeyboardModifiers modifiers) override;

    QSize sizeHint() const override { return {75, 25}; }

protected:
    bool event(QEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void ActionChanged();
    // Default and cancel buttons decide which one of the form looks default.
    void RepaintFormButtons();

    TAnchors FAnchors = TAnchors(TAnchorKind::akLeft) | TAnchorKind::akTop;
    bool FShowHint = true;
    QPointer<QMenu> FPopupMenu;
    int FTagValue = 0;
    TCursor FCursor = crDefault;
    TBiDiMode FBiDiMode = TBiDiMode::bdLeftToRight;
    int FHelpContext = 0;
    QString FHelpKeyword;
    StdCtrls::THelpType FHelpType = StdCtrls::THelpType::htContext;
    TZor_Tag* FTag;
    int FGlyphCount = 1;
    int FModalResult = 0;
    bool FDefault = false;
    bool FCancel = false;
    QImage FGlyph;
    QString FCaption;
    bool FHover = false;
    bool FPressed = false;
    QPointer<QAction> FAction;
};

// The platform's image with the library's tag.
class TZor_Image : public QLabel {
    Q_OBJECT
    Q_PROPERTY(TZor_Tag* ZorTag READ ZorTag CONSTANT)
    Q_PROPERTY(QPixmap Picture READ Picture WRITE SetPicture)
    Q_PROPERTY(bool Stretch READ hasScaledContents WRITE setScaledContents)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)

public:
    explicit TZor_Image(QWidget* parent = nullptr);
    TZor_Tag* ZorTag() const { return FTag; }
    QPixmap Picture() const { return pixmap(); }
    void SetPicture(const QPixmap& value) { setPixmap(value); }

private:
    TZor_Tag* FTag;
};

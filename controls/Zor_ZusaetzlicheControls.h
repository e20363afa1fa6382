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

#include <QImage>
#include <QLabel>
#include <QPixmap>
#include <QPointer>
#include <QWidget>

class QAction;

class TZor_BitBtn : public QWidget, public TObject, public TZor_DialogKeyReceiver {
    Q_OBJECT
    Q_PROPERTY(TZor_Tag* ZorTag READ ZorTag CONSTANT)
    Q_PROPERTY(int GlyphCount READ GlyphCount WRITE SetGlyphCount)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_PROPERTY(QImage Glyph READ Glyph WRITE SetGlyph)
    Q_PROPERTY(QString Caption READ Caption WRITE SetCaption)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)

public:
    explicit TZor_BitBtn(QWidget* parent = nullptr);
    ~TZor_BitBtn() override;

    TZor_Tag* ZorTag() const { return FTag; }
    // 1 to 5 images side by side in the glyph.
    int GlyphCount() const { return FGlyphCount; }
    void SetGlyphCount(int value);
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    QImage Glyph() const { return FGlyph; }
    void SetGlyph(const QImage& value);
    QString Caption() const { return FCaption; }
    void SetCaption(const QString& value);

    // Follows the action: caption, image, enabled and visible state; a click
    // without OnClick triggers it.
    QAction* Action() const { return FAction; }
    void SetAction(QAction* action);

    // Sets the form's ModalResult to the button's (0 included), then OnClick
    // or the action. A dialog with a result other than 0 then closes with it.
    void Click();

    bool Hover() const { return FHover; }
    bool Pressed() const { return FPressed; }

    TNotifyEvent OnClick;

    // The form's keys: Enter for a default button that is not Cancel, Escape
    // for one that is, with no Shift, Ctrl or Alt held.
    bool DialogKey(int key, Qt::KeyboardModifiers modifiers) override;
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

private:
    bool CanFocus() const;
    void ActionChanged();

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

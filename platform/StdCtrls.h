#pragma once
// The plain controls of the forms with the properties they publish: what a
// form's translation table names (Caption, Hint, Font, ParentFont) is read
// and written through these, by name.
#include "platform/Forms.h"

#include <QAction>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QString>

namespace StdCtrls {
Q_NAMESPACE
// How a control's help is looked for: by its keyword or by its context id.
enum class THelpType : quint8 { htKeyword = 0, htContext = 1 };
Q_ENUM_NS(THelpType)

// The state of an item that an owner-drawn control draws.
enum class TOwnerDrawStateFlag : quint16 {
    odSelected = 0x1,
    odGrayed = 0x2,
    odDisabled = 0x4,
    odChecked = 0x8,
    odFocused = 0x10,
    odDefault = 0x20,
    odHotLight = 0x40,
    odInactive = 0x80,
    odNoAccel = 0x100,
    odNoFocusRect = 0x200,
    odComboBoxEdit = 0x1000, // the item shown in a combo box itself, not in its list
};
Q_DECLARE_FLAGS(TOwnerDrawState, TOwnerDrawStateFlag)
Q_FLAG_NS(TOwnerDrawState)
} // namespace StdCtrls

Q_DECLARE_OPERATORS_FOR_FLAGS(StdCtrls::TOwnerDrawState)

// Whether a control takes its parent's font (setting true takes it back).
bool ParentFontOf(const QWidget& widget);
void SetParentFontOf(QWidget& widget, bool value);

// An action: its caption shows in menus and tool bars, its hint as tool tip
// and status tip, its image (by index into the image lists of its action
// list) beside both. Controls that follow it take its help and tag as well.
class TAction : public QAction {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(int ImageIndex READ ImageIndex)
    Q_PROPERTY(int HelpContext READ HelpContext WRITE SetHelpContext)
    Q_PROPERTY(QString HelpKeyword READ HelpKeyword WRITE SetHelpKeyword)
    Q_PROPERTY(StdCtrls::THelpType HelpType READ HelpType WRITE SetHelpType)
    Q_PROPERTY(int Tag READ Tag WRITE SetTag)
public:
    explicit TAction(const QString& caption, QObject* parent = nullptr) : QAction(caption, parent) {}
    QString Hint() const { return FHint; }
    void SetHint(const QString& value);
    int ImageIndex() const { return FImageIndex; }
    // The image at `index` of the two lists: shown while the action is
    // enabled, and while it is disabled (-1: none).
    void SetImage(int index, const QImage& enabled, const QImage& disabled);

    int HelpContext() const { return FHelpContext; }
    void SetHelpContext(int value);
    QString HelpKeyword() const { return FHelpKeyword; }
    void SetHelpKeyword(const QString& value);
    StdCtrls::THelpType HelpType() const { return FHelpType; }
    void SetHelpType(StdCtrls::THelpType value);
    int Tag() const { return FTag; }
    void SetTag(int value);

private:
    QString FHint;
    int FImageIndex = -1;
    int FHelpContext = 0;
    QString FHelpKeyword;
    StdCtrls::THelpType FHelpType = StdCtrls::THelpType::htContext;
    int FTag = 0;
};

// Labels and buttons publish their font and whether they take their
// parent's (ParentFont; setting it takes the parent's font back).
class TLabel : public QLabel {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
public:
    explicit TLabel(const QString& caption, QWidget* parent = nullptr) : QLabel(caption, parent) {}
    explicit TLabel(QWidget* parent = nullptr) : QLabel(parent) {}
    bool ParentFont() const { return ParentFontOf(*this); }
    void SetParentFont(bool value) { SetParentFontOf(*this, value); }
};

// A push button of a form. Enter clicks it while it has the focus, and a
// Default button while no other push button has it; Escape clicks a Cancel
// button. A click first sets the form's ModalResult to the button's (0
// included), so a button with a ModalResult closes its dialog.
class TButton : public QPushButton, public TDialogKeyReceiver {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
    Q_PROPERTY(bool Default READ Default WRITE SetDefault)
    Q_PROPERTY(bool Cancel READ Cancel WRITE SetCancel)
    Q_PROPERTY(int ModalResult READ ModalResult WRITE SetModalResult)
public:
    explicit TButton(const QString& caption, QWidget* parent = nullptr);
    bool ParentFont() const { return ParentFontOf(*this); }
    void SetParentFont(bool value) { SetParentFontOf(*this, value); }
    bool Default() const { return FDefault; }
    void SetDefault(bool value);
    bool Cancel() const { return FCancel; }
    void SetCancel(bool value) { FCancel = value; }
    int ModalResult() const { return FModalResult; }
    void SetModalResult(int value) { FModalResult = value; }

    bool DialogKey(int key, Qt::KeyboardModifiers modifiers) override;
    // Enter is this button's by the rule of every push button
    // (ButtonTakesEnter): it has the form's focus, or it is the Default and
    // no other push button of the form has it; and it can take the focus.
    bool TakesEnter() const override;

private:
    bool FDefault = false;
    bool FCancel = false;
    int FModalResult = mrNone;
};

// A menu of the menu bar, or a submenu: its caption is the title.
class TMenuItem : public QMenu {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ title WRITE setTitle)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
public:
    explicit TMenuItem(const QString& caption, QWidget* parent = nullptr) : QMenu(caption, parent) {}
};

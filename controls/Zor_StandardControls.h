#pragma once
// The library's standard controls: the edit TZor_Edit (input modes, history,
// paste, look), the combo box TZor_ComboBox, the tag object TZor_Tag and the
// direct-help hook TZor_AutoScreen. Both controls take part in their form's
// dialog keys (platform/Forms.h): the edit offers every typed character to
// the form first, the combo box puts its entry value back on Escape.
//
// The widgets are thin: what the edit does with its text is TZor_EditCore
// (Zor_EditCore.h), what the combo box does with Escape, Enter and Backspace
// is TZor_ComboEntry below. Both paint with the Edit set of G_Zor_Pattern(),
// read at every paint, for their Pattern state.
//
// GUI thread only.
#include "controls/Zor_EditCore.h"
#include "controls/Zor_Pattern.h"
#include "platform/Component.h"
#include "platform/Forms.h"
#include "platform/Object.h"
#include "platform/StdCtrls.h"

#include <QAbstractItemDelegate>
#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

namespace Zor_StandardControls {
Q_NAMESPACE

enum class TAlignment : quint8 { taLeftJustify = 0, taRightJustify = 1, taCenter = 2 };
Q_ENUM_NS(TAlignment)

enum class TComboBoxStyle : quint8 {
    csDropDown = 0,
    csSimple = 1,
    csDropDownList = 2,
    csOwnerDrawFixed = 3,
    csOwnerDrawVariable = 4,
};
Q_ENUM_NS(TComboBoxStyle)

// The edges of a control that its bevel is drawn on.
enum class TBevelEdge : quint8 { beLeft = 1, beTop = 2, beRight = 4, beBottom = 8 };
Q_DECLARE_FLAGS(TBevelEdges, TBevelEdge)
Q_FLAG_NS(TBevelEdges)

} // namespace Zor_StandardControls

Q_DECLARE_OPERATORS_FOR_FLAGS(Zor_StandardControls::TBevelEdges)

using Zor_StandardControls::TAlignment;
using Zor_StandardControls::TBevelEdge;
using Zor_StandardControls::TBevelEdges;
using Zor_StandardControls::TComboBoxStyle;
inline constexpr TBevelEdges AllBevelEdges{0x0F};

// A free-use tag for the application, owned by the control that carries it.
class TZor_Tag : public QObject {
    Q_OBJECT
    Q_PROPERTY(int IntegerTag READ IntegerTag WRITE SetIntegerTag)
    Q_PROPERTY(QString StringTag READ StringTag WRITE SetStringTag)
public:
    explicit TZor_Tag(QObject* parent = nullptr) : QObject(parent) {}
    int IntegerTag() const { return FIntegerTag; }
    void SetIntegerTag(int value) { FIntegerTag = value; }
    QString StringTag() const { return FStringTag; }
    void SetStringTag(const QString& value) { FStringTag = value; }

private:
    int FIntegerTag = 0;
    QString FStringTag;
};

// ---- Entering and leaving -----------------------------------------------------
//
// A control is entered when the focus comes to it and left when the focus goes
// to another control. A popup menu or another window that takes the focus for
// a while is neither: the control is not left, and getting the focus back is
// no entering. The first focus that a window gives when it is shown is one.
class TZor_FocusTracker {
public:
    // The focus came: true when the control is entered.
    bool In(Qt::FocusReason reason);
    // The focus went: true when the control is left.
    bool Out(Qt::FocusReason reason);

private:
    static bool PassingReason(Qt::FocusReason reason);
    bool FAway = false;
};

// ---- Colour state while disabled ------------------------------------------
//
// Disabling shows psDisabled and keeps the state it had (psEnabled in place of
// psDisabled); enabling brings that state back.
class TZor_DisabledPattern {
public:
    TZor_PatternStyle Disable(TZor_PatternStyle current)
    {
        FSaved = current == TZor_PatternStyle::psDisabled ? TZor_PatternStyle::psEnabled : current;
        return TZor_PatternStyle::psDisabled;
    }
    TZor_PatternStyle Enable() const { return FSaved; }

private:
    TZor_PatternStyle FSaved = TZor_PatternStyle::psEnabled;
};

// Paints the bevel of a state's look into `rect` on the given edges (nothing
// for bkNone).
void ZorPaintBevel(QPainter& painter, const QRect& rect, const TZor_Colors_Bevel::TBevelValues& bevel,
                   TBevelEdges edges = AllBevelEdges);
// Sets background and font colour of the Edit set for `state` on the widget's
// palette (all groups); a palette that already holds them stays untouched, so
// no further paint follows. Returns whether it changed.
bool ZorApplyEditColors(QWidget* widget, TZor_PatternStyle state);

// ---- The edit --------------------------------------------------------------

class TZor_Edit : public QLineEdit, public TObject {
    Q_OBJECT
    Q_PROPERTY(Zor_EditModes::TInputMode InputMode READ InputMode WRITE SetInputMode)
    Q_PROPERTY(double MinValue READ MinValue WRITE SetMinValue)
    Q_PROPERTY(double MaxValue READ MaxValue WRITE SetMaxValue)
    Q_PROPERTY(int DecimalPlaces READ DecimalPlaces WRITE SetDecimalPlaces)
    Q_PROPERTY(double Value READ ValueAsDouble WRITE SetValueAsDouble)
    Q_PROPERTY(Zor_Pattern::TZor_PatternStyle Pattern READ Pattern WRITE SetPattern)
    Q_PROPERTY(Zor_StandardControls::TAlignment Alignment READ Alignment WRITE SetAlignment)
    Q_PROPERTY(QChar PasswordChar READ PasswordChar WRITE SetPasswordChar)
    Q_PROPERTY(QStringList DirectHelp READ DirectHelp WRITE SetDirectHelp)
    Q_PROPERTY(TZor_Tag* Zor_Tag READ Zor_Tag CONSTANT)
    Q_PROPERTY(QString Text READ QText WRITE SetQText)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)

public:
    explicit TZor_Edit(QWidget* parent = nullptr);
    ~TZor_Edit() override;

    TInputMode InputMode() const { return FCore.InputMode(); }
    void SetInputMode(TInputMode value);
    double MinValue() const { return FCore.MinValue(); }
    void SetMinValue(double value) { FCore.SetMinValue(value); }
    double MaxValue() const { return FCore.MaxValue(); }
    void SetMaxValue(double value) { FCore.SetMaxValue(value); }
    int DecimalPlaces() const { return FCore.DecimalPlaces(); }
    void SetDecimalPlaces(int value);
    long double Value();
    void SetValue(long double value);
    double ValueAsDouble() { return static_cast<double>(Value()); }
    void SetValueAsDouble(double value) { SetValue(value); }

    TZor_PatternStyle Pattern() const { return FPattern; }
    void SetPattern(TZor_PatternStyle value);
    TAlignment Alignment() const { return FAlignment; }
    void SetAlignment(TAlignment value);
    QChar PasswordChar() const { return FPasswordChar; }
    void SetPasswordChar(QChar value);
    QStringList DirectHelp() const { return FDirectHelp; }
    void SetDirectHelp(const QStringList& value) { FDirectHelp = value; }
    TZor_Tag* Zor_Tag() const { return FTag; }

    std::string Text() const { return FCore.Text(); }
    void SetText(const std::string& value);
    QString QText() const { return QString::fromStdString(FCore.Text()); }
    void SetQText(const QString& value) { SetText(value.toStdString()); }
    // 0: no limit.
    int MaxLength() const { return FCore.MaxLength(); }
    void SetMaxLength(int value);

    // The undo command (also Escape and Ctrl+Z).
    void Undo();
    bool CanUndo() const { return FCore.CanUndo(); }
    // Pastes the clipboard's text through the input mode (also Ctrl+V).
    void Paste();

    TNotifyEvent OnChange;
    TNotifyEvent OnEnter;
    TNotifyEvent OnExit;
    // Called in place of beeping and emptying when the focus leaves with an
    // invalid text.
    TNotifyEvent OnExitValidateError;
    // Sees each typed character after the key filter; may change or drop (0) it.
    std::function<void(TObject* Sender, char32_t& Key)> OnKeyPress;

    // What the edit does with its text.
    TZor_EditCore& Core() { return FCore; }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void TextChangedInWindow(const QString& text);
    void SyncFromCore();
    TZor_Selection WindowSelection() const;
    void ApplyLook();
    void ShowPasswordChar();

    TZor_EditCore FCore;
    TZor_PatternStyle FPattern = TZor_PatternStyle::psEnabled;
    TZor_DisabledPattern FDisabled;
    TZor_FocusTracker FFocus;
    TAlignment FAlignment = TAlignment::taLeftJustify;
    QChar FPasswordChar;
    QStringList FDirectHelp;
    TZor_Tag* FTag;
    bool FSyncing = false;
};

// ---- The combo box ---------------------------------------------------------

// The value a combo box had when it got the focus, and what Escape, Enter and
// Backspace do with it.
class TZor_ComboEntry {
public:
    static bool OwnerDrawn(TComboBoxStyle style)
    {
        return style == TComboBoxStyle::csOwnerDrawFixed || style == TComboBoxStyle::csOwnerDrawVariable;
    }
    static bool Editable(TComboBoxStyle style)
    {
        return style == TComboBoxStyle::csDropDown || style == TComboBoxStyle::csSimple;
    }

    // Takes the entry value: the text of an editable box, the item index (as
    // a decimal number) of a list; an owner-drawn style keeps the old one.
    void Enter(TComboBoxStyle style, const std::string& text, int itemIndex);
    const std::string& EntryValue() const { return FEntryValue; }

    // What Escape puts back.
    struct TRestore {
        bool Changed = false;     // something is put back (OnChange follows)
        std::string Text;         // editable styles
        int ItemIndex = -1;       // list style
    };
    TRestore Restore(TComboBoxStyle style, const std::string& text, int itemIndex) const;

    // The first item that begins with `text` (case ignored), or -1; an empty
    // text matches none.
    static int MatchItem(const std::vector<std::string>& items, const std::string& text);

private:
    std::string FEntryValue;
};

// What an owner-drawn combo box shows of one item.
using TDrawItemEvent =
    std::function<void(TObject* Control, int Index, const QRect& Rect, StdCtrls::TOwnerDrawState State)>;

class TZor_ComboBox : public QComboBox, public TObject, public TDialogKeyReceiver {
    Q_OBJECT
    Q_PROPERTY(Zor_Pattern::TZor_PatternStyle Pattern READ Pattern WRITE SetPattern)
    Q_PROPERTY(bool AutoComplete READ AutoComplete WRITE SetAutoComplete)
    Q_PROPERTY(bool AutoDropDown READ AutoDropDown WRITE SetAutoDropDown)
    Q_PROPERTY(Zor_StandardControls::TBevelEdges BevelEdges READ BevelEdges WRITE SetBevelEdges)
    Q_PROPERTY(Zor_StandardControls::TComboBoxStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(QStringList Items READ Items WRITE SetItems)
    Q_PROPERTY(int ItemIndex READ ItemIndex WRITE SetItemIndex)
    Q_PROPERTY(QString Text READ QText WRITE SetQText)
    Q_PROPERTY(int DropDownCount READ maxVisibleItems WRITE setMaxVisibleItems)
    Q_PROPERTY(int MaxLength READ MaxLength WRITE SetMaxLength)
    Q_PROPERTY(bool Sorted READ Sorted WRITE SetSorted)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)

public:
    explicit TZor_ComboBox(QWidget* parent = nullptr);

    TZor_PatternStyle Pattern() const { return FPattern; }
    void SetPattern(TZor_PatternStyle value);
    bool AutoComplete() const { return FAutoComplete; }
    void SetAutoComplete(bool value);
    // The list opens with the first character typed.
    bool AutoDropDown() const { return FAutoDropDown; }
    void SetAutoDropDown(bool value) { FAutoDropDown = value; }
    TBevelEdges BevelEdges() const { return FBevelEdges; }
    void SetBevelEdges(TBevelEdges value);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    QStringList Items() const;
    void SetItems(const QStringList& value);
    int ItemIndex() const { return currentIndex(); }
    void SetItemIndex(int value) { setCurrentIndex(value); }
    std::string Text() const { return currentText().toStdString(); }
    void SetText(const std::string& value);
    QString QText() const { return currentText(); }
    void SetQText(const QString& value) { SetText(value.toStdString()); }
    int MaxLength() const { return FMaxLength; }
    void SetMaxLength(int value);
    bool Sorted() const { return FSorted; }
    void SetSorted(bool value);

    const TZor_ComboEntry& Entry() const { return FEntry; }

    // Escape while the box has the focus puts the entry value back; the key
    // stays the form's (a cancel button still sees it).
    bool DialogKey(int key, Qt::KeyboardModifiers modifiers) override;

    // Draws an item of an owner-drawn style, in the list and (with
    // odComboBoxEdit) in the box itself: fills Rect and draws on Canvas(),
    // whose brush and pen hold the item's background and text colour (the
    // highlight colours for a selected item). Without it the item's text is
    // drawn.
    TDrawItemEvent OnDrawItem;
    // Where OnDrawItem draws; none outside of it.
    QPainter* Canvas() const { return FCanvas; }

    void hidePopup() override;

    // The user changed the text or chose an item (and Escape put one back).
    TNotifyEvent OnChange;
    TNotifyEvent OnEnter;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    friend class TZor_OwnerDrawDelegate;

    void DoEnter();
    void DoRestore();
    void Changed();
    // Selects the first item that begins with the text; true when one does.
    bool Backspace();
    // Keys typed while the list that AutoDropDown opened is up go on into
    // the text; true when the key was taken.
    bool TypeThrough(QKeyEvent* event);
    void DrawItem(QPainter& painter, int index, const QRect& rect, StdCtrls::TOwnerDrawState state);

    TZor_ComboEntry FEntry;
    TZor_FocusTracker FFocus;
    TZor_PatternStyle FPattern = TZor_PatternStyle::psEnabled;
    TZor_DisabledPattern FDisabled;
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
    bool FAutoComplete = true;
    bool FAutoDropDown = false;
    bool FTypingThrough = false;
    TBevelEdges FBevelEdges = AllBevelEdges;
    int FMaxLength = 0;
    bool FSorted = false;
    QPointer<QAbstractItemDelegate> FListDelegate; // the list's own, while owner-drawn
    QPainter* FCanvas = nullptr;
};

// ---- Direct help -------------------------------------------------------------

// A display of direct help on the main form: it shows a text, can put its
// vertical scroll bar back to the top and repaints.
class TZor_DirectHelpDisplay {
public:
    virtual ~TZor_DirectHelpDisplay() = default;
    virtual std::string DirectHelpText() const = 0;
    virtual void SetDirectHelpText(const std::string& text) = 0;
    virtual void ResetVerticalScroll() = 0;
    virtual void RepaintDisplay() = 0;
};

// While it exists it follows the application's focus: the displays of the main
// form show the DirectHelp of the control that has the focus.
class TZor_AutoScreen : public QObject {
    Q_OBJECT
public:
    explicit TZor_AutoScreen(QObject* parent = nullptr);
    ~TZor_AutoScreen() override;

    // The main form whose displays show the help; none set: the first main
    // window among the top-level windows.
    void SetMainForm(QWidget* form) { FMainForm = form; }
    QWidget* MainForm() const;

    // The active control changed (none: `control` is null).
    void ActiveControlChanged(QWidget* control);
    // The active form changed: nothing to do.
    void ActiveFormChanged() {}

    // The help of an object with a published DirectHelp, each line followed by
    // a line break; false when it publishes none.
    static bool DirectHelpOf(const QObject* object, std::string& text);

private:
    void ShowInDisplays(const std::string& text);

    QPointer<QWidget> FMainForm;
};

// The one hook of the program, made with the first control of this unit (or
// the first call) once the application exists; freed with the application.
TZor_AutoScreen* G_Zor_AutoScreen();

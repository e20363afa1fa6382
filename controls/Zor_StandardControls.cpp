#include "controls/Zor_StandardControls.h"

#include "platform/AsciiText.h"
#include "platform/FormatSettings.h"
#include "platform/KeyText.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QClipboard>
#include <QCompleter>
#include <QContextMenuEvent>
#include <QFocusEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QProxyStyle>
#include <QScrollBar>
#include <QStyleFactory>
#include <QStylePainter>
#include <QStyledItemDelegate>

#include <memory>

namespace {

// Positions: the window counts UTF-16 units, the edit's logic characters.
int CharsBefore(const QString& s, int units)
{
    int chars = 0;
    for (int i = 0; i < units && i < s.size(); ++i) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        ++chars;
    }
    return chars;
}

int UnitsBefore(const QString& s, int chars)
{
    int i = 0;
    for (int c = 0; c < chars && i < s.size(); ++c) {
        if (s[i].isHighSurrogate() && i + 1 < s.size() && s[i + 1].isLowSurrogate())
            ++i;
        ++i;
    }
    return i;
}

const TZor_Colors_Bevel& EditSet()
{
    return *G_Zor_Pattern().Edit();
}

} // namespace

// ---- Entering and leaving ---------------------------------------------------

bool TZor_FocusTracker::In(Qt::FocusReason reason)
{
    const bool back = FAway && PassingReason(reason);
    FAway = false;
    return !back;
}

bool TZor_FocusTracker::Out(Qt::FocusReason reason)
{
    FAway = PassingReason(reason);
    return !FAway;
}

bool TZor_FocusTracker::PassingReason(Qt::FocusReason reason)
{
    return reason == Qt::PopupFocusReason || reason == Qt::ActiveWindowFocusReason ||
           reason == Qt::MenuBarFocusReason;
}

// ---- Look ------------------------------------------------------------------

bool ZorApplyEditColors(QWidget* widget, TZor_PatternStyle state)
{
    const TZor_Colors_Bevel& set = EditSet();
    const QColor background = ColorToQColor(set.Color(state));
    const QColor font = ColorToQColor(set.FontColor(state));
    QPalette palette = widget->palette();
    bool changed = false;
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        for (const auto role : {QPalette::Base, QPalette::Button, QPalette::Window}) {
            if (palette.color(group, role) != background) {
                palette.setColor(group, role, background);
                changed = true;
            }
        }
        for (const auto role : {QPalette::Text, QPalette::ButtonText, QPalette::WindowText}) {
            if (palette.color(group, role) != font) {
                palette.setColor(group, role, font);
                changed = true;
            }
        }
    }
    if (changed)
        widget->setPalette(palette);
    return changed;
}

void ZorPaintBevel(QPainter& painter, const QRect& rect, const TZor_Colors_Bevel::TBevelValues& bevel,
                   TBevelEdges edges)
{
    if (bevel.BevelKind == TBevelKind::bkNone)
        return;
    const QColor light = ColorToQColor(clBtnHighlight);
    const QColor shadow = ColorToQColor(clBtnShadow);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    // One frame: the top and left edges in one colour, bottom and right in
    // the other, each only where the control has a bevel edge.
    auto frame = [&](const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
        painter.setPen(topLeft);
        if (edges & TBevelEdge::beTop)
            painter.drawLine(r.topLeft(), r.topRight());
        if (edges & TBevelEdge::beLeft)
            painter.drawLine(r.topLeft(), r.bottomLeft());
        painter.setPen(bottomRight);
        if (edges & TBevelEdge::beBottom)
            painter.drawLine(r.bottomLeft(), r.bottomRight());
        if (edges & TBevelEdge::beRight)
            painter.drawLine(r.topRight(), r.bottomRight());
    };
    if (bevel.BevelKind == TBevelKind::bkFlat) {
        frame(rect, shadow, shadow);
        painter.restore();
        return;
    }
    auto edge = [&](const QRect& r, TBevelCut cut) {
        if (cut == TBevelCut::bvNone || cut == TBevelCut::bvSpace)
            return;
        const bool raised = cut == TBevelCut::bvRaised;
        frame(r, raised ? light : shadow, raised ? shadow : light);
    };
    edge(rect, bevel.BevelOuter);
    edge(rect.adjusted(1, 1, -1, -1), bevel.BevelInner);
    painter.restore();
}

// ---- The edit ----------------------------------------------------------------

TZor_Edit::TZor_Edit(QWidget* parent) : QLineEdit(parent), FTag(new TZor_Tag(this))
{
    G_Zor_AutoScreen();
    setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    QLineEdit::setMaxLength(32767);
    connect(this, &QLineEdit::textChanged, this, &TZor_Edit::TextChangedInWindow);
    FCore.OnChange = [this] {
        SyncFromCore();
        if (OnChange)
            OnChange(this);
    };
    FCore.OnExitValidateError = nullptr;
    ApplyLook();
}

TZor_Edit::~TZor_Edit() = default;

void TZor_Edit::SyncFromCore()
{
    const bool wasSyncing = FSyncing;
    FSyncing = true;
    const QString text = QString::fromStdString(FCore.Text());
    if (QLineEdit::text() != text)
        QLineEdit::setText(text);
    const TZor_Selection selection = FCore.Selection();
    const int start = UnitsBefore(text, selection.Start);
    const int end = UnitsBefore(text, selection.Start + selection.Length);
    if (end > start)
        setSelection(start, end - start);
    else
        setCursorPosition(start);
    FSyncing = wasSyncing;
}

TZor_Selection TZor_Edit::WindowSelection() const
{
    const QString text = QLineEdit::text();
    if (hasSelectedText()) {
        const int start = selectionStart();
        const int end = start + static_cast<int>(selectedText().size());
        const int first = CharsBefore(text, start);
        return {first, CharsBefore(text, end) - first};
    }
    return {CharsBefore(text, cursorPosition()), 0};
}

void TZor_Edit::TextChangedInWindow(const QString& text)
{
    if (FSyncing)
        return;
    FCore.TextEdited(text.toStdString(), WindowSelection());
    SyncFromCore();
}

void TZor_Edit::SetText(const std::string& value)
{
    FCore.SetText(value);
    SyncFromCore();
}

void TZor_Edit::SetInputMode(TInputMode value)
{
    FCore.SetInputMode(value);
    SyncFromCore();
}

void TZor_Edit::SetDecimalPlaces(int value)
{
    FCore.SetDecimalPlaces(value);
    SyncFromCore();
}

long double TZor_Edit::Value()
{
    return FCore.Value();
}

void TZor_Edit::SetValue(long double value)
{
    FCore.SetValue(value);
    SyncFromCore();
    update();
}

void TZor_Edit::SetMaxLength(int value)
{
    // The core keeps the limit: the window's own would also cut the texts
    // that the edit writes itself (a date on leaving, SetValue).
    FCore.SetMaxLength(value);
}

void TZor_Edit::SetPattern(TZor_PatternStyle value)
{
    if (value == FPattern)
        return;
    FPattern = value;
    ApplyLook();
    update();
}

void TZor_Edit::SetAlignment(TAlignment value)
{
    FAlignment = value;
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (value == TAlignment::taRightJustify)
        horizontal = Qt::AlignRight;
    else if (value == TAlignment::taCenter)
        horizontal = Qt::AlignHCenter;
    setAlignment(horizontal | Qt::AlignVCenter);
}

namespace {

// The style of an edit with a password character: the character its text
// shows in place of each character, at once (no delay that shows the last
// one typed).
class TPasswordCharStyle : public QProxyStyle {
public:
    TPasswordCharStyle(QChar character, QObject* owner)
        : QProxyStyle(QStyleFactory::create(QApplication::style()->name())), FCharacter(character)
    {
        setParent(owner);
    }
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* returnData) const override
    {
        if (hint == SH_LineEdit_PasswordCharacter)
            return FCharacter.unicode();
        if (hint == SH_LineEdit_PasswordMaskDelay)
            return 0;
        return QProxyStyle::styleHint(hint, option, widget, returnData);
    }

private:
    QChar FCharacter;
};

} // namespace

void TZor_Edit::SetPasswordChar(QChar value)
{
    if (value == FPasswordChar)
        return;
    FPasswordChar = value;
    ShowPasswordChar();
    update();
}

void TZor_Edit::ShowPasswordChar()
{
    QStyle* old = style();
    if (FPasswordChar.isNull()) {
        setEchoMode(QLineEdit::Normal);
        setStyle(nullptr);
    } else {
        // A new style tells the edit its password character.
        setStyle(new TPasswordCharStyle(FPasswordChar, this));
        setEchoMode(QLineEdit::Password);
    }
    if (old != style() && dynamic_cast<TPasswordCharStyle*>(old))
        old->deleteLater();
}

void TZor_Edit::Undo()
{
    FCore.Undo();
    SyncFromCore();
}

void TZor_Edit::Paste()
{
    std::optional<std::string> text;
    if (const QMimeData* data = QGuiApplication::clipboard()->mimeData(); data && data->hasText())
        text = data->text().toStdString();
    FCore.Paste(text, WindowSelection());
    SyncFromCore();
}

void TZor_Edit::ApplyLook()
{
    ZorApplyEditColors(this, FPattern);
    const bool frame = EditSet().Bevels(FPattern).BorderStyle == TBorderStyle::bsSingle;
    if (hasFrame() != frame)
        setFrame(frame);
}

void TZor_Edit::keyPressEvent(QKeyEvent* event)
{
    if (event->matches(QKeySequence::Paste)) {
        Paste();
        event->accept();
        return;
    }
    if (event->matches(QKeySequence::Undo)) {
        Undo();
        event->accept();
        return;
    }
    const Qt::KeyboardModifiers modifiers = event->modifiers();
    // Alt and a letter is an accelerator of the form.
    if (modifiers & Qt::AltModifier) {
        event->ignore();
        return;
    }
    const int key = event->key();
    char32_t character = 0;
    if (key == Qt::Key_Return || key == Qt::Key_Enter)
        character = 13;
    else if (key == Qt::Key_Escape)
        character = 27;
    else if (!(modifiers & (Qt::ControlModifier | Qt::MetaModifier)))
        character = KeyCharCode(*event);
    // Delete, which the window system gives the character 0x7F, makes no
    // character (platform/KeyText.h): the edit's own key handling takes it in
    // every input mode.
    if (character == 0) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    // Every typed character is first the form's: its default and cancel
    // buttons take Enter and Escape.
    if (FormDialogKey(ParentForm(this), key, modifiers)) {
        event->accept();
        return;
    }
    char32_t mapped = FCore.KeyPress(character);
    if (character == 13 || character == 27) {
        // Enter confirmed the text into the history, Escape undid.
        SyncFromCore();
        event->accept();
        return;
    }
    if (mapped != 0 && OnKeyPress)
        OnKeyPress(this, mapped);
    if (mapped == 0) {
        event->accept();
        return;
    }
    if (mapped == character) {
        QLineEdit::keyPressEvent(event);
        return;
    }
    QKeyEvent changed(event->type(), key, modifiers, QString::fromUcs4(&mapped, 1), event->isAutoRepeat(),
                      static_cast<ushort>(event->count()));
    QLineEdit::keyPressEvent(&changed);
    event->setAccepted(changed.isAccepted());
}

void TZor_Edit::keyReleaseEvent(QKeyEvent* event)
{
    QLineEdit::keyReleaseEvent(event);
    const bool ctrlA = event->key() == Qt::Key_A && (event->modifiers() & Qt::ControlModifier);
    FCore.KeyUp(ctrlA, WindowSelection());
    SyncFromCore();
}

void TZor_Edit::focusInEvent(QFocusEvent* event)
{
    QLineEdit::focusInEvent(event);
    if (!FFocus.In(event->reason()))
        return;
    if (OnEnter)
        OnEnter(this);
    FCore.Enter();
    SyncFromCore();
}

void TZor_Edit::focusOutEvent(QFocusEvent* event)
{
    QLineEdit::focusOutEvent(event);
    if (!FFocus.Out(event->reason()))
        return;
    if (OnExit)
        OnExit(this);
    FCore.OnExitValidateError = OnExitValidateError ? std::function<void()>([this] { OnExitValidateError(this); })
                                                    : std::function<void()>();
    FCore.Exit();
    SyncFromCore();
}

void TZor_Edit::paintEvent(QPaintEvent* event)
{
    ApplyLook();
    QLineEdit::paintEvent(event);
    if (!hasFrame()) {
        QPainter painter(this);
        ZorPaintBevel(painter, rect(), EditSet().Bevels(FPattern));
    }
}

void TZor_Edit::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        SetPattern(isEnabled() ? FDisabled.Enable() : FDisabled.Disable(FPattern));
    QLineEdit::changeEvent(event);
}

void TZor_Edit::contextMenuEvent(QContextMenuEvent* event)
{
    std::unique_ptr<QMenu> menu(createStandardContextMenu());
    for (QAction* action : menu->actions()) {
        if (action->objectName() == "edit-paste") {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            const QMimeData* data = QGuiApplication::clipboard()->mimeData();
            action->setEnabled(!isReadOnly() && data && data->hasText());
            connect(action, &QAction::triggered, this, &TZor_Edit::Paste);
        } else if (action->objectName() == "edit-undo") {
            disconnect(action, &QAction::triggered, nullptr, nullptr);
            action->setEnabled(!isReadOnly() && CanUndo());
            connect(action, &QAction::triggered, this, &TZor_Edit::Undo);
        }
    }
    menu->exec(event->globalPos());
}

// ---- The combo box ---------------------------------------------------------

void TZor_ComboEntry::Enter(TComboBoxStyle style, const std::string& text, int itemIndex)
{
    if (OwnerDrawn(style))
        return;
    FEntryValue = Editable(style) ? text : std::to_string(itemIndex);
}

TZor_ComboEntry::TRestore TZor_ComboEntry::Restore(TComboBoxStyle style, const std::string& text,
                                                   int itemIndex) const
{
    TRestore restore;
    if (Editable(style)) {
        if (text != FEntryValue) {
            restore.Changed = true;
            restore.Text = FEntryValue;
        }
    } else if (style == TComboBoxStyle::csDropDownList) {
        int entry = -1;
        if (!TryStrToInt(FEntryValue, entry))
            entry = -1;
        if (itemIndex != entry) {
            restore.Changed = true;
            restore.ItemIndex = entry;
        }
    }
    return restore;
}

int TZor_ComboEntry::MatchItem(const std::vector<std::string>& items, const std::string& text)
{
    if (text.empty())
        return -1;
    const QString wanted = QString::fromStdString(text);
    for (std::size_t i = 0; i < items.size(); ++i)
        if (QString::fromStdString(items[i]).startsWith(wanted, Qt::CaseInsensitive))
            return static_cast<int>(i);
    return -1;
}

// Draws the rows of an owner-drawn combo box's list through the box.
class TZor_OwnerDrawDelegate : public QStyledItemDelegate {
public:
    explicit TZor_OwnerDrawDelegate(TZor_ComboBox* combo) : QStyledItemDelegate(combo), FCombo(combo) {}

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override
    {
        using enum StdCtrls::TOwnerDrawStateFlag;
        StdCtrls::TOwnerDrawState state;
        if (option.state & QStyle::State_Selected)
            state |= odSelected;
        if (option.state & QStyle::State_HasFocus)
            state |= odFocused;
        if (!(option.state & QStyle::State_Enabled))
            state |= odDisabled;
        FCombo->DrawItem(*painter, index.row(), option.rect, state);
    }

private:
    TZor_ComboBox* FCombo;
};

TZor_ComboBox::TZor_ComboBox(QWidget* parent) : QComboBox(parent)
{
    G_Zor_AutoScreen();
    setInsertPolicy(QComboBox::NoInsert);
    connect(this, &QComboBox::activated, this, &TZor_ComboBox::Changed);
    // Before the list's own filter: keys typed while AutoDropDown holds the
    // list open are seen here first.
    view()->installEventFilter(this);
    SetStyle(TComboBoxStyle::csDropDown);
}

void TZor_ComboBox::SetPattern(TZor_PatternStyle value)
{
    if (value == FPattern)
        return;
    FPattern = value;
    update();
}

void TZor_ComboBox::SetStyle(TComboBoxStyle value)
{
    FStyle = value;
    const bool editable = TZor_ComboEntry::Editable(value);
    // The edit that a list style drops is freed later; it stands in for the
    // box in the focus, so freed as it is it would take the box's focus along.
    if (!editable && lineEdit())
        lineEdit()->setFocusProxy(nullptr);
    if (isEditable() != editable || (editable && !lineEdit()))
        setEditable(editable);
    if (editable) {
        connect(lineEdit(), &QLineEdit::textEdited, this, &TZor_ComboBox::Changed, Qt::UniqueConnection);
        SetAutoComplete(FAutoComplete);
        SetMaxLength(FMaxLength);
    }
    const bool ownerDrawn = TZor_ComboEntry::OwnerDrawn(value);
    if (ownerDrawn && !FListDelegate) {
        FListDelegate = itemDelegate();
        setItemDelegate(new TZor_OwnerDrawDelegate(this));
    } else if (!ownerDrawn && FListDelegate) {
        QAbstractItemDelegate* own = itemDelegate();
        setItemDelegate(FListDelegate);
        FListDelegate = nullptr;
        own->deleteLater();
    }
    update();
}

void TZor_ComboBox::SetBevelEdges(TBevelEdges value)
{
    FBevelEdges = value;
    update();
}

bool TZor_ComboBox::DialogKey(int key, Qt::KeyboardModifiers)
{
    if (key == Qt::Key_Escape && hasFocus())
        DoRestore();
    return false;
}

void TZor_ComboBox::DrawItem(QPainter& painter, int index, const QRect& rect, StdCtrls::TOwnerDrawState state)
{
    using enum StdCtrls::TOwnerDrawStateFlag;
    const bool selected = state.testFlag(odSelected);
    const TZor_Colors_Bevel& set = EditSet();
    painter.save();
    painter.setFont(font());
    painter.setBrush(ColorToQColor(selected ? clHighlight : set.Color(FPattern)));
    painter.setPen(ColorToQColor(selected ? clHighlightText : set.FontColor(FPattern)));
    if (index < 0) {
        painter.fillRect(rect, painter.brush());
    } else if (OnDrawItem) {
        QPainter* outer = FCanvas;
        FCanvas = &painter;
        OnDrawItem(this, index, rect, state);
        FCanvas = outer;
    } else {
        painter.fillRect(rect, painter.brush());
        painter.drawText(rect.adjusted(2, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, itemText(index));
    }
    if (state.testFlag(odFocused) && !state.testFlag(odNoFocusRect)) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(ColorToQColor(selected ? clHighlightText : set.FontColor(FPattern)), 1, Qt::DotLine));
        painter.drawRect(rect.adjusted(0, 0, -1, -1));
    }
    painter.restore();
}

void TZor_ComboBox::hidePopup()
{
    FTypingThrough = false;
    QComboBox::hidePopup();
}

bool TZor_ComboBox::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == view() && event->type() == QEvent::KeyPress && FTypingThrough && isEditable())
        return TypeThrough(static_cast<QKeyEvent*>(event));
    return QComboBox::eventFilter(watched, event);
}

bool TZor_ComboBox::TypeThrough(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
        // The list closes on the row it shows; with none the typed text stays.
        const QModelIndex row = view()->currentIndex();
        const QString before = currentText();
        hidePopup();
        if (row.isValid())
            setCurrentIndex(row.row());
        if (currentText() != before)
            Changed();
        return true;
    }
    case Qt::Key_Escape:
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
        return false; // the list's own
    default:
        break;
    }
    QCoreApplication::sendEvent(lineEdit(), event);
    std::vector<std::string> items;
    for (int i = 0; i < count(); ++i)
        items.push_back(itemText(i).toStdString());
    const int match = TZor_ComboEntry::MatchItem(items, lineEdit()->text().toStdString());
    view()->setCurrentIndex(match >= 0 ? model()->index(match, modelColumn(), rootModelIndex()) : QModelIndex());
    return true;
}

void TZor_ComboBox::SetAutoComplete(bool value)
{
    FAutoComplete = value;
    if (!isEditable())
        return;
    if (!value) {
        setCompleter(nullptr);
        return;
    }
    if (!completer()) {
        auto* inline_ = new QCompleter(model(), this);
        inline_->setCompletionMode(QCompleter::InlineCompletion);
        inline_->setCaseSensitivity(Qt::CaseInsensitive);
        setCompleter(inline_);
    }
}

QStringList TZor_ComboBox::Items() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        out << itemText(i);
    return out;
}

void TZor_ComboBox::SetItems(const QStringList& value)
{
    const QString text = currentText();
    clear();
    addItems(value);
    if (FSorted)
        model()->sort(0);
    if (isEditable())
        setEditText(text);
}

void TZor_ComboBox::SetText(const std::string& value)
{
    const QString text = QString::fromStdString(value);
    if (isEditable())
        setEditText(text);
    else
        setCurrentIndex(findText(text));
}

void TZor_ComboBox::SetMaxLength(int value)
{
    FMaxLength = value < 0 ? 0 : value;
    if (isEditable())
        lineEdit()->setMaxLength(FMaxLength > 0 ? FMaxLength : 32767);
}

void TZor_ComboBox::SetSorted(bool value)
{
    FSorted = value;
    if (value)
        model()->sort(0);
}

void TZor_ComboBox::DoEnter()
{
    if (OnEnter)
        OnEnter(this);
    FEntry.Enter(FStyle, Text(), currentIndex());
}

void TZor_ComboBox::DoRestore()
{
    const TZor_ComboEntry::TRestore restore = FEntry.Restore(FStyle, Text(), currentIndex());
    if (!restore.Changed)
        return;
    if (TZor_ComboEntry::Editable(FStyle))
        setEditText(QString::fromStdString(restore.Text));
    else
        setCurrentIndex(restore.ItemIndex);
    if (OnChange)
        OnChange(this);
}

void TZor_ComboBox::Changed()
{
    if (OnChange)
        OnChange(this);
}

bool TZor_ComboBox::Backspace()
{
    if (!isEditable())
        return false;
    const QString typed = lineEdit()->text();
    std::vector<std::string> items;
    for (int i = 0; i < count(); ++i)
        items.push_back(itemText(i).toStdString());
    const int match = TZor_ComboEntry::MatchItem(items, typed.toStdString());
    if (match < 0)
        return false;
    const QString item = itemText(match);
    const bool changed = match != currentIndex();
    setCurrentIndex(match);
    lineEdit()->setText(typed + item.mid(typed.size()));
    lineEdit()->setSelection(static_cast<int>(typed.size()), static_cast<int>(item.size() - typed.size()));
    if (changed)
        Changed();
    return true;
}

void TZor_ComboBox::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        DoEnter();
        QComboBox::keyPressEvent(event);
        return;
    case Qt::Key_Escape:
        DoRestore();
        QComboBox::keyPressEvent(event);
        // Left to the form as well: a cancel button still sees Escape.
        event->ignore();
        return;
    case Qt::Key_Backspace: {
        QComboBox::keyPressEvent(event);
        if (Backspace())
            event->accept();
        return;
    }
    default: {
        const QString text = event->text();
        // Alt and a letter is an accelerator of the form, no search in the
        // list nor a character of the text.
        if (!text.isEmpty() && (event->modifiers() & Qt::AltModifier) &&
            !(event->modifiers() & (Qt::ControlModifier | Qt::MetaModifier))) {
            event->ignore();
            return;
        }
        const bool typed = !text.isEmpty() && text[0].isPrint() &&
                           !(event->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier));
        QComboBox::keyPressEvent(event);
        if (typed && FAutoDropDown && !view()->isVisible()) {
            // The text keeps its selection (an inline completion) while the
            // list is up.
            const int start = isEditable() ? lineEdit()->selectionStart() : -1;
            const int length = start >= 0 ? static_cast<int>(lineEdit()->selectedText().size()) : 0;
            showPopup();
            FTypingThrough = isEditable();
            if (start >= 0)
                lineEdit()->setSelection(start, length);
        }
    }
    }
}

void TZor_ComboBox::focusInEvent(QFocusEvent* event)
{
    QComboBox::focusInEvent(event);
    if (FFocus.In(event->reason()))
        DoEnter();
}

void TZor_ComboBox::focusOutEvent(QFocusEvent* event)
{
    QComboBox::focusOutEvent(event);
    FFocus.Out(event->reason());
}

void TZor_ComboBox::paintEvent(QPaintEvent* event)
{
    ZorApplyEditColors(this, FPattern);
    if (isEditable())
        ZorApplyEditColors(lineEdit(), FPattern);
    if (TZor_ComboEntry::OwnerDrawn(FStyle)) {
        // The frame and button of the box; the item in it is drawn as the
        // list's are.
        QStylePainter painter(this);
        QStyleOptionComboBox option;
        initStyleOption(&option);
        option.currentText.clear();
        option.currentIcon = QIcon();
        painter.drawComplexControl(QStyle::CC_ComboBox, option);
        const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
        using enum StdCtrls::TOwnerDrawStateFlag;
        StdCtrls::TOwnerDrawState state = odComboBoxEdit;
        if (hasFocus())
            state |= StdCtrls::TOwnerDrawState(odSelected) | odFocused;
        if (!isEnabled())
            state |= odDisabled;
        DrawItem(painter, currentIndex(), field, state);
    } else {
        QComboBox::paintEvent(event);
    }
    QPainter painter(this);
    ZorPaintBevel(painter, rect(), EditSet().Bevels(FPattern), FBevelEdges);
}

void TZor_ComboBox::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange)
        SetPattern(isEnabled() ? FDisabled.Enable() : FDisabled.Disable(FPattern));
    QComboBox::changeEvent(event);
}

// ---- Direct help -------------------------------------------------------------

TZor_AutoScreen::TZor_AutoScreen(QObject* parent) : QObject(parent)
{
    if (auto* app = qobject_cast<QApplication*>(QCoreApplication::instance()))
        connect(app, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { ActiveControlChanged(now); });
}

TZor_AutoScreen::~TZor_AutoScreen() = default;

QWidget* TZor_AutoScreen::MainForm() const
{
    if (FMainForm)
        return FMainForm;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->inherits("QMainWindow"))
            return top;
    return nullptr;
}

bool TZor_AutoScreen::DirectHelpOf(const QObject* object, std::string& text)
{
    QMetaProperty property;
    if (!object || !FindPublishedProperty(object, "DirectHelp", &property))
        return false;
    text.clear();
    for (const QString& line : property.read(object).toStringList())
        text += line.toStdString() + "\n";
    return true;
}

void TZor_AutoScreen::ShowInDisplays(const std::string& text)
{
    QWidget* main = MainForm();
    if (!main)
        return;
    const std::string trimmed = Trim(text);
    // The displays first: showing a text may make or free objects of the form.
    // The focus also moves while a part of the form is being freed; its list
    // of children then holds empty places for the children already gone, which
    // findChildren() does not expect, so the tree is walked here.
    std::vector<std::pair<QPointer<QObject>, TZor_DirectHelpDisplay*>> displays;
    std::vector<QObject*> pending{main};
    while (!pending.empty()) {
        QObject* object = pending.back();
        pending.pop_back();
        for (QObject* child : object->children()) {
            if (!child)
                continue;
            if (auto* display = dynamic_cast<TZor_DirectHelpDisplay*>(child))
                displays.emplace_back(child, display);
            pending.push_back(child);
        }
    }
    for (const auto& [object, display] : displays) {
        if (!object || display->DirectHelpText() == trimmed)
            continue;
        display->SetDirectHelpText(trimmed);
        display->ResetVerticalScroll();
        display->RepaintDisplay();
    }
}

void TZor_AutoScreen::ActiveControlChanged(QWidget* control)
{
    std::string text;
    if (!control) {
        QWidget* main = MainForm();
        if (!main)
            return;
        ShowInDisplays(DirectHelpOf(main, text) ? text : std::string());
        return;
    }
    if (DirectHelpOf(control, text)) {
        ShowInDisplays(text);
        return;
    }
    // Scrolling a display keeps its text.
    if (qobject_cast<QScrollBar*>(control))
        return;
    ShowInDisplays(std::string());
}

TZor_AutoScreen* G_Zor_AutoScreen()
{
    static QPointer<TZor_AutoScreen> screen;
    if (!screen && qobject_cast<QApplication*>(QCoreApplication::instance()))
        screen = new TZor_AutoScreen(QCoreApplication::instance());
    return screen;
}

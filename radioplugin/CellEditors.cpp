#include "radioplugin/CellEditors.h"

#include "platform/Component.h"
#include "radioplugin/CellGridWidget.h"

#include <QApplication>
#include <QFocusEvent>
#include <QKeyEvent>

namespace {

const char* const SNotCellEditor = "Cell Editor not of type TCellEditor";

std::string FormatAssigned(const std::string& editor, const std::string& grid)
{
    // "%s is allready assigned to %s": the spelling is the grid library's own
    // message as people and their scripts know it; it stays as it is.
    return editor + " is allready assigned to " + grid;
}

} // namespace

// ============================================================================
// Cell editors
// ============================================================================

TCellEditor::TCellEditor(QObject* owner) : QObject(owner) {}

TCellEditor::~TCellEditor()
{
    if (FGrid) {
        TCellGrid* grid = FGrid;
        if (grid->ActiveEditor() == this)
            grid->SetActiveEditor(nullptr);
        for (int c = 0; c < grid->Columns().Count(); ++c) {
            TCellGridColumnItem* item = grid->Columns().Items(c);
            if (item->Editor() == this)
                item->SetEditor(nullptr);
        }
    }
}

void TCellEditor::Attach(TCellGrid* grid)
{
    if (grid != FGrid && FGrid)
        throw ECellEditorError(FormatAssigned(Name(), ComponentName(FGrid)));
    FGrid = grid;
    ++FAttachCount;
}

void TCellEditor::Detach()
{
    --FAttachCount;
    if (FAttachCount <= 0) {
        FAttachCount = 0;
        // An edit the grid still shows ends unwritten, so the grid can edit again.
        if (FGrid && FGrid->ActiveEditor() == this)
            FGrid->SetActiveEditor(nullptr);
        FGrid = nullptr;
    }
}

void TCellEditor::SetCellText(const std::string& text)
{
    if (FGrid)
        FGrid->SetEditText(FGrid->EditCol(), FGrid->EditRow(), text);
}

// ---- TMetaCellEditor ----------------------------------------------------------

TMetaCellEditor::TMetaCellEditor(QObject* owner) : TCellEditor(owner) {}

TMetaCellEditor::~TMetaCellEditor()
{
    // The edit ends without writing back (the editor is half gone), and the
    // focus goes back to the grid rather than nowhere.
    if (TCellGrid* grid = Grid()) {
        if (grid->ActiveEditor() == this)
            grid->SetActiveEditor(nullptr);
        if (FEditor && FEditor->hasFocus())
            grid->TakeFocusFromEditor();
    }
    if (FEditor) {
        QWidget* control = FEditor;
        FEditor = nullptr;
        delete control;
    }
}

void TMetaCellEditor::Loaded()
{
    InitEditor();
}

void TMetaCellEditor::InitEditor()
{
    if (FEditor)
        return;
    auto* owner = qobject_cast<QWidget*>(parent());
    if (!owner)
        throw ECellEditorError(SNotCellEditor);
    QWidget* control = nullptr;
    try {
        control = CreateEditor(owner);
    } catch (const std::exception&) {
        throw ECellEditorError(SNotCellEditor);
    }
    if (!control)
        throw ECellEditorError(SNotCellEditor);
    FEditor = control;
    PlaceControl();
}

QWidget* TMetaCellEditor::EnsureControl()
{
    if (!FEditor)
        InitEditor();
    return FEditor;
}

void TMetaCellEditor::PlaceControl()
{
    if (!FEditor || !Grid())
        return;
    QWidget* area = Grid()->viewport();
    if (FEditor->parentWidget() != area) {
        FEditor->hide();
        FEditor->setParent(area);
    }
}

void TMetaCellEditor::ParkControl()
{
    if (!FEditor)
        return;
    FEditor->hide();
    auto* owner = qobject_cast<QWidget*>(parent());
    if (FEditor->parentWidget() != owner)
        FEditor->setParent(owner);
}

void TMetaCellEditor::Attach(TCellGrid* grid)
{
    TCellEditor::Attach(grid);
    PlaceControl();
}

void TMetaCellEditor::Detach()
{
    TCellEditor::Detach();
    if (!Grid())
        ParkControl();
}

void TMetaCellEditor::ReleaseWindow()
{
    ParkControl();
}

void TMetaCellEditor::Draw(const QRect& rect)
{
    if (!FEditor)
        return;
    PlaceControl();
    FEditor->setGeometry(rect);
    FEditor->show();
    FEditor->raise();
    FEditor->setFocus(Qt::OtherFocusReason);
}

void TMetaCellEditor::Clear()
{
    TCellGrid* grid = Grid();
    if (grid && grid->ActiveEditor() == this)
        grid->SetActiveEditor(nullptr);
    if (!FEditor)
        return;
    // The focus goes back to the grid rather than wherever the window puts it.
    if (grid && FEditor->hasFocus())
        grid->TakeFocusFromEditor();
    FEditor->hide();
}

void TMetaCellEditor::ControlExit()
{
    TCellGrid* grid = Grid();
    if (FExiting || !grid || grid->ActiveEditor() != this)
        return;
    FExiting = true;
    try {
        EndEdit();
    } catch (...) {
        Clear();
        FExiting = false;
        throw;
    }
    Clear();
    FExiting = false;
}

void TMetaCellEditor::LeaveToGrid()
{
    if (TCellGrid* grid = Grid()) {
        grid->setFocus(Qt::OtherFocusReason);
        ControlExit(); // when the focus did not move (no active window)
    }
}

void TMetaCellEditor::EndByKey(int key, Qt::KeyboardModifiers shift)
{
    QPointer<TCellGrid> grid = Grid();
    ControlExit();
    if (grid) {
        grid->KeyDown(key, shift);
        // An editor that the move opened (goAlwaysShowEditor) keeps the focus.
        if (!grid->ActiveEditor())
            grid->setFocus(Qt::OtherFocusReason);
    }
}

bool TMetaCellEditor::FocusNextControl(bool next)
{
    QPointer<TCellGrid> grid = Grid();
    if (!grid)
        return false;
    grid->TakeFocusFromEditor();
    ControlExit();
    return grid && grid->FocusNextControl(next);
}

// ---- TComboCellEditor ---------------------------------------------------------

TComboCellEditor::TComboCellEditor(QObject* owner) : TMetaCellEditor(owner) {}

TComboBoxStyle TComboCellEditor::Style() const
{
    if (auto* control = qobject_cast<TComboInplace*>(GetEditorControl()))
        return control->Style();
    return FStyle;
}

void TComboCellEditor::SetStyle(TComboBoxStyle value)
{
    FStyle = value;
    if (auto* control = qobject_cast<TComboInplace*>(GetEditorControl()))
        control->SetStyle(value);
}

void TComboCellEditor::SetItems(const std::vector<std::string>& value)
{
    FItems = value;
    if (auto* control = qobject_cast<TComboInplace*>(GetEditorControl())) {
        control->clear();
        control->addItems(QItems());
    }
}

QStringList TComboCellEditor::QItems() const
{
    QStringList list;
    for (const std::string& item : FItems)
        list << QString::fromStdString(item);
    return list;
}

void TComboCellEditor::SetQItems(const QStringList& value)
{
    std::vector<std::string> items;
    for (const QString& item : value)
        items.push_back(item.toStdString());
    SetItems(items);
}

QWidget* TComboCellEditor::CreateEditor(QWidget* owner)
{
    auto* control = new TComboInplace(owner, this);
    control->SetStyle(FStyle);
    return control;
}

void TComboCellEditor::StartEdit()
{
    auto* control = qobject_cast<TComboInplace*>(EnsureControl());
    TCellGrid* grid = Grid();
    if (!control || !grid)
        return;
    control->clear();
    control->addItems(QItems());
    const QString cell = QString::fromStdString(grid->GetEditText(grid->Col(), grid->Row()));
    const bool editable = TZor_ComboEntry::Editable(control->Style());
    if (const char32_t key = grid->ImmediateKey()) {
        // The typed key chooses or starts the value: a list keeps the cell's
        // own item when the key matches none, an edit box starts empty.
        if (editable)
            control->setEditText(QString());
        else
            control->setCurrentIndex(control->findText(cell, Qt::MatchExactly));
        const QString typed = QString::fromStdU32String(std::u32string(1, key));
        const QString upper = typed.toUpper();
        const int code = upper.size() == 1 ? upper.at(0).unicode() : static_cast<int>(key);
        QCoreApplication::postEvent(control, new QKeyEvent(QEvent::KeyPress, code, Qt::NoModifier, typed));
        grid->ClearImmediateKey();
        return;
    }
    if (editable)
        control->setEditText(cell);
    else
        control->setCurrentIndex(control->findText(cell, Qt::MatchExactly));
    if (control->currentText().isEmpty()) {
        const QString text = QString::fromStdString(DefaultText());
        if (editable)
            control->setEditText(text);
        else
            control->setCurrentIndex(control->findText(text, Qt::MatchExactly));
    }
}

void TComboCellEditor::EndEdit()
{
    auto* control = qobject_cast<TComboInplace*>(GetEditorControl());
    if (control && Grid())
        SetCellText(control->currentText().toStdString());
}

// ---- TMaskEditCellEditor -------------------------------------------------------

TMaskEditCellEditor::TMaskEditCellEditor(QObject* owner) : TMetaCellEditor(owner) {}

std::string TMaskEditCellEditor::EditMask() const
{
    if (auto* control = qobject_cast<TMaskEditInplace*>(GetEditorControl()))
        return control->EditMask();
    return FEditMask;
}

void TMaskEditCellEditor::SetEditMask(const std::string& value)
{
    FEditMask = value;
    if (auto* control = qobject_cast<TMaskEditInplace*>(GetEditorControl()))
        control->SetEditMask(value);
}

QWidget* TMaskEditCellEditor::CreateEditor(QWidget* owner)
{
    auto* control = new TMaskEditInplace(owner, this);
    control->SetEditMask(FEditMask);
    return control;
}

void TMaskEditCellEditor::StartEdit()
{
    auto* control = qobject_cast<TMaskEditInplace*>(EnsureControl());
    TCellGrid* grid = Grid();
    if (!control || !grid)
        return;
    if (const char32_t key = grid->ImmediateKey()) {
        control->SetText(QString::fromStdU32String(std::u32string(1, key)).toStdString());
        grid->ClearImmediateKey();
        // The caret stands behind the typed character, so typing goes on.
        const TEditMaskForm form = ParseEditMask(control->EditMask());
        int pos = 0;
        while (pos < static_cast<int>(form.Literal.size()) && form.Literal[static_cast<size_t>(pos)])
            ++pos;
        const bool taken = !control->Text().empty() && control->displayText() != control->inputMask();
        control->setCursorPosition(form.Literal.empty() ? static_cast<int>(control->text().size())
                                                        : (taken ? pos + 1 : pos));
        return;
    }
    std::string text = grid->GetEditText(grid->Col(), grid->Row());
    if (text.empty())
        text = DefaultText();
    control->SetText(text);
    control->selectAll();
}

void TMaskEditCellEditor::EndEdit()
{
    auto* control = qobject_cast<TMaskEditInplace*>(GetEditorControl());
    if (control && Grid())
        SetCellText(control->Text());
}

void TMaskEditCellEditor::Draw(const QRect& rect)
{
    TMetaCellEditor::Draw(rect.adjusted(1, 1, -1, -1));
}

// ============================================================================
// In-place controls
// ============================================================================

bool ComboKeyEndsEdit(int key, TComboBoxStyle style, bool tabs, bool hasSelection, int caret, int textLength)
{
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: return tabs;
    case Qt::Key_Left: return (!hasSelection && caret == 0) || style != TComboBoxStyle::csDropDown;
    case Qt::Key_Right: return (!hasSelection && caret >= textLength) || style != TComboBoxStyle::csDropDown;
    default: return false;
    }
}

bool MaskKeyEndsEdit(int key, bool tabs, bool* examined)
{
    bool looked = true;
    bool ends = false;
    switch (key) {
    case Qt::Key_Tab:
    case Qt::Key_Backtab: ends = tabs; break;
    case Qt::Key_Up:
    case Qt::Key_Down: ends = true; break;
    default: looked = false; break;
    }
    if (examined)
        *examined = looked;
    return ends;
}

namespace {

bool GridTabs(const TCellEditor* editor)
{
    return editor && editor->Grid() && editor->Grid()->Options().testFlag(goTabs);
}

// The in-place controls' look: flat, out of the tab order, hidden until used.
void MakeInplace(QWidget* control)
{
    control->hide();
    control->setFocusPolicy(Qt::ClickFocus);
    control->setAttribute(Qt::WA_MacShowFocusRect, false);
}

// The exit: the focus left for another control (a popup or another window is none).
bool IsExit(const QFocusEvent* event)
{
    return event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason;
}

} // namespace

TComboInplace::TComboInplace(QWidget* owner, TComboCellEditor* editor) : QComboBox(owner), FCellEditor(editor)
{
    MakeInplace(this);
    setFrame(false);
    SetStyle(FStyle);
}

void TComboInplace::SetStyle(TComboBoxStyle value)
{
    FStyle = value;
    setEditable(TZor_ComboEntry::Editable(value));
    if (QLineEdit* edit = lineEdit())
        edit->setFrame(false);
}

bool TComboInplace::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress && GridTabs(FCellEditor)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsTab(key->key())) {
            keyPressEvent(key);
            return true;
        }
    }
    return QComboBox::event(event);
}

// The keys both in-place controls answer alike. `examined` tells whether the
// key is one whose end of edit the form may decide (AllowEndEditEvent). True
// when the key was used here; false hands it to the control itself.
static bool HandleInplaceKey(TObject* control, TMetaCellEditor* editor, QKeyEvent* event, bool examined, bool endEdit)
{
    int key = event->key();
    const Qt::KeyboardModifiers shift = event->modifiers();
    if (examined) {
        if (editor && editor->AllowEndEditEvent)
            editor->AllowEndEditEvent(control, key, shift, endEdit);
        if (endEdit && editor) {
            event->accept();
            editor->EndByKey(key, shift);
            return true;
        }
        if (key == 0) {
            event->accept();
            return true;
        }
    }
    switch (key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
        event->accept();
        if (editor)
            editor->LeaveToGrid();
        return true;
    case Qt::Key_Tab:
    case Qt::Key_Backtab: event->accept(); return true;
    case Qt::Key_Escape:
        // Escape drops the edit: the cell keeps its text.
        event->accept();
        if (editor)
            editor->Clear();
        return true;
    default: return false;
    }
}

void TComboInplace::keyPressEvent(QKeyEvent* event)
{
    const QLineEdit* edit = lineEdit();
    const bool hasSelection = edit && edit->hasSelectedText();
    const int caret = edit ? edit->cursorPosition() : 0;
    const int length = edit ? static_cast<int>(edit->text().size()) : 0;
    const bool endEdit = ComboKeyEndsEdit(event->key(), FStyle, GridTabs(FCellEditor), hasSelection, caret, length);
    if (!HandleInplaceKey(this, FCellEditor, event, true, endEdit))
        QComboBox::keyPressEvent(event);
}

bool TComboInplace::focusNextPrevChild(bool next)
{
    if (FCellEditor && FCellEditor->Grid())
        return FCellEditor->FocusNextControl(next);
    return QComboBox::focusNextPrevChild(next);
}

void TComboInplace::focusOutEvent(QFocusEvent* event)
{
    if (IsExit(event) && FCellEditor)
        FCellEditor->ControlExit();
    QComboBox::focusOutEvent(event);
}

TMaskEditInplace::TMaskEditInplace(QWidget* owner, TMaskEditCellEditor* editor) : QLineEdit(owner), FCellEditor(editor)
{
    MakeInplace(this);
    setFrame(false);
}

void TMaskEditInplace::SetEditMask(const std::string& value)
{
    FEditMask = value;
    FMask = ParseEditMask(value);
    setInputMask(FMask.InputMask);
}

std::string TMaskEditInplace::Text() const
{
    return MaskedText(FMask, displayText());
}

void TMaskEditInplace::SetText(const std::string& value)
{
    setText(QString::fromStdString(value));
}

bool TMaskEditInplace::event(QEvent* event)
{
    if (event->type() == QEvent::KeyPress && GridTabs(FCellEditor)) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (IsTab(key->key())) {
            keyPressEvent(key);
            return true;
        }
    }
    return QLineEdit::event(event);
}

void TMaskEditInplace::keyPressEvent(QKeyEvent* event)
{
    bool examined = false;
    const bool endEdit = MaskKeyEndsEdit(event->key(), GridTabs(FCellEditor), &examined);
    if (!HandleInplaceKey(this, FCellEditor, event, examined, endEdit))
        QLineEdit::keyPressEvent(event);
}

bool TMaskEditInplace::focusNextPrevChild(bool next)
{
    if (FCellEditor && FCellEditor->Grid())
        return FCellEditor->FocusNextControl(next);
    return QLineEdit::focusNextPrevChild(next);
}

void TMaskEditInplace::focusOutEvent(QFocusEvent* event)
{
    if (IsExit(event) && FCellEditor)
        FCellEditor->ControlExit();
    QLineEdit::focusOutEvent(event);
}

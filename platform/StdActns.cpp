#include "platform/StdActns.h"

#include <QAbstractSpinBox>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPlainTextEdit>
#include <QTextEdit>

namespace {

// The line edit inside a spin box is its own; the focus may sit on either.
QLineEdit* LineEditOf(QWidget* widget)
{
    if (auto* edit = qobject_cast<QLineEdit*>(widget))
        return edit;
    if (auto* spin = qobject_cast<QAbstractSpinBox*>(widget))
        return spin->findChild<QLineEdit*>();
    return nullptr;
}

bool ClipboardHasText()
{
    const QClipboard* clipboard = QGuiApplication::clipboard();
    return clipboard && !clipboard->text().isEmpty();
}

// A text edit or a plain text edit, by what they have in common.
template <typename Edit>
bool TextEditCan(const Edit& edit, TEditAction::TKind kind)
{
    const bool selection = edit.textCursor().hasSelection();
    switch (kind) {
    case TEditAction::TKind::Cut: return selection && !edit.isReadOnly();
    case TEditAction::TKind::Copy: return selection;
    case TEditAction::TKind::Paste: return !edit.isReadOnly() && ClipboardHasText();
    case TEditAction::TKind::SelectAll: return !edit.document()->isEmpty();
    case TEditAction::TKind::Undo: return edit.document()->isUndoAvailable() && !edit.isReadOnly();
    }
    return false;
}

// A line edit, a text edit or a plain text edit: their steps have one name.
template <typename Edit>
void Do(Edit& edit, TEditAction::TKind kind)
{
    switch (kind) {
    case TEditAction::TKind::Cut: edit.cut(); break;
    case TEditAction::TKind::Copy: edit.copy(); break;
    case TEditAction::TKind::Paste: edit.paste(); break;
    case TEditAction::TKind::SelectAll: edit.selectAll(); break;
    case TEditAction::TKind::Undo: edit.undo(); break;
    }
}

} // namespace

TEditAction::TEditAction(TKind kind, const QString& caption, QObject* parent) : TAction(caption, parent), FKind(kind)
{
    connect(this, &QAction::triggered, this, &TEditAction::ExecuteTarget);
}

void TEditAction::UpdateTarget()
{
    QWidget* focus = QApplication::focusWidget();
    bool can = false;
    if (QLineEdit* edit = LineEditOf(focus)) {
        const bool writable = !edit->isReadOnly();
        switch (FKind) {
        case TKind::Cut: can = edit->hasSelectedText() && writable; break;
        case TKind::Copy: can = edit->hasSelectedText() && edit->echoMode() == QLineEdit::Normal; break;
        case TKind::Paste: can = writable && ClipboardHasText(); break;
        case TKind::SelectAll: can = !edit->text().isEmpty(); break;
        case TKind::Undo: can = writable && edit->isUndoAvailable(); break;
        }
    } else if (const auto* text = qobject_cast<QTextEdit*>(focus)) {
        can = TextEditCan(*text, FKind);
    } else if (const auto* plain = qobject_cast<QPlainTextEdit*>(focus)) {
        can = TextEditCan(*plain, FKind);
    }
    setEnabled(can);
}

void TEditAction::ExecuteTarget()
{
    QWidget* focus = QApplication::focusWidget();
    if (QLineEdit* edit = LineEditOf(focus))
        Do(*edit, FKind);
    else if (auto* text = qobject_cast<QTextEdit*>(focus))
        Do(*text, FKind);
    else if (auto* plain = qobject_cast<QPlainTextEdit*>(focus))
        Do(*plain, FKind);
}

TWindowAction::TWindowAction(TKind kind, const QString& caption, QObject* parent)
    : TAction(caption, parent), FKind(kind)
{
    connect(this, &QAction::triggered, this, &TWindowAction::ExecuteTarget);
}

void TWindowAction::UpdateTarget()
{
    const bool any = FForm && !FForm->subWindowList().isEmpty();
    setEnabled(FKind == TKind::Close ? FForm && FForm->activeSubWindow() : any);
}

void TWindowAction::ExecuteTarget()
{
    if (!FForm)
        return;
    QList<QMdiSubWindow*> shown;
    for (QMdiSubWindow* child : FForm->subWindowList())
        if (child->isVisible() && !child->isMinimized())
            shown << child;
    const QRect area = FForm->viewport()->rect();
    switch (FKind) {
    case TKind::Close: FForm->closeActiveSubWindow(); break;
    case TKind::Cascade: FForm->cascadeSubWindows(); break;
    case TKind::TileHorizontal:
    case TKind::TileVertical: {
        // Horizontal tiles lie one above the other, vertical ones side by side.
        const int n = static_cast<int>(shown.size());
        for (int i = 0; i < n; ++i) {
            QMdiSubWindow* child = shown[i];
            child->showNormal();
            if (FKind == TKind::TileHorizontal)
                child->setGeometry(0, area.height() * i / n, area.width(), area.height() * (i + 1) / n - area.height() * i / n);
            else
                child->setGeometry(area.width() * i / n, 0, area.width() * (i + 1) / n - area.width() * i / n, area.height());
        }
        break;
    }
    case TKind::MinimizeAll:
        for (QMdiSubWindow* child : FForm->subWindowList())
            child->showMinimized();
        break;
    case TKind::Arrange: {
        // The minimized windows in a row along the bottom edge, from the left.
        int x = 0;
        for (QMdiSubWindow* child : FForm->subWindowList())
            if (child->isMinimized()) {
                child->move(x, area.height() - child->height());
                x += child->width();
            }
        break;
    }
    }
}

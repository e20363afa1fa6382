#pragma once
// The library's standard actions: they act on their target without a handler
// of the program, and keep their enabled state current while the program
// idles. Edit actions work on the focused text control (a one-line edit, a
// text edit or the text of a spin box); window actions on the MDI client
// area of the main window; the printer setup action has no printing system
// behind it here and does nothing.
//
// GUI thread only.
#include "platform/StdCtrls.h"

#include <QMdiArea>
#include <QPointer>

class TEditAction : public TAction {
    Q_OBJECT
public:
    enum class TKind { Cut, Copy, Paste, SelectAll, Undo };
    TEditAction(TKind kind, const QString& caption, QObject* parent = nullptr);

    TKind Kind() const { return FKind; }
    // Enabled when the focused control can take the step now.
    void UpdateTarget();

private:
    void ExecuteTarget();
    TKind FKind;
};

class TWindowAction : public TAction {
    Q_OBJECT
public:
    enum class TKind { Close, Cascade, TileHorizontal, TileVertical, MinimizeAll, Arrange };
    TWindowAction(TKind kind, const QString& caption, QObject* parent = nullptr);

    TKind Kind() const { return FKind; }
    QMdiArea* Form() const { return FForm; }
    void SetForm(QMdiArea* value) { FForm = value; }
    // Enabled while the area has child windows (Close: an active one).
    void UpdateTarget();

private:
    void ExecuteTarget();
    TKind FKind;
    QPointer<QMdiArea> FForm;
};

class TFilePrintSetup : public TAction {
    Q_OBJECT
public:
    explicit TFilePrintSetup(const QString& caption, QObject* parent = nullptr) : TAction(caption, parent) {}
};

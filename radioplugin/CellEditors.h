#pragma once
// The cell editors of the string grid and their in-place controls.
//
// A cell editor (TComboCellEditor, TMaskEditCellEditor) is a component of
// the form; it owns an in-place control (TComboInplace, TMaskEditInplace)
// that the grid (TCellGrid, CellGridWidget.h) shows over the cell being
// edited.
//
// GUI thread only.
#include "radioplugin/CellGrid.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <string>
#include <vector>

class TCellGrid;

// ---- Cell editors -------------------------------------------------------------

using TAllowEndEditEvent = std::function<void(TObject* Sender, int& Key, Qt::KeyboardModifiers Shift, bool& EndEdit)>;

class TCellEditor : public QObject, public TObject {
    Q_OBJECT
public:
    // The owner is the form the editor belongs to (its in-place control lives there).
    explicit TCellEditor(QObject* owner = nullptr);
    ~TCellEditor() override;

    TCellGrid* Grid() const { return FGrid; }
    int AttachCount() const { return FAttachCount; }
    std::string Name() const { return objectName().toStdString(); }
    std::string DefaultText() const { return FDefaultText; }
    void SetDefaultText(const std::string& value) { FDefaultText = value; }

    virtual void Attach(TCellGrid* grid);
    virtual void Detach();
    // The grid's window goes away: the in-place control leaves it.
    virtual void ReleaseWindow() {}
    virtual void InitEditor() {}
    virtual void StartEdit() = 0;
    virtual void EndEdit() = 0;
    // Stores a text into the cell being edited (the grid's SetEditText).
    virtual void SetCellText(const std::string& text);
    virtual void Draw(const QRect& rect) = 0;
    virtual void Clear() = 0;

    // Called by keys that may end an edit; may change the key and the flag.
    TAllowEndEditEvent AllowEndEditEvent;

private:
    std::string FDefaultText;
    TCellGrid* FGrid = nullptr;
    int FAttachCount = 0;
};

// An editor that owns an in-place control.
class TMetaCellEditor : public TCellEditor {
    Q_OBJECT
public:
    explicit TMetaCellEditor(QObject* owner = nullptr);
    ~TMetaCellEditor() override;

    // What the form's loading calls once the editor's settings are in.
    void Loaded();

    void Attach(TCellGrid* grid) override;
    void Detach() override;
    void ReleaseWindow() override;
    // Makes the in-place control; ECellEditorError when it cannot be made or
    // placed into the owner.
    void InitEditor() override;
    void Draw(const QRect& rect) override;
    void Clear() override;
    virtual QWidget* GetEditorControl() const { return FEditor; }

    // The in-place control leaves (ends the edit) and the focus goes to the grid.
    void LeaveToGrid();
    // A key that ends the edit: the control is left and the grid moves by it.
    void EndByKey(int key, Qt::KeyboardModifiers shift);
    // The control's exit: EndEdit and Clear while the editor is active.
    void ControlExit();
    // Tab without goTabs: the control is left for the control after the grid.
    bool FocusNextControl(bool next);

protected:
    virtual QWidget* CreateEditor(QWidget* owner) { (void)owner; return nullptr; }
    // The control exists (made if it was not).
    QWidget* EnsureControl();

private:
    // Makes the control a child of the grid's drawing area, or takes it back
    // into the owner, hidden.
    void PlaceControl();
    void ParkControl();

    QPointer<QWidget> FEditor;
    bool FExiting = false;
};

class TComboCellEditor : public TMetaCellEditor {
    Q_OBJECT
    Q_PROPERTY(QString DefaultText READ QDefaultText WRITE SetQDefaultText)
    Q_PROPERTY(Zor_StandardControls::TComboBoxStyle Style READ Style WRITE SetStyle)
    Q_PROPERTY(QStringList Items READ QItems WRITE SetQItems)
public:
    explicit TComboCellEditor(QObject* owner = nullptr);

    virtual TComboBoxStyle Style() const;
    virtual void SetStyle(TComboBoxStyle value);
    const std::vector<std::string>& Items() const { return FItems; }
    void SetItems(const std::vector<std::string>& value);
    QStringList QItems() const;
    void SetQItems(const QStringList& value);
    QString QDefaultText() const { return QString::fromStdString(DefaultText()); }
    void SetQDefaultText(const QString& value) { SetDefaultText(value.toStdString()); }

    void StartEdit() override;
    void EndEdit() override;

protected:
    QWidget* CreateEditor(QWidget* owner) override;

private:
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
    std::vector<std::string> FItems;
};

class TMaskEditCellEditor : public TMetaCellEditor {
    Q_OBJECT
    Q_PROPERTY(QString DefaultText READ QDefaultText WRITE SetQDefaultText)
    Q_PROPERTY(QString EditMask READ QEditMask WRITE SetQEditMask)
public:
    explicit TMaskEditCellEditor(QObject* owner = nullptr);

    std::string EditMask() const;
    void SetEditMask(const std::string& value);
    QString QEditMask() const { return QString::fromStdString(EditMask()); }
    void SetQEditMask(const QString& value) { SetEditMask(value.toStdString()); }
    QString QDefaultText() const { return QString::fromStdString(DefaultText()); }
    void SetQDefaultText(const QString& value) { SetDefaultText(value.toStdString()); }

    void StartEdit() override;
    void EndEdit() override;
    // One pixel inside the cell on each side.
    void Draw(const QRect& rect) override;

protected:
    QWidget* CreateEditor(QWidget* owner) override;

private:
    std::string FEditMask;
};

// ---- In-place controls -----------------------------------------------------------

// Whether a key ends an edit in a combo box (before AllowEndEditEvent).
bool ComboKeyEndsEdit(int key, TComboBoxStyle style, bool tabs, bool hasSelection, int caret, int textLength);
// Whether a key ends an edit in a masked edit; `examined` tells whether the
// key is one that is looked at (Tab, Up, Down) at all.
bool MaskKeyEndsEdit(int key, bool tabs, bool* examined);

class TComboInplace : public QComboBox, public TObject {
    Q_OBJECT
public:
    TComboInplace(QWidget* owner, TComboCellEditor* editor);
    TComboBoxStyle Style() const { return FStyle; }
    void SetStyle(TComboBoxStyle value);
    TComboCellEditor* CellEditor() const { return qobject_cast<TComboCellEditor*>(FCellEditor.data()); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    // The editor as the part that outlives its subclass while it is freed.
    QPointer<TMetaCellEditor> FCellEditor;
    TComboBoxStyle FStyle = TComboBoxStyle::csDropDown;
};

class TMaskEditInplace : public QLineEdit, public TObject {
    Q_OBJECT
public:
    TMaskEditInplace(QWidget* owner, TMaskEditCellEditor* editor);
    std::string EditMask() const { return FEditMask; }
    void SetEditMask(const std::string& value);
    // The text as the cell takes it.
    std::string Text() const;
    void SetText(const std::string& value);
    TMaskEditCellEditor* CellEditor() const { return qobject_cast<TMaskEditCellEditor*>(FCellEditor.data()); }

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    bool focusNextPrevChild(bool next) override;

private:
    QPointer<TMetaCellEditor> FCellEditor;
    std::string FEditMask;
    TEditMaskForm FMask;
};

#pragma once
// The plain controls of the forms with the properties they publish: what a
// form's translation table names (Caption, Hint, Font, ParentFont) is read
// and written through these, by name.
#include <QAction>
#include <QFont>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QString>

// An action: its caption shows in menus and tool bars, its hint as tool tip
// and status tip, its image (by index into the image lists of its action
// list) beside both.
class TAction : public QAction {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString Hint READ Hint WRITE SetHint)
    Q_PROPERTY(int ImageIndex READ ImageIndex)
public:
    explicit TAction(const QString& caption, QObject* parent = nullptr) : QAction(caption, parent) {}
    QString Hint() const { return FHint; }
    void SetHint(const QString& value);
    int ImageIndex() const { return FImageIndex; }
    // The image at `index` of the two lists: shown while the action is
    // enabled, and while it is disabled (-1: none).
    void SetImage(int index, const QImage& enabled, const QImage& disabled);

private:
    QString FHint;
    int FImageIndex = -1;
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
    bool ParentFont() const { return !testAttribute(Qt::WA_SetFont); }
    void SetParentFont(bool value);
};

class TButton : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
    Q_PROPERTY(QFont Font READ font WRITE setFont)
    Q_PROPERTY(bool ParentFont READ ParentFont WRITE SetParentFont)
public:
    explicit TButton(const QString& caption, QWidget* parent = nullptr) : QPushButton(caption, parent) {}
    bool ParentFont() const { return !testAttribute(Qt::WA_SetFont); }
    void SetParentFont(bool value);
};

// A menu of the menu bar, or a submenu: its caption is the title.
class TMenuItem : public QMenu {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ title WRITE setTitle)
    Q_PROPERTY(QString Hint READ toolTip WRITE setToolTip)
public:
    explicit TMenuItem(const QString& caption, QWidget* parent = nullptr) : QMenu(caption, parent) {}
};

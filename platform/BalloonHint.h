#pragma once
// A balloon hint: a small window beside a control with an icon, a header, a
// text and (by default) a close button, shown until it is closed, cancelled or
// the control it points at goes away.
//
// GUI thread only.
#include <QObject>
#include <QPointer>
#include <QString>

class QFrame;
class QWidget;

class TBalloonHint : public QObject {
    Q_OBJECT
    Q_PROPERTY(bool ShowCloseButton READ ShowCloseButton WRITE SetShowCloseButton)
public:
    // The icon of a hint that names none: the information sign.
    enum class TIcon { Default, None, Information, Warning, Error };

    explicit TBalloonHint(QObject* parent = nullptr);
    ~TBalloonHint() override;

    TIcon DefaultIcon = TIcon::Information;
    bool ShowCloseButton() const { return FShowCloseButton; }
    void SetShowCloseButton(bool value) { FShowCloseButton = value; }

    // Shows the hint below the middle of `anchor`.
    void ActivateHint(QWidget* anchor, const QString& header, const QString& text, TIcon icon = TIcon::Default);
    // Hides the hint if one is showing.
    void CancelHint();
    bool Active() const;
    // The window while a hint is showing (for tests and screenshots).
    QWidget* Window() const;

private:
    QPointer<QFrame> FWindow;
    bool FShowCloseButton = true;
};

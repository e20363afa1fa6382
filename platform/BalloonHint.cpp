#include "platform/BalloonHint.h"

#include <QApplication>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QStyle>
#include <QToolButton>
#include <QToolTip>

#include <algorithm>

TBalloonHint::TBalloonHint(QObject* parent) : QObject(parent) {}

TBalloonHint::~TBalloonHint()
{
    CancelHint();
}

void TBalloonHint::ActivateHint(QWidget* anchor, const QString& header, const QString& text, TIcon icon)
{
    CancelHint();
    if (!anchor)
        return;
    auto* window = new QFrame(anchor->window(), Qt::ToolTip | Qt::FramelessWindowHint);
    window->setObjectName("BalloonHintWindow");
    window->setAttribute(Qt::WA_DeleteOnClose);
    window->setFrameShape(QFrame::Box);
    window->setPalette(QToolTip::palette());
    window->setAutoFillBackground(true);
    auto* grid = new QGridLayout(window);
    grid->setContentsMargins(8, 6, 6, 8);
    if (icon == TIcon::Default)
        icon = DefaultIcon;
    const QStyle::StandardPixmap pixmaps[] = {QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxInformation,
                                               QStyle::SP_MessageBoxInformation, QStyle::SP_MessageBoxWarning,
                                               QStyle::SP_MessageBoxCritical};
    if (icon != TIcon::None) {
        auto* image = new QLabel(window);
        image->setPixmap(window->style()->standardIcon(pixmaps[static_cast<int>(icon)]).pixmap(16, 16));
        grid->addWidget(image, 0, 0, Qt::AlignTop);
    }
    auto* title = new QLabel(header, window);
    title->setObjectName("BalloonHintHeader");
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    grid->addWidget(title, 0, 1);
    if (FShowCloseButton) {
        auto* close = new QToolButton(window);
        close->setObjectName("BalloonHintClose");
        close->setText(QString::fromUtf8("\u00D7"));
        close->setAutoRaise(true);
        connect(close, &QToolButton::clicked, window, &QWidget::close);
        grid->addWidget(close, 0, 2, Qt::AlignTop);
    }
    auto* body = new QLabel(text, window);
    body->setObjectName("BalloonHintText");
    body->setWordWrap(true);
    // Short texts on one line, long ones wrapped at a readable width.
    body->setMinimumWidth(std::min(body->fontMetrics().horizontalAdvance(text) + 4, 280));
    grid->addWidget(body, 1, 1, 1, 2);
    // It goes with the control it points at.
    connect(anchor, &QObject::destroyed, window, &QWidget::close);
    window->adjustSize();
    window->move(anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height())));
    window->show();
    FWindow = window;
}

void TBalloonHint::CancelHint()
{
    if (FWindow)
        FWindow->close();
    FWindow = nullptr;
}

bool TBalloonHint::Active() const
{
    return FWindow && FWindow->isVisible();
}

QWidget* TBalloonHint::Window() const
{
    return FWindow;
}

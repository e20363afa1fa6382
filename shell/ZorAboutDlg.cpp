#include "shell/ZorAboutDlg.h"

#include "controls/Zor_ZusaetzlicheControls.h"
#include "localization/lcLngLnk.h"
#include "platform/Component.h"
#include "platform/Dialogs.h"
#include "platform/Exception.h"
#include "platform/Launcher.h"
#include "shell/DataModule.h"
#include "shell/MainForm.h"
#include "shell/ZorUtils.h"

#include <QAction>
#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QScreen>

TfZorAboutDlg* fZorAboutDlg = nullptr;

namespace {

QPixmap Background(int width, int height)
{
    QPixmap picture(width, height);
    QPainter p(&picture);
    QLinearGradient sky(0, 0, 0, height);
    sky.setColorAt(0, QColor(0x00, 0x38, 0x73));
    sky.setColorAt(0.55, QColor(0xA6, 0xCA, 0xF0));
    sky.setColorAt(1, QColor(0xFF, 0xFB, 0xF0));
    p.fillRect(picture.rect(), sky);
    // A mast with its waves.
    p.setPen(QPen(QColor(255, 255, 255, 160), 2));
    const QPoint top(width - 60, 40);
    p.drawLine(top, QPoint(width - 80, 140));
    p.drawLine(top, QPoint(width - 40, 140));
    for (int r = 14; r <= 42; r += 14)
        p.drawArc(QRect(top.x() - r, top.y() - r, 2 * r, 2 * r), 30 * 16, 120 * 16);
    return picture;
}

} // namespace

TfZorAboutDlg::TfZorAboutDlg(QWidget* owner) : QDialog(owner, Qt::Tool)
{
    setObjectName("fZorAboutDlg");
    SetOwnerRoot(this);
    setWindowTitle("Info über ...");
    setFixedSize(358, 321);
    imBackground = new TZor_Image(this);
    imBackground->setObjectName("imBackground");
    imBackground->setGeometry(rect());
    imBackground->SetPicture(Background(width(), height()));
    auto label = [this](const char* name, const QString& text, int y, bool bold = false) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setAttribute(Qt::WA_TranslucentBackground);
        QFont font = l->font();
        font.setBold(bold);
        l->setFont(font);
        l->setGeometry(16, y, width() - 32, l->sizeHint().height());
        l->installEventFilter(this);
        return l;
    };
    lblVersion = label("lblVersion", "", 20, true);
    QPalette light = lblVersion->palette();
    light.setColor(QPalette::WindowText, Qt::white);
    lblVersion->setPalette(light);
    lblCopyright = label("lblCopyright", "", 44);
    lblCopyright->setWordWrap(true);
    lblCopyright->setPalette(light);
    lblName = label("lblName", MakerName, 180, true);
    lblStrasse = label("lblStrasse", MakerStreet, 198);
    lblOrt = label("lblOrt", MakerTown, 214);
    lblTelefon = label("lblTelefon", MakerPhone, 236);
    lblFax = label("lblFax", MakerFax, 252);
    lblInternet = label("lblInternet", QString(TDM::WebAddress), 274);
    lblEMail = label("lblEMail", QString(TDM::ServiceAddress), 290);
    for (QLabel* link : {lblInternet, lblEMail}) {
        QFont font = link->font();
        font.setUnderline(true);
        link->setFont(font);
        QPalette palette = link->palette();
        palette.setColor(QPalette::WindowText, palette.color(QPalette::Link));
        link->setPalette(palette);
    }
    lblInternet->setToolTip(QString(TDM::WebAddress));
    lblEMail->setToolTip(QString(TDM::ServiceAddress));
    acBrowseURL = new QAction("acBrowseURL", this);
    acBrowseURL->setObjectName("acBrowseURL");
    connect(acBrowseURL, &QAction::triggered, this, [] { Launcher().OpenDocument(TDM::WebAddress); });
    acSendMail = new QAction("acSendMail", this);
    acSendMail->setObjectName("acSendMail");
    connect(acSendMail, &QAction::triggered, this, [] {
        TMail mail;
        mail.To = TDM::ServiceAddress;
        Launcher().SendMail(mail);
    });
    imBackground->installEventFilter(this);

    lcLangLinked = CreateFormTranslations(this, DM ? DM->lcLangDispatcher : nullptr, "TfZorAboutDlg");
    FormCreate();
    fZorAboutDlg = this;
}

TfZorAboutDlg::~TfZorAboutDlg()
{
    if (fZorAboutDlg == this)
        fZorAboutDlg = nullptr;
}

void TfZorAboutDlg::FormCreate()
{
    const std::string product = GetVersionInfoString(7);
    if (product.empty())
        throw Exception("Hinweis an den Entwickler: Versionsinformation im Feld \"Produktname\" und \"Dateiversion\" "
                        "muss gesetzt sein!");
    lblVersion->setText(QString::fromStdString(product + " v" + GetVersionInfoString(2)));
    lblVersion->adjustSize();
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->geometry().center() - rect().center());
}

void TfZorAboutDlg::OnClickEvent()
{
    close();
}

void TfZorAboutDlg::lblInternetClick()
{
    acBrowseURL->trigger();
}

void TfZorAboutDlg::lblEMailClick()
{
    acSendMail->trigger();
}

void TfZorAboutDlg::lblClickLabelMouseEnter()
{
    FSavedCursor = cursor();
    setCursor(Qt::PointingHandCursor);
}

void TfZorAboutDlg::lblClickLabelMouseLeave()
{
    setCursor(FSavedCursor);
}

void TfZorAboutDlg::keyPressEvent(QKeyEvent* event)
{
    event->accept();
    close(); // any key
}

bool TfZorAboutDlg::eventFilter(QObject* watched, QEvent* event)
{
    const bool link = watched == lblInternet || watched == lblEMail;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        if (!link) {
            OnClickEvent();
            return true;
        }
        break;
    case QEvent::MouseButtonRelease:
        if (watched == lblInternet)
            lblInternetClick();
        else if (watched == lblEMail)
            lblEMailClick();
        break;
    case QEvent::Enter:
        if (link)
            lblClickLabelMouseEnter();
        break;
    case QEvent::Leave:
        if (link)
            lblClickLabelMouseLeave();
        break;
    default: break;
    }
    return QDialog::eventFilter(watched, event);
}

void ShowAboutBox()
{
    if (fZorAboutDlg) {
        fZorAboutDlg->raise();
        fZorAboutDlg->activateWindow();
        return;
    }
    TfZorAboutDlg dialog(fMainForm);
    DialogService().ExecModal(dialog);
}

#pragma once
// The about box: the program's name and version over a picture, the maker's
// address, its web page and e-mail address to click.
#include <QCursor>
#include <QDialog>

class QAction;
class QLabel;
class TZor_Image;
class TlcLangLinked;

class TfZorAboutDlg : public QDialog {
    Q_OBJECT
    Q_PROPERTY(QString Caption READ windowTitle WRITE setWindowTitle)
public:
    // Raises the developer's assertion when the program has no product name.
    explicit TfZorAboutDlg(QWidget* owner = nullptr);
    ~TfZorAboutDlg() override;

    void FormCreate();
    void OnClickEvent();
    void lblInternetClick();
    void lblEMailClick();
    void lblClickLabelMouseEnter();
    void lblClickLabelMouseLeave();

    TZor_Image* imBackground;
    QLabel* lblVersion;
    QLabel* lblCopyright;
    QLabel* lblName;
    QLabel* lblStrasse;
    QLabel* lblOrt;
    QLabel* lblTelefon;
    QLabel* lblFax;
    QLabel* lblInternet;
    QLabel* lblEMail;
    QAction* acBrowseURL;
    QAction* acSendMail;
    TlcLangLinked* lcLangLinked;

    static constexpr const char* MakerName = "Zorvatek GmbH";
    static constexpr const char* MakerStreet = "Am Funkturm 7";
    static constexpr const char* MakerTown = "D-12345 Sendlingen";
    static constexpr const char* MakerPhone = "Tel.: +49 (0)123 456789-0";
    static constexpr const char* MakerFax = "Fax: +49 (0)123 456789-99";

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QCursor FSavedCursor{Qt::ArrowCursor};
};

extern TfZorAboutDlg* fZorAboutDlg;

// Brings the about box to the front, or shows a new one modally.
void ShowAboutBox();

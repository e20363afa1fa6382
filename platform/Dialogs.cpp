#include "platform/Dialogs.h"

#include "platform/Application.h"

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QStringList>
#include <QMessageBox>
#include <QPointer>
#include <QRegularExpression>

#include <atomic>
#include <cstdio>

namespace {

std::atomic<TDialogService*> gService{nullptr};

QString ShownText(const std::string& text)
{
    QString shown = QString::fromStdString(text);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return shown;
}

} // namespace

int TDialogService::MessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags)
{
    if (EndRequested()) {
        // The program is ending on a signal: nobody is there to answer.
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), ShownText(text).toStdString().c_str());
        return IDCANCEL;
    }
    QMessageBox box(owner);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(ShownText(text));
    switch (flags & 0xF0u) {
    case MB_ICONERROR: box.setIcon(QMessageBox::Critical); break;
    case MB_ICONQUESTION: box.setIcon(QMessageBox::Question); break;
    case MB_ICONWARNING: box.setIcon(QMessageBox::Warning); break;
    case MB_ICONINFORMATION: box.setIcon(QMessageBox::Information); break;
    default: break;
    }
    const bool second = (flags & MB_DEFBUTTON2) != 0;
    switch (flags & 0xFu) {
    case MB_OKCANCEL:
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setDefaultButton(second ? QMessageBox::Cancel : QMessageBox::Ok);
        break;
    case MB_YESNOCANCEL:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(second ? QMessageBox::No : QMessageBox::Yes);
        break;
    case MB_YESNO:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(second ? QMessageBox::No : QMessageBox::Yes);
        break;
    default: box.setStandardButtons(QMessageBox::Ok); break;
    }
    switch (box.exec()) {
    case QMessageBox::Ok: return IDOK;
    case QMessageBox::Yes: return IDYES;
    case QMessageBox::No: return IDNO;
    default: return IDCANCEL;
    }
}

int TDialogService::ExecModal(QDialog& dialog)
{
    if (EndRequested())
        return QDialog::Rejected;
    return dialog.exec();
}

namespace {

// The patterns of a filter as a set: "*.b;*.c", "*.b *.c" and "*.c; *.b" are one.
QStringList PatternSet(const QString& patterns)
{
    QStringList set = patterns.split(QRegularExpression("[; ]+"), Qt::SkipEmptyParts);
    set.sort();
    return set;
}

} // namespace

QStringList QtNameFilters(const std::string& filter)
{
    const QStringList parts = QString::fromStdString(filter).split('|');
    QStringList filters;
    for (int i = 0; i + 1 < parts.size(); i += 2) {
        QString patterns = parts[i + 1];
        patterns.replace(';', ' ');
        const QString& description = parts[i];
        // Most descriptions name their patterns already ("Textdatei (*.txt)");
        // the dialog reads the patterns from the last parentheses.
        const qsizetype open = description.lastIndexOf('(');
        const bool named = description.endsWith(')') && open >= 0 &&
                           PatternSet(description.mid(open + 1, description.size() - open - 2)) ==
                               PatternSet(patterns);
        filters << (named ? description : description + " (" + patterns + ")");
    }
    return filters;
}

namespace {

// Hands the dialog to a handler once, when it first shows.
class TFirstShow : public QObject {
public:
    TFirstShow(QWidget& dialog, std::function<void(QWidget&)> handler)
        : QObject(&dialog), FHandler(std::move(handler))
    {
        dialog.installEventFilter(this);
    }
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && FHandler) {
            const std::function<void(QWidget&)> handler = std::move(FHandler);
            FHandler = nullptr;
            handler(*static_cast<QWidget*>(watched));
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<void(QWidget&)> FHandler;
};

bool RunFileDialog(TDialogService& service, QWidget* owner, TFileDialog& d, QFileDialog::AcceptMode mode)
{
    if (EndRequested())
        return false;
    QFileDialog dialog(owner, QString::fromStdString(d.Title), QString::fromStdString(d.InitialDir));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    const QStringList filters = QtNameFilters(d.Filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
        dialog.selectNameFilter(filters.value(std::max(0, d.FilterIndex - 1)));
    }
    if (!d.DefaultExt.empty())
        dialog.setDefaultSuffix(QString::fromStdString(d.DefaultExt));
    if (!d.OverwritePrompt)
        dialog.setOption(QFileDialog::DontConfirmOverwrite);
    if (!d.FileName.empty())
        dialog.selectFile(QString::fromStdString(d.FileName));
    if (d.OnShow) {
        dialog.setOption(QFileDialog::DontUseNativeDialog);
        new TFirstShow(dialog, d.OnShow);
    }
    if (service.ExecModal(dialog) != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    d.FileName = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath().toStdString();
    d.FilterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

} // namespace

bool TDialogService::OpenFile(QWidget* owner, TFileDialog& dialog)
{
    return RunFileDialog(*this, owner, dialog, QFileDialog::AcceptOpen);
}

bool TDialogService::SaveFile(QWidget* owner, TFileDialog& dialog)
{
    return RunFileDialog(*this, owner, dialog, QFileDialog::AcceptSave);
}

TDialogService& DialogService()
{
    static TDialogService fallback;
    TDialogService* service = gService.load();
    return service ? *service : fallback;
}

void SetDialogService(TDialogService* service)
{
    gService.store(service);
}

int MessageBox(QWidget* owner, const std::string& text, const std::string& caption, unsigned flags)
{
    return DialogService().MessageBox(owner, text, caption, flags);
}

void PostMessageBox(const std::string& text, const std::string& caption, unsigned flags)
{
    QCoreApplication* app = QCoreApplication::instance();
    if (!app) {
        std::fprintf(stderr, "%s: %s\n", caption.c_str(), text.c_str());
        return;
    }
    QMetaObject::invokeMethod(
        app, [text, caption, flags] { MessageBox(nullptr, text, caption, flags); }, Qt::QueuedConnection);
}

#include "platform/Dialogs.h"

#include <QApplication>
#include <QDialog>
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

bool RunFileDialog(QWidget* owner, TFileDialog& d, QFileDialog::AcceptMode mode)
{
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
    const std::pair<QFileDialog::DialogLabel, const std::string*> labels[] = {
        {QFileDialog::FileType, &d.Labels.FileType}, {QFileDialog::FileName, &d.Labels.FileName},
        {QFileDialog::LookIn, &d.Labels.LookIn},     {QFileDialog::Accept, &d.Labels.Accept},
        {QFileDialog::Reject, &d.Labels.Reject}};
    for (const auto& [label, text] : labels)
        if (!text->empty()) {
            // The desktop's own dialog has no labels to set.
            dialog.setOption(QFileDialog::DontUseNativeDialog);
            dialog.setLabelText(label, QString::fromStdString(*text));
        }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return false;
    d.FileName = QFileInfo(dialog.selectedFiles().first()).absoluteFilePath().toStdString();
    d.FilterIndex = static_cast<int>(filters.indexOf(dialog.selectedNameFilter())) + 1;
    return true;
}

} // namespace

bool TDialogService::OpenFile(QWidget* owner, TFileDialog& dialog)
{
    return RunFileDialog(owner, dialog, QFileDialog::AcceptOpen);
}

bool TDialogService::SaveFile(QWidget* owner, TFileDialog& dialog)
{
    return RunFileDialog(owner, dialog, QFileDialog::AcceptSave);
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

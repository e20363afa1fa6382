#include "platform/Launcher.h"

#include <QProcess>
#include <QStringList>

#include <atomic>

namespace {
std::atomic<TLauncherService*> gService{nullptr};
} // namespace

bool TLauncherService::OpenDocument(const std::string& urlOrPath)
{
    return QProcess::startDetached("xdg-open", {QString::fromStdString(urlOrPath)});
}

bool TLauncherService::SendMail(const TMail& mail)
{
    QStringList args;
    args << "--utf8" << "--subject" << QString::fromStdString(mail.Subject) << "--body"
         << QString::fromStdString(mail.Body);
    for (const auto& file : mail.Attachments)
        args << "--attach" << QString::fromStdString(file);
    args << QString::fromStdString(mail.To);
    return QProcess::startDetached("xdg-email", args);
}

TLauncherService& Launcher()
{
    static TLauncherService fallback;
    TLauncherService* service = gService.load();
    return service ? *service : fallback;
}

void SetLauncherService(TLauncherService* service)
{
    gService.store(service);
}

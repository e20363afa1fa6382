#pragma once
// Handing things to the desktop: web pages, mails with attachments, help
// files. One replaceable service, so tests see what would have been opened.
#include <string>
#include <vector>

struct TMail {
    std::string To;
    std::string Subject;
    std::string Body;
    std::vector<std::string> Attachments; // full paths
};

class TLauncherService {
public:
    virtual ~TLauncherService() = default;
    // xdg-open; false when nothing could be started.
    virtual bool OpenDocument(const std::string& urlOrPath);
    // xdg-email, the user's mail program shows the mail for editing.
    virtual bool SendMail(const TMail& mail);
};

TLauncherService& Launcher();
void SetLauncherService(TLauncherService* service); // null: the desktop's

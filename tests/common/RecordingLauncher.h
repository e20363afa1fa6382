#pragma once
// A launcher that starts nothing: it keeps what the program would have handed
// to the desktop (documents and web pages to open, mails to show), so a test
// can check it. Put in with SetLauncherService(&launcher) and taken out again
// with SetLauncherService(nullptr).
#include "platform/Launcher.h"

#include <string>
#include <vector>

class TRecordingLauncher : public TLauncherService {
public:
    bool OpenDocument(const std::string& what) override
    {
        Opened.push_back(what);
        return true;
    }
    bool SendMail(const TMail& mail) override
    {
        Mails.push_back(mail);
        return true;
    }
    // The addressee of each mail, in order.
    std::vector<std::string> MailedTo() const
    {
        std::vector<std::string> to;
        for (const TMail& mail : Mails)
            to.push_back(mail.To);
        return to;
    }
    std::vector<std::string> Opened;
    std::vector<TMail> Mails;
};

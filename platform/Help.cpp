#include "platform/Help.h"

#include "platform/AsciiText.h"
#include "platform/Launcher.h"

#include <QFileInfo>
#include <QPoint>
#include <QToolTip>

#include <fstream>
#include <mutex>
#include <sstream>

namespace {
std::mutex gLock;
THelpHandler gHandler;
std::string gHelpFile;
} // namespace

THelpHandler ApplicationHelpHandler()
{
    std::lock_guard guard(gLock);
    return gHandler;
}

void SetApplicationHelpHandler(THelpHandler handler)
{
    std::lock_guard guard(gLock);
    gHandler = std::move(handler);
}

std::string ApplicationHelpFile()
{
    std::lock_guard guard(gLock);
    return gHelpFile;
}

void SetApplicationHelpFile(const std::string& file)
{
    std::lock_guard guard(gLock);
    gHelpFile = file;
}

bool HelpCommand(std::uint16_t command, std::intptr_t data)
{
    const THelpHandler handler = ApplicationHelpHandler();
    bool callHelp = true;
    return handler ? handler(command, data, callHelp) : false;
}

bool LoadHtmlHelpLibrary()
{
    return true;
}

std::string PopupTopicText(const std::string& topicsFile, std::uint32_t id)
{
    std::ifstream in(topicsFile);
    std::string line, text;
    bool inTopic = false;
    while (std::getline(in, line)) {
        const std::string trimmed = Trim(line);
        if (trimmed.rfind(".topic", 0) == 0) {
            if (inTopic)
                break;
            std::istringstream words(trimmed.substr(6));
            std::uint32_t topic = 0;
            inTopic = static_cast<bool>(words >> topic) && topic == id;
            continue;
        }
        if (inTopic)
            text += (text.empty() ? "" : "\n") + Trim(line);
    }
    return Trim(text);
}

std::uintptr_t HtmlHelp(std::uintptr_t /*caller*/, const std::string& file, unsigned command, std::intptr_t data)
{
    switch (command) {
    case HH_DISPLAY_TOPIC:
    case HH_DISPLAY_TOC:
    case HH_DISPLAY_INDEX:
    case HH_HELP_CONTEXT:
        // The desktop's viewer opens the file; it cannot be told the topic.
        if (file.empty() || !QFileInfo(QString::fromStdString(file)).isFile())
            return 0;
        return Launcher().OpenDocument(file) ? 1 : 0;
    case HH_DISPLAY_TEXT_POPUP: {
        const auto* popup = reinterpret_cast<const THHPopup*>(data);
        if (!popup)
            return 0;
        std::string text = popup->Text;
        if (text.empty()) {
            // Only a topics file of its own can be read; one inside a compiled file cannot.
            const auto inside = file.find("::/");
            const std::string topics = inside == std::string::npos ? file : std::string();
            text = topics.empty() ? std::string() : PopupTopicText(topics, popup->StringId);
        }
        if (text.empty())
            return 0;
        QToolTip::showText(QPoint(popup->X, popup->Y), QString::fromStdString(text));
        return 1;
    }
    case HH_CLOSE_ALL:
        return 1; // the desktop's viewers are the user's to close
    default:
        return 0;
    }
}

bool WinHelp(std::uintptr_t, const std::string&, unsigned, std::intptr_t)
{
    return false;
}

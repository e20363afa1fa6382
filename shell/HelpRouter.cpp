#include "shell/HelpRouter.h"

#include "platform/Exception.h"

#include <QApplication>
#include <QCursor>
#include <QWidget>

THelpRouter* THelpRouter::FInstance = nullptr;

std::string ChangeFileExt(const std::string& file, const std::string& extension)
{
    const auto slash = file.find_last_of("/\\");
    const auto dot = file.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return file + extension;
    return file.substr(0, dot) + extension;
}

THelpRouter::THelpRouter(QObject* owner) : QObject(owner)
{
    if (FInstance)
        throw Exception("Multiple instances of THelpRouter are not allowed");
    setObjectName("HelpRouter");
    CursorPos = [] { return QCursor::pos(); };
    FPrevious = ApplicationHelpHandler();
    SetApplicationHelpHandler(
        [this](std::uint16_t command, std::intptr_t data, bool& callHelp) { return RouteHelp(command, data, callHelp); });
    FInstance = this;
}

THelpRouter::~THelpRouter()
{
    SetApplicationHelpHandler(FPrevious);
    if (FInstance == this)
        FInstance = nullptr;
}

QWidget* THelpRouter::GetActiveForm() const
{
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return qobject_cast<QWidget*>(parent());
}

std::uintptr_t THelpRouter::GetCallerHandle() const
{
    return reinterpret_cast<std::uintptr_t>(GetActiveForm());
}

std::string THelpRouter::GetHelpFile() const
{
    if (!Helpfile.empty())
        return Helpfile;
    if (const QWidget* form = GetActiveForm()) {
        const QVariant own = form->property("HelpFile");
        if (form->metaObject()->indexOfProperty("HelpFile") >= 0 && !own.toString().isEmpty())
            return own.toString().toStdString();
    }
    return ApplicationHelpFile();
}

bool THelpRouter::RouteHelp(std::uint16_t Command, std::intptr_t Data, bool& CallHelp)
{
    bool result = false;
    if (OnHelp)
        result = OnHelp(Command, Data, CallHelp);
    if (CallHelp && FPrevious)
        result = FPrevious(Command, Data, CallHelp);
    if (!CallHelp)
        return result;
    std::string file = GetHelpFile();
    if (ShowType == TShowType::stMain) {
        if (Command == HELP_CONTEXTPOPUP)
            Command = HELP_CONTEXT;
        else if (Command == HELP_SETPOPUP_POS)
            Command = 0;
    }
    const bool html = HelpType == THelpType::htHTMLhelp ||
                      (HelpType == THelpType::htMixedMode && Command != HELP_CONTEXTPOPUP &&
                       Command != HELP_SETPOPUP_POS);
    CallHelp = false;
    if (html) {
        file = ChangeFileExt(file, ".chm");
        switch (Command) {
        case HELP_CONTEXT: return HtmlHelp(0, file, HH_HELP_CONTEXT, Data) != 0;
        case HELP_QUIT: return HtmlHelp(0, "", HH_CLOSE_ALL, 0) != 0;
        case HELP_CONTENTS:
        case HELP_FINDER: return HtmlHelp(0, file, HH_DISPLAY_TOC, 0) != 0;
        case HELP_CONTEXTPOPUP: {
            if (FPopupPos.isNull())
                FPopupPos = CursorPos();
            ShowPopup(FPopupPos.x(), FPopupPos.y(), "", static_cast<std::uint32_t>(Data));
            FPopupPos = QPoint();
            return true;
        }
        case HELP_SETPOPUP_POS:
            FPopupPos = QPoint(static_cast<std::int16_t>(Data & 0xFFFF), static_cast<std::int16_t>((Data >> 16) & 0xFFFF));
            return false;
        case HELP_TAB: return HtmlHelp(0, file, Data != 0 ? HH_DISPLAY_INDEX : HH_DISPLAY_TOC, 0) != 0;
        case HELP_KEY:
        case HELP_PARTIALKEY: return HtmlHelp(0, file, HH_DISPLAY_INDEX, Data) != 0;
        default: return false;
        }
    }
    if (Command == 0)
        return true;
    if (Command == HELP_CONTEXTPOPUP && HelpType == THelpType::htMixedMode &&
        QString::fromStdString(CHMPopupTopics).toLower().endsWith(".hlp")) {
        const bool hasFolder = CHMPopupTopics.find_first_of("/\\") != std::string::npos;
        const auto slash = file.find_last_of("/\\");
        file = hasFolder ? CHMPopupTopics
                         : (slash == std::string::npos ? std::string() : file.substr(0, slash + 1)) + CHMPopupTopics;
    }
    return WinHelp(GetCallerHandle(), ChangeFileExt(file, ".hlp"), Command, Data);
}

bool THelpRouter::ShowPopup(int X, int Y, const std::string& Text, std::uint32_t ContextId)
{
    THHPopup popup;
    popup.StringId = Text.empty() ? ContextId : 0;
    popup.Text = Text;
    popup.X = X;
    popup.Y = Y;
    std::string file;
    if (popup.StringId) {
        if (CHMPopupTopics.empty())
            CHMPopupTopics = "CSHelp.txt";
        const bool hasFolder = CHMPopupTopics.find_first_of("/\\") != std::string::npos;
        file = hasFolder ? CHMPopupTopics : ChangeFileExt(GetHelpFile(), ".chm") + "::/" + CHMPopupTopics;
    }
    return HtmlHelp(GetCallerHandle(), file, HH_DISPLAY_TEXT_POPUP, reinterpret_cast<std::intptr_t>(&popup)) != 0;
}

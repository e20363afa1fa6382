#pragma once
// Takes over the application's help requests and sends them to the compiled
// HTML help file or to the old help viewer, by its HelpType.
#include "platform/Help.h"

#include <QObject>
#include <QPoint>

#include <functional>
#include <string>

class QWidget;

enum class THelpType : int { htWinhelp = 0, htHTMLhelp = 1, htMixedMode = 2 };
enum class TShowType : int { stDefault = 0, stMain = 1, stPopup = 2 };

class THelpRouter : public QObject {
    Q_OBJECT
public:
    // One router at a time: a second raises "Multiple instances of THelpRouter
    // are not allowed".
    explicit THelpRouter(QObject* owner);
    ~THelpRouter() override;

    THelpType HelpType = THelpType::htWinhelp;
    TShowType ShowType = TShowType::stDefault;
    std::string Helpfile;
    std::string CHMPopupTopics = "CSHelp.txt";
    bool ValidateID = false;
    // Asked first: (command, data, callHelp) -> result.
    THelpHandler OnHelp;

    bool RouteHelp(std::uint16_t Command, std::intptr_t Data, bool& CallHelp);
    virtual bool ShowPopup(int X, int Y, const std::string& Text, std::uint32_t ContextId);
    std::string GetHelpFile() const;
    QWidget* GetActiveForm() const;
    std::uintptr_t GetCallerHandle() const;

    static THelpRouter* Instance() { return FInstance; }

    // The mouse position, for a pop-up without a stored position (tests set it).
    std::function<QPoint()> CursorPos;

private:
    static THelpRouter* FInstance;
    THelpHandler FPrevious;
    QPoint FPopupPos;
};

// "name.ext" with another extension (".chm"); a name without one gets it.
std::string ChangeFileExt(const std::string& file, const std::string& extension);

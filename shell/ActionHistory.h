#pragma once
// One entry of the action history: what was done, details, when.
#include <QDateTime>

#include <string>

class TActionHistory {
public:
    TActionHistory(std::string action, std::string description)
        : Action(std::move(action)), Description(std::move(description)), Time(QDateTime::currentDateTime())
    {
    }
    std::string Action;
    std::string Description;
    QDateTime Time;
};

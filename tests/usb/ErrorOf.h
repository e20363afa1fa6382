#pragma once
// The message that an action raises, or "(nothing raised)".
#include "platform/Exception.h"

#include <functional>
#include <string>

inline std::string ErrorOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

#pragma once
// The forms in which the device link reports what it receives and how the
// link stands; shared by the serial and the USB link and the facade.
#include "platform/Object.h"

#include <cstdint>
#include <functional>
#include <string>

enum class TInterfaceType : int { itSerial = 0, itUSB = 1, itNone = 2 };
enum class TUploadReplyStatus : int { urUndefined = 0, urGoAhead = 1, urNotEnoughMenory = 2 };

// One message: the command byte and the data that follow it (may be empty).
using TReceiveEvent = std::function<void(TObject* Sender, char cmd, const std::string& data)>;
// The link came up (true) or went down (false).
using TConnectionEvent = std::function<void(TObject* Sender, bool verb_ok)>;
using TVerbindungsEvent = TConnectionEvent;
// The serial link's status word changed.
using TStatusEvent = std::function<void(TObject* Sender, std::int32_t status)>;
// A copy of message bytes for the communication monitor.
using TDebugmessage = std::function<void(const std::string& SMessage)>;

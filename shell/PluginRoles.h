#pragma once
// The four roles a plug-in library plays for the program, in one table that
// loading, calling and unloading walk: the role's name, the catalogue field
// that names its library, the text that names it in a load error, and the
// entries the data module looks up for it, each as the data module's slot
// (null where the role has no such entry). The table's order is the order of
// loading and unloading; the orders of the calls that reach every plug-in
// stand below it.
#include "pluginapi/PluginInterface.h"

#include <string>

class TDM;
class TDeviceStatus;

enum class TPluginRole { Status = 0, Parameter = 1, Firmware = 2, Extended = 3 };

struct TPluginRoleRow {
    TPluginRole Role;
    // The role's word in the lines that name a crashing plug-in.
    const char* Name;
    // The catalogue entry's library of the role (empty: the role is absent).
    std::string (TDeviceStatus::*Path)() const;
    // The data module's text that names the role in a load error.
    const char* RoleText;
    // InitDLL right after loading also while no link exists.
    bool InitWithoutLink;
    // The entries, in the order they are looked up.
    TFirmwareUpload TDM::*FirmwareUpload;
    TInitDLL TDM::*InitDLL;
    TShowStatus TDM::*ShowStatus;
    TCloseStatus TDM::*CloseStatus;
    TUnloadDLL TDM::*UnloadDLL;
    TShowDialog TDM::*ShowDialog;
    TOnReceiveData TDM::*OnReceiveData;
    TOnConnectionChanged TDM::*OnConnectionChanged;
    TGetParameterObject TDM::*GetParameterObject;
    TSetParameter TDM::*SetParameter;
};

// Indexed by the role; in loading order: status, parameter, firmware,
// extended.
extern const TPluginRoleRow PluginRoles[4];

inline const TPluginRoleRow& PluginRole(TPluginRole role)
{
    return PluginRoles[static_cast<int>(role)];
}

// Every plug-in hears each connection change and each received message, in
// this order.
inline constexpr TPluginRole PluginBroadcastOrder[] = {TPluginRole::Firmware, TPluginRole::Parameter,
                                                       TPluginRole::Extended, TPluginRole::Status};
// After the broadcast of a connection change the link is handed over again,
// in this order: InitDLL, and to the status plug-in ShowStatus.
inline constexpr TPluginRole PluginHandOverOrder[] = {TPluginRole::Parameter, TPluginRole::Extended,
                                                      TPluginRole::Status};

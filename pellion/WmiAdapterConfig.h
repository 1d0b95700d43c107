// The Windows way of configuring an adapter through WMI: the instance of
// Win32_NetworkAdapterConfiguration whose SettingID is the adapter's GUID text.
#pragma once

#include "platform/records/WinTypes.h"

namespace pellion {

class WmiAdapterConfig {
public:
    // "EnableStatic" with the address and mask ("255.255.255.0" when none),
    // then "SetGateways" when a gateway is given; "EnableDHCP" when `ip` is
    // null. True when every call was accepted.
    static bool SetAddress(const plat::GUID& adapter, const char* ip, const char* mask,
                           const char* gateway);
};

}  // namespace pellion

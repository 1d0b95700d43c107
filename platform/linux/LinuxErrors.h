// Windows error codes for the errno values the Linux backend meets.
#pragma once

#include "platform/records/WinTypes.h"

namespace plat {

constexpr DWORD kErrorGenFailure = 31;
constexpr DWORD kErrorNetworkUnreachable = 1231;

// 0 for 0; the nearest Windows code for an errno value, 31 when none is near.
DWORD WindowsCode(int e);

}  // namespace plat

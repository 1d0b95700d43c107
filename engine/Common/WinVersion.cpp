#include "WinVersion.h"

#include "platform/Backend.h"
#include "platform/Platform.h"

using plat::DWORD;

bool IsWindowsVersionOrGreater(DWORD major, DWORD minor, DWORD servicePack) {
    const plat::OsVersion v = plat::Platform::Current().Os().Version();
    if (v.major != major)
        return v.major > major;
    if (v.minor != minor)
        return v.minor > minor;
    return v.servicePackMajor >= servicePack;
}

bool IsWindowsServer() {
    constexpr plat::BYTE kVerNtWorkstation = 1;
    return plat::Platform::Current().Os().Version().productType != kVerNtWorkstation;
}

bool GetWindowsEdition(DWORD* edition) {
    return plat::Platform::Current().Os().ProductInfo(edition);
}

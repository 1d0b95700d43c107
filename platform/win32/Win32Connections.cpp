#include "Win32Connections.h"

#include <windows.h>

#include "../Backend.h"
#include "../Platform.h"

namespace plat {

HRESULT Win32Connections::Enumerate(std::vector<NetconProperties>* out) {
    if (out == nullptr)
        return kEPointer;
    out->clear();
    std::vector<AdapterInfo> adapters;
    const DWORD e = Platform::Current().Net().Adapters(&adapters);
    if (e != 0)
        return HresultFromWin32(e);
    for (const auto& a : adapters) {
        if (a.ifType == kIfTypeLoopback)
            continue;
        NetconProperties p;
        p.guidId = a.guid;
        p.name = a.friendlyName;
        p.deviceName = a.description;
        p.status = a.up ? 2 : 0;
        p.mediaType = a.ifType == kIfTypePpp ? 4 : a.ifType == kIfTypeTunnel ? 5 : 3;
        out->push_back(p);
    }
    return kSOk;
}

HRESULT Win32Connections::BindFreeProperties() {
    ::HMODULE netshell = ::LoadLibraryW(L"netshell.dll");
    if (netshell == nullptr)
        return HresultFromWin32(::GetLastError());
    const bool found = ::GetProcAddress(netshell, "NcFreeNetconProperties") != nullptr;
    const DWORD error = ::GetLastError();
    ::FreeLibrary(netshell);
    return found ? kSOk : HresultFromWin32(error);
}

}  // namespace plat

#include "Win32Connections.h"

#include <windows.h>

#include "platform/common/AdapterConnections.h"

namespace plat {

HRESULT Win32Connections::Enumerate(std::vector<NetconProperties>* out) {
    return AdapterConnections::Enumerate(out);
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

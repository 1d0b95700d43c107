// Windows scalar types and the records that cross the run-time bound library
// boundaries, declared by the project with their documented layouts so the same
// declarations serve the simulated PC, Linux and Windows.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define LUMARI_WINAPI __stdcall
#else
#define LUMARI_WINAPI
#endif

namespace plat {

using DWORD = std::uint32_t;
using ULONG = std::uint32_t;  // Windows' unsigned long is 32 bits on every target
using LONG = std::int32_t;
using BOOL = std::int32_t;
using UINT = std::uint32_t;
using USHORT = std::uint16_t;
using BYTE = std::uint8_t;
using UCHAR = std::uint8_t;
using HRESULT = std::int32_t;
#if defined(_WIN32)
using WCHAR = wchar_t;
#else
using WCHAR = char16_t;  // UTF-16 code unit, as on Windows
#endif
using HANDLE = void*;
using HMODULE = void*;
using PVOID = void*;
using LPCWSTR = const WCHAR*;
using LPWSTR = WCHAR*;
using FARPROC = void (*)();

constexpr BOOL TRUE_ = 1;
constexpr BOOL FALSE_ = 0;

// Windows error codes the project relies on.
constexpr DWORD kErrorSuccess = 0;
constexpr DWORD kErrorInvalidFunction = 1;
constexpr DWORD kErrorFileNotFound = 2;
constexpr DWORD kErrorAccessDenied = 5;
constexpr DWORD kErrorInvalidHandle = 6;
constexpr DWORD kErrorNotEnoughMemory = 8;
constexpr DWORD kErrorNotSupported = 50;
constexpr DWORD kErrorInvalidParameter = 87;
constexpr DWORD kErrorInsufficientBuffer = 122;
constexpr DWORD kErrorModNotFound = 126;
constexpr DWORD kErrorProcNotFound = 127;
constexpr DWORD kErrorAlreadyExists = 183;
constexpr DWORD kErrorMoreData = 234;
constexpr DWORD kErrorNoMoreItems = 259;
constexpr DWORD kErrorServiceDoesNotExist = 1060;
constexpr DWORD kErrorServiceNotActive = 1062;
constexpr DWORD kErrorNotFound = 1168;
constexpr DWORD kErrorInvalidState = 5023;
constexpr DWORD kErrorBufferOverflow = 111;
constexpr DWORD kErrorBusy = 170;
constexpr DWORD kErrorNoData = 232;
// The class installer's answer to a 32-bit process on a 64-bit system.
constexpr DWORD kErrorInWow64 = 0xE0000235u;

constexpr HRESULT kSOk = 0;
constexpr HRESULT kSFalse = 1;
constexpr HRESULT kENotImpl = static_cast<HRESULT>(0x80004001u);
constexpr HRESULT kEPointer = static_cast<HRESULT>(0x80004003u);
constexpr HRESULT kEFail = static_cast<HRESULT>(0x80004005u);
constexpr HRESULT kEHandle = static_cast<HRESULT>(0x80070006u);
constexpr HRESULT kEInvalidArg = static_cast<HRESULT>(0x80070057u);
constexpr HRESULT kEAccessDenied = static_cast<HRESULT>(0x80070005u);
constexpr HRESULT kWbemEAccessDenied = static_cast<HRESULT>(0x80041003u);
constexpr HRESULT HresultFromWin32(DWORD e) {
    return e == 0 ? 0 : static_cast<HRESULT>((e & 0x0000FFFFu) | 0x80070000u);
}

// GUID with the Windows layout (16 bytes).
struct GUID {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};
static_assert(sizeof(GUID) == 16);

inline bool operator==(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}
inline bool operator!=(const GUID& a, const GUID& b) {
    return !(a == b);
}
inline bool operator<(const GUID& a, const GUID& b) {
    if (a.Data1 != b.Data1)
        return a.Data1 < b.Data1;
    if (a.Data2 != b.Data2)
        return a.Data2 < b.Data2;
    if (a.Data3 != b.Data3)
        return a.Data3 < b.Data3;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return a.Data4[i] < b.Data4[i];
    return false;
}

constexpr GUID GUID_NULL_ = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// FILETIME: 100-nanosecond intervals since 1601-01-01 UTC.
struct FILETIME {
    DWORD dwLowDateTime;
    DWORD dwHighDateTime;
};

}  // namespace plat

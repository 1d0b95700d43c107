#include "Win32Api.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <sys/syscall.h>
#include <unistd.h>
#endif

#include "DebugOutput.h"
#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/TextCodec.h"

namespace plat {

namespace {
thread_local DWORD t_lastError = 0;
}

DWORD GetLastError() {
    return t_lastError;
}
void SetLastError(DWORD error) {
    t_lastError = error;
}

HMODULE LoadLibraryW(const wchar_t* name) {
    if (name == nullptr) {
        SetLastError(kErrorInvalidParameter);
        return nullptr;
    }
    return Platform::Current().Modules().Load(name);
}

void* GetProcAddress(HMODULE module, const char* name) {
    if (module == nullptr || name == nullptr) {
        SetLastError(kErrorInvalidHandle);
        return nullptr;
    }
    return Platform::Current().Modules().Find(module, name);
}

BOOL FreeLibrary(HMODULE module) {
    if (module == nullptr)
        return FALSE_;
    return Platform::Current().Modules().Free(module) ? TRUE_ : FALSE_;
}

DWORD GetCurrentThreadId() {
#if defined(_WIN32)
    return ::GetCurrentThreadId();
#else
    return static_cast<DWORD>(::syscall(SYS_gettid));
#endif
}

void OutputDebugStringA(const char* text) {
    if (text != nullptr)
        DebugOutput::Instance().Write(std::string(text));
}

void OutputDebugStringW(const wchar_t* text) {
    if (text != nullptr)
        DebugOutput::Instance().Write(std::wstring(text));
}

std::string GetModuleFileNameA() {
    return Platform::Current().Os().ModuleFileName();
}

std::string GetComputerNameA() {
    return Platform::Current().Os().ComputerName();
}

std::FILE* _wfopen(const wchar_t* path, const wchar_t* mode) {
    if (path == nullptr || mode == nullptr)
        return nullptr;
#if defined(_WIN32)
    return ::_wfopen(path, mode);
#else
    std::string narrowPath;
    std::string narrowMode;
    if (!TextCodec::WideToUtf8(path, &narrowPath) || !TextCodec::WideToUtf8(mode, &narrowMode))
        return nullptr;
    return std::fopen(narrowPath.c_str(), narrowMode.c_str());
#endif
}

}  // namespace plat

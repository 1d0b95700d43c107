// The Windows functions the engine calls by their Windows names, answered by
// the installed backend. The code above the seam reads as it would on Windows.
#pragma once

#include <cstdio>
#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

DWORD GetLastError();
void SetLastError(DWORD error);

HMODULE LoadLibraryW(const wchar_t* name);
void* GetProcAddress(HMODULE module, const char* name);
BOOL FreeLibrary(HMODULE module);

// The system's id of the calling thread.
DWORD GetCurrentThreadId();

void OutputDebugStringA(const char* text);
void OutputDebugStringW(const wchar_t* text);

// The full path of the running program.
std::string GetModuleFileNameA();
std::string GetComputerNameA();

// _wfopen: opens a file named by a wide path, whatever the system's code
// page (elsewhere than Windows the path goes to the file system as UTF-8).
std::FILE* _wfopen(const wchar_t* path, const wchar_t* mode);

// Binds a function pointer of the exact type by name; null when absent.
template <class F>
F GetProcAddressAs(HMODULE module, const char* name) {
    return reinterpret_cast<F>(GetProcAddress(module, name));
}

}  // namespace plat

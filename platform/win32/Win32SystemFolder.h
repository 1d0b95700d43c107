// The system folder (System32) and the system's own programs and libraries
// in it. An elevated program must not take "cmd.exe" or "wlanapi.dll" from
// its own folder or the current one, which Windows searches first: a copy
// planted there would run with administrator rights.
#pragma once

#include <string>

namespace plat {

class Win32SystemFolder {
public:
    // The system folder, without a trailing backslash; empty when unknown.
    static std::wstring Path();
    // The full path of `name` in the system folder when `name` has no folder
    // of its own and the system has such a file; empty otherwise.
    static std::wstring File(const std::wstring& name);
};

}  // namespace plat

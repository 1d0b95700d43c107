// The system registry: keys under predefined roots holding named values.
#pragma once

#include <string>
#include <vector>

#include "platform/records/WinTypes.h"

namespace plat {

enum class RegRoot { LocalMachine, CurrentUser };

constexpr DWORD kRegSz = 1;
constexpr DWORD kRegBinary = 3;
constexpr DWORD kRegDword = 4;

struct RegValue {
    DWORD type = 0;
    std::vector<BYTE> data;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Key paths use backslashes; comparison ignores case. Results are Windows codes.
    virtual LONG CreateKey(RegRoot root, const std::string& path) = 0;
    virtual bool KeyExists(RegRoot root, const std::string& path) = 0;
    virtual LONG QueryValue(RegRoot root, const std::string& path, const std::string& name,
                            RegValue* out) = 0;
    virtual LONG SetValue(RegRoot root, const std::string& path, const std::string& name,
                          const RegValue& value) = 0;
    virtual LONG DeleteValue(RegRoot root, const std::string& path, const std::string& name) = 0;
};

}  // namespace plat

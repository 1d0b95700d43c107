// Text forms of a GUID: the registry form with braces, upper-case hexadecimal
// ("{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}"), and its parser.
#pragma once

#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

class GuidText {
public:
    static std::string ToString(const GUID& guid);
    static std::wstring ToWString(const GUID& guid);
    // Accepts the registry form with or without braces, either case of digits.
    static bool Parse(const std::string& text, GUID* out);
    static bool Parse(const std::wstring& text, GUID* out);
    static bool IsNull(const GUID& guid);
    // A stable GUID derived from a name (used by the Linux backend to name its
    // network interfaces, which have no GUID of their own).
    static GUID FromName(const std::string& name);
};

}  // namespace plat

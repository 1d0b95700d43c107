// Text in a Windows code page, converted strictly through the system's tables:
// a byte sequence the code page does not define, or a character it cannot
// carry, fails the conversion. Nothing is approximated, so a network name the
// code page cannot carry is refused rather than sent out as "??".
#pragma once

#include <string>

namespace plat {

class Win32CodePage {
public:
    static bool ToWide(unsigned codePage, const std::string& in, std::wstring* out);
    static bool FromWide(unsigned codePage, const std::wstring& in, std::string* out);
};

}  // namespace plat

// The simulated PC's ANSI code page 936 (simplified Chinese, the one the
// program's users mostly run), converted strictly: a sequence the code page
// does not define, or a character it cannot carry, fails the conversion and
// nothing is approximated. Built for Windows, the system's own tables convert;
// elsewhere iconv's CP936.
#pragma once

#include <string>

namespace plat {

class SimCodePage {
public:
    static constexpr unsigned kChinese = 936;

    static bool ChineseToWide(const std::string& in, std::wstring* out);
    static bool WideToChinese(const std::wstring& in, std::string* out);
};

}  // namespace plat

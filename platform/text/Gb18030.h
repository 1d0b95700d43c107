// GB18030, the Chinese national encoding in which the window's settings
// record keeps the network's name, whatever the system's code page. It covers
// all of Unicode, so only malformed input fails. Windows converts with its
// code page 54936, Linux with the C library's iconv: a program built without
// ICU (Qt on Windows) has no GB18030 of its own.
#pragma once

#include <string>

namespace plat {

class Gb18030 {
public:
    // False on invalid UTF-8 (a lone surrogate, a cut sequence); `out` is
    // left alone then.
    static bool FromUtf8(const std::string& utf8, std::string* out);
    // Byte sequences that are not GB18030 become U+FFFD, the rest is kept.
    static std::string ToUtf8(const std::string& gb18030);
    // Whether all of GB18030 is there: false on a Windows without its code
    // page, where only GBK's characters (every common Chinese one) convert.
    static bool Complete();
};

}  // namespace plat

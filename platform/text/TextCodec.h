// Conversions between UTF-8, the wide strings of the engine (wchar_t) and the
// UTF-16 text inside Windows records (WCHAR).
#pragma once

#include <cstddef>
#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

class TextCodec {
public:
    // Invalid UTF-8 sequences become U+FFFD.
    static std::wstring Utf8ToWide(const std::string& utf8);
    // Strict form: false on an invalid sequence.
    static bool Utf8ToWide(const std::string& utf8, std::wstring* out);
    static std::string WideToUtf8(const std::wstring& wide);
    static bool WideToUtf8(const std::wstring& wide, std::string* out);
    // UTF-16 record fields (NUL-terminated within `capacity` units).
    static std::wstring FromWchars(const WCHAR* text, std::size_t capacity);
    static void ToWchars(const std::wstring& text, WCHAR* out, std::size_t capacity);
    static std::u16string ToUtf16(const std::wstring& text);
};

}  // namespace plat

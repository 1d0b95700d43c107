#include "TextCodec.h"

namespace plat {

namespace {
constexpr char32_t kReplacement = 0xFFFD;

// Decodes one code point; returns false on an invalid sequence (advancing one byte).
bool Decode(const std::string& s, std::size_t& i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        cp = b0;
        ++i;
        return true;
    }
    int len;
    char32_t min;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
        min = 0x80;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
        min = 0x800;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
        min = 0x10000;
    } else {
        ++i;
        return false;
    }
    if (i + static_cast<std::size_t>(len) > s.size()) {
        ++i;
        return false;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + static_cast<std::size_t>(k)]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return false;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return false;
    }
    i += static_cast<std::size_t>(len);
    return true;
}

void AppendWide(std::wstring& out, char32_t cp) {
    if constexpr (sizeof(wchar_t) == 2) {
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (cp & 0x3FF)));
            return;
        }
    }
    out.push_back(static_cast<wchar_t>(cp));
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Reads one code point from wide text, joining surrogate pairs.
bool NextWide(const std::wstring& w, std::size_t& i, char32_t& cp) {
    char32_t c = static_cast<char32_t>(w[i++]);
    if (c >= 0xD800 && c <= 0xDBFF && i < w.size()) {
        const char32_t lo = static_cast<char32_t>(w[i]);
        if (lo >= 0xDC00 && lo <= 0xDFFF) {
            ++i;
            cp = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
            return true;
        }
    }
    if ((c >= 0xD800 && c <= 0xDFFF) || c > 0x10FFFF) {
        cp = kReplacement;
        return false;
    }
    cp = c;
    return true;
}
}  // namespace

std::wstring TextCodec::Utf8ToWide(const std::string& utf8) {
    std::wstring out;
    out.reserve(utf8.size());
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        if (!Decode(utf8, i, cp))
            cp = kReplacement;
        AppendWide(out, cp);
    }
    return out;
}

bool TextCodec::Utf8ToWide(const std::string& utf8, std::wstring* out) {
    std::wstring result;
    std::size_t i = 0;
    while (i < utf8.size()) {
        char32_t cp;
        if (!Decode(utf8, i, cp))
            return false;
        AppendWide(result, cp);
    }
    if (out != nullptr)
        *out = std::move(result);
    return true;
}

std::string TextCodec::WideToUtf8(const std::wstring& wide) {
    std::string out;
    out.reserve(wide.size());
    std::size_t i = 0;
    while (i < wide.size()) {
        char32_t cp;
        NextWide(wide, i, cp);
        AppendUtf8(out, cp);
    }
    return out;
}

bool TextCodec::WideToUtf8(const std::wstring& wide, std::string* out) {
    std::string result;
    std::size_t i = 0;
    while (i < wide.size()) {
        char32_t cp;
        if (!NextWide(wide, i, cp))
            return false;
        AppendUtf8(result, cp);
    }
    if (out != nullptr)
        *out = std::move(result);
    return true;
}

std::wstring TextCodec::FromWchars(const WCHAR* text, std::size_t capacity) {
    std::wstring out;
    if (text == nullptr)
        return out;
    std::size_t n = 0;
    while (n < capacity && text[n] != 0)
        ++n;
    std::size_t i = 0;
    while (i < n) {
        char32_t c = static_cast<char32_t>(text[i++]);
        if (c >= 0xD800 && c <= 0xDBFF && i < n) {
            const char32_t lo = static_cast<char32_t>(text[i]);
            if (lo >= 0xDC00 && lo <= 0xDFFF) {
                ++i;
                c = 0x10000 + ((c - 0xD800) << 10) + (lo - 0xDC00);
            }
        }
        AppendWide(out, c);
    }
    return out;
}

std::u16string TextCodec::ToUtf16(const std::wstring& text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp;
        NextWide(text, i, cp);
        if (cp >= 0x10000) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

void TextCodec::ToWchars(const std::wstring& text, WCHAR* out, std::size_t capacity) {
    if (out == nullptr || capacity == 0)
        return;
    const std::u16string u = ToUtf16(text);
    std::size_t n = u.size() < capacity - 1 ? u.size() : capacity - 1;
    for (std::size_t i = 0; i < n; ++i)
        out[i] = static_cast<WCHAR>(u[i]);
    out[n] = 0;
}

}  // namespace plat

#include "Win32CodePage.h"

#include <windows.h>

namespace plat {

bool Win32CodePage::ToWide(unsigned codePage, const std::string& in, std::wstring* out) {
    if (in.empty()) {
        if (out != nullptr)
            out->clear();
        return true;
    }
    const int size = static_cast<int>(in.size());
    const int n =
        ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, nullptr, 0);
    if (n <= 0)
        return false;
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    if (::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, in.data(), size, w.data(), n) != n)
        return false;
    if (out != nullptr)
        *out = std::move(w);
    return true;
}

bool Win32CodePage::FromWide(unsigned codePage, const std::wstring& in, std::string* out) {
    if (in.empty()) {
        if (out != nullptr)
            out->clear();
        return true;
    }
    const int size = static_cast<int>(in.size());
    if (codePage == CP_ACP)
        codePage = ::GetACP();  // which may be UTF-8 itself
    // UTF-8 takes neither flag nor the "default character used" report; it
    // fails on a lone surrogate through WC_ERR_INVALID_CHARS instead.
    const bool utf8 = codePage == CP_UTF8;
    const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lossy = FALSE;
    BOOL* lossyOut = utf8 ? nullptr : &lossy;
    const int n =
        ::WideCharToMultiByte(codePage, flags, in.data(), size, nullptr, 0, nullptr, lossyOut);
    if (n <= 0 || lossy)
        return false;
    std::string s(static_cast<std::size_t>(n), '\0');
    if (::WideCharToMultiByte(codePage, flags, in.data(), size, s.data(), n, nullptr, lossyOut) !=
            n ||
        lossy)
        return false;
    if (out != nullptr)
        *out = std::move(s);
    return true;
}

}  // namespace plat

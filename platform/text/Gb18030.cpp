#include "Gb18030.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>

#include <cerrno>
#endif

namespace plat {

#if defined(_WIN32)

namespace {
constexpr UINT kGb18030 = 54936;
constexpr UINT kGbk = 936;

// Windows has had GB18030 since XP; a system without it (Wine before 9)
// falls back to GBK, GB18030's two-byte part, which holds every Chinese
// character a name is likely to have. There a character beyond GBK is
// refused rather than written in another encoding.
UINT NameCodePage() {
    static const UINT page = ::IsValidCodePage(kGb18030) ? kGb18030 : kGbk;
    return page;
}

bool ToWide(UINT codePage, DWORD flags, const std::string& in, std::wstring* out) {
    const int size = static_cast<int>(in.size());
    const int n = ::MultiByteToWideChar(codePage, flags, in.data(), size, nullptr, 0);
    if (n <= 0)
        return false;
    out->assign(static_cast<std::size_t>(n), L'\0');
    return ::MultiByteToWideChar(codePage, flags, in.data(), size, out->data(), n) == n;
}

bool FromWide(UINT codePage, DWORD flags, const std::wstring& in, std::string* out) {
    const int size = static_cast<int>(in.size());
    const int n =
        ::WideCharToMultiByte(codePage, flags, in.data(), size, nullptr, 0, nullptr, nullptr);
    if (n <= 0)
        return false;
    out->assign(static_cast<std::size_t>(n), '\0');
    return ::WideCharToMultiByte(codePage, flags, in.data(), size, out->data(), n, nullptr,
                                 nullptr) == n;
}
}  // namespace

bool Gb18030::FromUtf8(const std::string& utf8, std::string* out) {
    if (utf8.empty()) {
        out->clear();
        return true;
    }
    std::wstring wide;
    std::string bytes;
    if (!ToWide(CP_UTF8, MB_ERR_INVALID_CHARS, utf8, &wide))
        return false;
    if (NameCodePage() == kGb18030) {
        if (!FromWide(kGb18030, WC_ERR_INVALID_CHARS, wide, &bytes))
            return false;
    } else {
        // GBK's one byte 0x80 (the euro sign) is no GB18030; any character
        // GBK lacks would come out as the default character.
        BOOL lossy = FALSE;
        const int size = static_cast<int>(wide.size());
        const int n = ::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), size, nullptr,
                                            0, nullptr, &lossy);
        if (n <= 0 || lossy)
            return false;
        bytes.assign(static_cast<std::size_t>(n), '\0');
        if (::WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide.data(), size, bytes.data(), n,
                                  nullptr, &lossy) != n ||
            lossy || bytes.find('\x80') != std::string::npos)
            return false;
    }
    *out = std::move(bytes);
    return true;
}

bool Gb18030::Complete() {
    return NameCodePage() == kGb18030;
}

std::string Gb18030::ToUtf8(const std::string& gb18030) {
    std::wstring wide;
    std::string utf8;
    // Without MB_ERR_INVALID_CHARS, what is not GB18030 becomes U+FFFD.
    if (gb18030.empty() || !ToWide(NameCodePage(), 0, gb18030, &wide) ||
        !FromWide(CP_UTF8, 0, wide, &utf8))
        return {};
    return utf8;
}

#else

namespace {

// One iconv conversion, released with the object.
class Converter {
public:
    Converter(const char* to, const char* from) : m_cd(iconv_open(to, from)) {}
    ~Converter() {
        if (m_cd != reinterpret_cast<iconv_t>(-1))
            iconv_close(m_cd);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    // Converts `in`; an invalid or cut sequence either fails the whole
    // conversion or, with a `replacement`, is written as it and skipped one
    // byte at a time.
    bool Run(const std::string& in, std::string* out, const std::string* replacement) {
        if (m_cd == reinterpret_cast<iconv_t>(-1))
            return false;
        std::string result;
        char buffer[256];
        char* src = const_cast<char*>(in.data());
        std::size_t left = in.size();
        while (left > 0) {
            char* dst = buffer;
            std::size_t room = sizeof buffer;
            const std::size_t n = iconv(m_cd, &src, &left, &dst, &room);
            result.append(buffer, static_cast<std::size_t>(dst - buffer));
            if (n != static_cast<std::size_t>(-1))
                continue;
            if (errno == E2BIG)
                continue;
            if (replacement == nullptr)
                return false;
            result += *replacement;  // EILSEQ or EINVAL: one byte skipped
            ++src;
            --left;
            iconv(m_cd, nullptr, nullptr, nullptr, nullptr);
        }
        char* dst = buffer;
        std::size_t room = sizeof buffer;
        if (iconv(m_cd, nullptr, nullptr, &dst, &room) == static_cast<std::size_t>(-1))
            return false;
        result.append(buffer, static_cast<std::size_t>(dst - buffer));
        *out = std::move(result);
        return true;
    }

private:
    iconv_t m_cd;
};

}  // namespace

bool Gb18030::Complete() {
    return true;
}

bool Gb18030::FromUtf8(const std::string& utf8, std::string* out) {
    Converter converter("GB18030", "UTF-8");
    return converter.Run(utf8, out, nullptr);
}

std::string Gb18030::ToUtf8(const std::string& gb18030) {
    static const std::string kReplacement = "\xEF\xBF\xBD";
    Converter converter("UTF-8", "GB18030");
    std::string out;
    if (!converter.Run(gb18030, &out, &kReplacement))
        return {};
    return out;
}

#endif

}  // namespace plat

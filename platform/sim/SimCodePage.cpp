#include "SimCodePage.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#endif

#include <cerrno>

#include "platform/text/TextCodec.h"

namespace plat {

#if defined(_WIN32)
bool SimCodePage::ChineseToWide(const std::string& in, std::wstring* out) {
    if (in.empty()) {
        if (out != nullptr)
            out->clear();
        return true;
    }
    const int size = static_cast<int>(in.size());
    const int n = MultiByteToWideChar(SimCodePage::kChinese, MB_ERR_INVALID_CHARS, in.data(), size,
                                      nullptr, 0);
    if (n <= 0)
        return false;
    std::wstring w(static_cast<std::size_t>(n), L'\0');
    if (MultiByteToWideChar(SimCodePage::kChinese, MB_ERR_INVALID_CHARS, in.data(), size, w.data(),
                            n) != n)
        return false;
    if (out != nullptr)
        *out = std::move(w);
    return true;
}

bool SimCodePage::WideToChinese(const std::wstring& in, std::string* out) {
    if (in.empty()) {
        if (out != nullptr)
            out->clear();
        return true;
    }
    const int size = static_cast<int>(in.size());
    BOOL lossy = FALSE;
    const int n = WideCharToMultiByte(SimCodePage::kChinese, WC_NO_BEST_FIT_CHARS, in.data(), size,
                                      nullptr, 0, nullptr, &lossy);
    if (n <= 0 || lossy)
        return false;
    std::string s(static_cast<std::size_t>(n), '\0');
    if (WideCharToMultiByte(SimCodePage::kChinese, WC_NO_BEST_FIT_CHARS, in.data(), size, s.data(),
                            n, nullptr, &lossy) != n ||
        lossy)
        return false;
    if (out != nullptr)
        *out = std::move(s);
    return true;
}
#else
namespace {

// Converts `in` between two encodings; false on a sequence the source does not
// define or a character the target cannot carry.
bool Recode(const char* from, const char* to, const std::string& in, std::string* out) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return false;
    std::string result;
    std::string input = in;
    char* src = input.data();
    std::size_t srcLeft = input.size();
    char buffer[256];
    bool ok = true;
    while (srcLeft > 0) {
        char* dst = buffer;
        std::size_t dstLeft = sizeof buffer;
        const std::size_t r = iconv(cd, &src, &srcLeft, &dst, &dstLeft);
        result.append(buffer, static_cast<std::size_t>(dst - buffer));
        if (r == static_cast<std::size_t>(-1) && errno != E2BIG) {
            ok = false;  // EILSEQ or EINVAL (a sequence cut short)
            break;
        }
    }
    iconv_close(cd);
    if (ok && out != nullptr)
        *out = result;
    return ok;
}

}  // namespace

bool SimCodePage::ChineseToWide(const std::string& in, std::wstring* out) {
    std::string utf8;
    return Recode("CP936", "UTF-8", in, &utf8) && TextCodec::Utf8ToWide(utf8, out);
}

bool SimCodePage::WideToChinese(const std::wstring& in, std::string* out) {
    std::string utf8;
    return TextCodec::WideToUtf8(in, &utf8) && Recode("UTF-8", "CP936", utf8, out);
}
#endif

}  // namespace plat

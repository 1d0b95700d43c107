#include "SimCodePage.h"

#if defined(_WIN32)
#include "platform/win32/Win32CodePage.h"
#else
#include <iconv.h>
#endif

#include <cerrno>

#include "platform/text/TextCodec.h"

namespace plat {

#if defined(_WIN32)
bool SimCodePage::ChineseToWide(const std::string& in, std::wstring* out) {
    return Win32CodePage::ToWide(kChinese, in, out);
}

bool SimCodePage::WideToChinese(const std::wstring& in, std::string* out) {
    return Win32CodePage::FromWide(kChinese, in, out);
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

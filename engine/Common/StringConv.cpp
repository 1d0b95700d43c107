#include "StringConv.h"

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/TextCodec.h"

bool AnsiToWide(const std::string& text, std::wstring* out) {
    return plat::Platform::Current().Os().AnsiToWide(text, out);
}

bool WideToAnsi(const std::wstring& text, std::string* out) {
    return plat::Platform::Current().Os().WideToAnsi(text, out);
}

std::wstring AnsiToWide(const std::string& text) {
    std::wstring out;
    if (!AnsiToWide(text, &out))
        out.clear();
    return out;
}

std::string WideToAnsi(const std::wstring& text) {
    std::string out;
    if (!WideToAnsi(text, &out))
        out.clear();
    return out;
}

std::string WideToUtf8(const std::wstring& text) {
    return plat::TextCodec::WideToUtf8(text);
}

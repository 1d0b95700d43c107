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

std::string WideToAnsiReplacing(const std::wstring& text) {
    std::string out;
    if (WideToAnsi(text, &out))
        return out;
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        // A character outside the basic plane is a surrogate pair where wchar_t is 16 bits.
        std::size_t length = 1;
        if (sizeof(wchar_t) == 2 && i + 1 < text.size() && text[i] >= 0xD800 && text[i] <= 0xDBFF)
            length = 2;
        std::string piece;
        out += WideToAnsi(text.substr(i, length), &piece) ? piece : std::string("?");
        i += length - 1;
    }
    return out;
}

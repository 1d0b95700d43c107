// Conversions between the engine's wide strings and narrow strings with the
// thread's ANSI code page, and with UTF-8.
#pragma once

#include <string>

std::wstring AnsiToWide(const std::string& text);
std::string WideToAnsi(const std::wstring& text);
// Strict forms: false when the code page cannot represent the text.
bool AnsiToWide(const std::string& text, std::wstring* out);
bool WideToAnsi(const std::wstring& text, std::string* out);
std::string WideToUtf8(const std::wstring& text);
// As the system converts for display: each character the code page cannot
// represent becomes '?', the rest is kept.
std::string WideToAnsiReplacing(const std::wstring& text);

// The maker's enciphered settings store: a file of sections and keys whose
// values are kept enciphered. Portable, the same on every backend. Results are
// Windows codes: 0 found or written; 2 no such file; 1168 no such key; 122 the
// buffer is too small (*size then holds the size needed, terminator included);
// 13 the file or the value is damaged; 87 a bad argument.
#pragma once

#include <map>
#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

int GetCipherStrVal(const char* file, const char* key, const char* section, char* buffer,
                    DWORD* size);
int SetCipherStrVal(const char* file, const char* key, const char* section, const char* value);

// The file format behind the two functions, exposed for tests and fuzzing.
class Osmira {
public:
    using Section = std::map<std::string, std::string>;  // key -> enciphered text
    using Document = std::map<std::string, Section>;

    static constexpr std::size_t kMaxFileBytes = 1 << 20;

    // Parses the text of a settings file; lines that do not parse are skipped.
    static Document Parse(const std::string& text);
    static std::string Format(const Document& doc);
    // Enciphers a value for (section, key); the text is hexadecimal.
    static std::string Encipher(const std::string& section, const std::string& key,
                                const std::string& plain);
    // False when the text is not a value enciphered for (section, key).
    static bool Decipher(const std::string& section, const std::string& key,
                         const std::string& cipher, std::string* plain);
    // Section and key names may not hold line breaks, '=', '[' or ']'.
    static bool ValidName(const std::string& name);
};

}  // namespace plat

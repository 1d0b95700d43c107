// The enciphered settings file: any bytes parse without harm, and a document
// that was read writes back to text that reads as the same document.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/vendor/Osmira.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const plat::Osmira::Document doc = plat::Osmira::Parse(text);
    for (const auto& [section, keys] : doc) {
        if (!plat::Osmira::ValidName(section))
            std::abort();
        for (const auto& [key, cipher] : keys) {
            if (!plat::Osmira::ValidName(key))
                std::abort();
            std::string plain;
            if (plat::Osmira::Decipher(section, key, cipher, &plain) &&
                plat::Osmira::Encipher(section, key, plain) != cipher &&
                plat::Osmira::Encipher(section, key, plain).size() != cipher.size())
                std::abort();
        }
    }
    if (plat::Osmira::Parse(plat::Osmira::Format(doc)) != doc)
        std::abort();
    return 0;
}

// The manufacturer table: who made a device, from the first digits of its MAC
// address. Read from the file "mac.dat" that the build generates from the IEEE
// registry (large, medium and small blocks; the longest matching prefix wins).
//
// The file is scrambled by XOR-ing each block of 10 bytes with a 10-byte key.
// Restored, it is UTF-8 text in lines that end with a carriage return, each of
// four fields joined by '|': prefix (6, 7 or 9 upper-case hexadecimal digits),
// maker, company, device type. The first line is a header
// "LUMARI-MAC|<entries>|<FNV-1a 64 of the text after the header, hex>|1", so
// a truncated or damaged file is refused whole rather than read in part.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// Device types the window shows an icon for.
inline constexpr const wchar_t* kDeviceTypePhone = L"phone";
inline constexpr const wchar_t* kDeviceTypeComputer = L"computer";
inline constexpr const wchar_t* kDeviceTypeOther = L"other";
// A locally administered address: the device chose it itself (the private,
// randomised address of phones), so it names no maker.
inline constexpr const wchar_t* kDeviceTypeRandom = L"random";

class CManufactoryTable {
public:
    struct Maker {
        std::wstring manufactory;
        std::wstring company;
        std::wstring type;
    };

    // Reads the file; false (and an empty table) when it cannot be read or
    // fails its check.
    bool Load(const std::wstring& path);
    // Parses restored (already de-scrambled) text; false and an empty table
    // when the header is missing or does not match the text.
    bool Parse(const std::string& text);
    void Clear() {
        m_index.clear();
        m_text.clear();
    }
    std::size_t Size() const { return m_index.size(); }

    // The maker of the MAC text ("%02X-..." either case, or without separators);
    // false when no prefix matches.
    bool Find(const std::wstring& mac, Maker* out) const;
    // Whether the MAC text names a locally administered address (bit 1 of the
    // first byte).
    static bool IsLocallyAdministered(const std::wstring& mac);

    // The scrambling is its own inverse.
    static void Scramble(std::string* bytes) {
        static constexpr unsigned char kKey[10] = {0x5A, 0xC3, 0x17, 0x8E, 0x2B,
                                                   0xF4, 0x61, 0x9D, 0x3C, 0xA8};
        for (std::size_t i = 0; i < bytes->size(); ++i)
            (*bytes)[i] = static_cast<char>(static_cast<unsigned char>((*bytes)[i]) ^ kKey[i % 10]);
    }
    static std::uint64_t Checksum(const char* data, std::size_t size) {
        std::uint64_t h = 1469598103934665603ull;
        for (std::size_t i = 0; i < size; ++i) {
            h ^= static_cast<unsigned char>(data[i]);
            h *= 1099511628211ull;
        }
        return h;
    }
    static constexpr const char* kMagic = "LUMARI-MAC";

private:
    // Key of a prefix of `digits` hexadecimal digits with value `value`.
    static std::uint64_t Key(std::uint64_t value, unsigned digits) {
        return (static_cast<std::uint64_t>(digits) << 48) | value;
    }
    // The restored text after the header, and for each prefix key the offset
    // of its line, sorted by key; a lookup reads the line's fields.
    std::string m_text;
    std::vector<std::pair<std::uint64_t, std::uint32_t>> m_index;
};

#include "ManufactoryTable.h"

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

#include "platform/text/TextCodec.h"
#include "platform/winapi/Win32Api.h"

namespace {

int HexValue(wchar_t c) {
    if (c >= L'0' && c <= L'9')
        return c - L'0';
    if (c >= L'A' && c <= L'F')
        return c - L'A' + 10;
    if (c >= L'a' && c <= L'f')
        return c - L'a' + 10;
    return -1;
}

// The 12 hexadecimal digits of a MAC text; separators '-' and ':' are skipped.
bool MacDigits(const std::wstring& mac, int digits[12]) {
    int n = 0;
    for (wchar_t c : mac) {
        if (c == L'-' || c == L':')
            continue;
        const int v = HexValue(c);
        if (v < 0 || n == 12)
            return false;
        digits[n++] = v;
    }
    return n == 12;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(separator, start);
        parts.push_back(
            text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos)
            return parts;
        start = end + 1;
    }
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

bool CManufactoryTable::Load(const std::wstring& path) {
    Clear();
    // Opened by its wide path: a folder with characters outside the system's
    // code page, or one in GBK, stays the same folder.
    std::unique_ptr<std::FILE, FileCloser> file(plat::_wfopen(path.c_str(), L"rb"));
    if (!file)
        return false;
    std::string bytes;
    char buffer[65536];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file.get())) > 0)
        bytes.append(buffer, n);
    if (std::ferror(file.get()))
        return false;
    Scramble(&bytes);
    return Parse(bytes);
}

bool CManufactoryTable::Parse(const std::string& text) {
    m_index.clear();
    m_text.clear();
    const std::size_t headerEnd = text.find('\r');
    if (headerEnd == std::string::npos)
        return false;
    const std::vector<std::string> header = Split(text.substr(0, headerEnd), '|');
    if (header.size() != 4 || header[0] != kMagic)
        return false;
    const char* body = text.data() + headerEnd + 1;
    const std::size_t bodySize = text.size() - headerEnd - 1;
    char sum[17];
    std::snprintf(sum, sizeof sum, "%016llx",
                  static_cast<unsigned long long>(Checksum(body, bodySize)));
    if (header[2] != sum)
        return false;

    m_text.assign(body, bodySize);
    std::vector<std::pair<std::uint64_t, std::uint32_t>> index;
    index.reserve(m_text.size() / 40);
    std::size_t start = 0;
    while (start < m_text.size() && start <= 0xFFFFFFFFu) {
        std::size_t end = m_text.find('\r', start);
        if (end == std::string::npos)
            end = m_text.size();
        const std::size_t bar = m_text.find('|', start);
        const std::size_t digits = bar == std::string::npos || bar > end ? 0 : bar - start;
        if (digits == 6 || digits == 7 || digits == 9) {
            std::uint64_t value = 0;
            bool hex = true;
            for (std::size_t i = start; i < bar; ++i) {
                const int v = HexValue(static_cast<wchar_t>(static_cast<unsigned char>(m_text[i])));
                hex = hex && v >= 0;
                value = (value << 4) | static_cast<std::uint64_t>(v < 0 ? 0 : v);
            }
            if (hex)
                index.emplace_back(Key(value, static_cast<unsigned>(digits)),
                                   static_cast<std::uint32_t>(start));
        }
        start = end + 1;
    }
    std::sort(index.begin(), index.end());
    index.erase(std::unique(index.begin(), index.end(),
                            [](const auto& x, const auto& y) { return x.first == y.first; }),
                index.end());
    if (std::to_string(index.size()) != header[1]) {
        m_text.clear();
        return false;
    }
    m_index = std::move(index);
    return true;
}

bool CManufactoryTable::Find(const std::wstring& mac, Maker* out) const {
    int digits[12];
    if (m_index.empty() || !MacDigits(mac, digits))
        return false;
    for (unsigned length : {9u, 7u, 6u}) {
        std::uint64_t value = 0;
        for (unsigned i = 0; i < length; ++i)
            value = (value << 4) | static_cast<std::uint64_t>(digits[i]);
        const std::uint64_t key = Key(value, length);
        const auto it = std::lower_bound(m_index.begin(), m_index.end(), key,
                                         [](const std::pair<std::uint64_t, std::uint32_t>& e,
                                            std::uint64_t k) { return e.first < k; });
        if (it == m_index.end() || it->first != key)
            continue;
        if (out != nullptr) {
            std::size_t end = m_text.find('\r', it->second);
            if (end == std::string::npos)
                end = m_text.size();
            const std::vector<std::string> fields =
                Split(m_text.substr(it->second, end - it->second), '|');
            *out = {};
            if (fields.size() > 1)
                out->manufactory = plat::TextCodec::Utf8ToWide(fields[1]);
            if (fields.size() > 2)
                out->company = plat::TextCodec::Utf8ToWide(fields[2]);
            if (fields.size() > 3)
                out->type = plat::TextCodec::Utf8ToWide(fields[3]);
        }
        return true;
    }
    return false;
}

bool CManufactoryTable::IsLocallyAdministered(const std::wstring& mac) {
    int digits[12];
    return MacDigits(mac, digits) && (digits[1] & 0x2) != 0;
}

#include "Osmira.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/Backend.h"
#include "platform/Platform.h"
#include "platform/text/PathText.h"

namespace plat {

namespace {

constexpr char kHeader[] = "# Osmira 1";
std::mutex g_fileLock;  // writers of one process do not interleave

std::uint64_t Seed(const std::string& section, const std::string& key) {
    std::uint64_t h = 0x6f736d6972612121ull;  // fixed secret of the store
    auto mix = [&h](const std::string& s) {
        for (unsigned char c : s)
            h = (h ^ c) * 0x100000001b3ull;
        h = (h ^ 0x1f) * 0x100000001b3ull;
    };
    mix(section);
    mix(key);
    return h == 0 ? 0x9e3779b97f4a7c15ull : h;
}

// xorshift64* keystream
class KeyStream {
public:
    explicit KeyStream(std::uint64_t seed) : m_state(seed) {}
    unsigned char Next() {
        m_state ^= m_state >> 12;
        m_state ^= m_state << 25;
        m_state ^= m_state >> 27;
        return static_cast<unsigned char>((m_state * 0x2545F4914F6CDD1Dull) >> 56);
    }

private:
    std::uint64_t m_state;
};

std::uint32_t Checksum(const std::string& data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char c : data) {
        crc ^= c;
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::string Trim(const std::string& s) {
    std::size_t b = 0, e = s.size();
    while (b < e && (s[b] == ' ' || s[b] == '\t' || s[b] == '\r'))
        ++b;
    while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t' || s[e - 1] == '\r'))
        --e;
    return s.substr(b, e - b);
}

enum class Read { Ok, Missing, Damaged };

Read ReadDocument(const std::string& file, Osmira::Document* doc) {
    std::ifstream in(PathText::Native(file), std::ios::binary);
    if (!in)
        return Read::Missing;
    std::string text;
    char buf[4096];
    while (in.read(buf, sizeof buf) || in.gcount() > 0) {
        text.append(buf, static_cast<std::size_t>(in.gcount()));
        if (text.size() > Osmira::kMaxFileBytes)
            return Read::Damaged;
    }
    *doc = Osmira::Parse(text);
    return Read::Ok;
}

}  // namespace

bool Osmira::ValidName(const std::string& name) {
    if (name.empty() || name.size() > 256)
        return false;
    for (char c : name)
        if (c == '\n' || c == '\r' || c == '=' || c == '[' || c == ']' || c == '\0')
            return false;
    return Trim(name) == name;
}

Osmira::Document Osmira::Parse(const std::string& text) {
    Document doc;
    std::istringstream is(text);
    std::string line;
    Section* current = nullptr;
    while (std::getline(is, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == '#')
            continue;
        if (line.front() == '[') {
            current = nullptr;
            if (line.back() != ']' || line.size() < 3)
                continue;
            const std::string name = line.substr(1, line.size() - 2);
            if (!ValidName(name))
                continue;
            current = &doc[name];
            continue;
        }
        if (current == nullptr)
            continue;
        const auto eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::string value = Trim(line.substr(eq + 1));
        if (!ValidName(key))
            continue;
        bool hex = value.size() % 2 == 0;
        for (char c : value)
            if (!std::isxdigit(static_cast<unsigned char>(c)))
                hex = false;
        if (!hex)
            continue;
        (*current)[key] = value;
    }
    return doc;
}

std::string Osmira::Format(const Document& doc) {
    std::string out = std::string(kHeader) + "\n";
    for (const auto& [section, keys] : doc) {
        out += "[" + section + "]\n";
        for (const auto& [key, value] : keys)
            out += key + "=" + value + "\n";
    }
    return out;
}

std::string Osmira::Encipher(const std::string& section, const std::string& key,
                             const std::string& plain) {
    std::string data = plain;
    const std::uint32_t sum = Checksum(plain);
    for (int i = 0; i < 4; ++i)
        data.push_back(static_cast<char>(sum >> (8 * i)));
    KeyStream ks(Seed(section, key));
    static const char* hex = "0123456789ABCDEF";
    std::string out;
    out.reserve(data.size() * 2);
    for (unsigned char c : data) {
        const unsigned char e = static_cast<unsigned char>(c ^ ks.Next());
        out.push_back(hex[e >> 4]);
        out.push_back(hex[e & 15]);
    }
    return out;
}

bool Osmira::Decipher(const std::string& section, const std::string& key, const std::string& cipher,
                      std::string* plain) {
    if (cipher.size() % 2 != 0 || cipher.size() < 8)
        return false;
    KeyStream ks(Seed(section, key));
    std::string data;
    data.reserve(cipher.size() / 2);
    for (std::size_t i = 0; i < cipher.size(); i += 2) {
        auto nib = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            if (c >= 'a' && c <= 'f')
                return c - 'a' + 10;
            return -1;
        };
        const int hi = nib(cipher[i]), lo = nib(cipher[i + 1]);
        if (hi < 0 || lo < 0)
            return false;
        data.push_back(static_cast<char>((hi * 16 + lo) ^ ks.Next()));
    }
    const std::string value = data.substr(0, data.size() - 4);
    std::uint32_t sum = 0;
    for (int i = 0; i < 4; ++i)
        sum |= static_cast<std::uint32_t>(static_cast<unsigned char>(data[value.size() + i]))
               << (8 * i);
    if (sum != Checksum(value) || value.find('\0') != std::string::npos)
        return false;
    if (plain != nullptr)
        *plain = value;
    return true;
}

int GetCipherStrVal(const char* file, const char* key, const char* section, char* buffer,
                    DWORD* size) {
    if (file == nullptr || key == nullptr || section == nullptr || size == nullptr)
        return static_cast<int>(kErrorInvalidParameter);
    Osmira::Document doc;
    Read r;
    {
        std::lock_guard<std::mutex> g(g_fileLock);
        r = ReadDocument(file, &doc);
    }
    if (r == Read::Missing)
        return static_cast<int>(kErrorFileNotFound);
    if (r == Read::Damaged)
        return 13;  // ERROR_INVALID_DATA
    auto s = doc.find(section);
    if (s == doc.end())
        return 1168;  // ERROR_NOT_FOUND
    auto k = s->second.find(key);
    if (k == s->second.end())
        return 1168;
    std::string value;
    if (!Osmira::Decipher(section, key, k->second, &value))
        return 13;
    if (buffer == nullptr || *size < value.size() + 1) {
        *size = static_cast<DWORD>(value.size() + 1);
        return static_cast<int>(kErrorInsufficientBuffer);
    }
    std::memcpy(buffer, value.c_str(), value.size() + 1);
    *size = static_cast<DWORD>(value.size() + 1);
    return 0;
}

int SetCipherStrVal(const char* file, const char* key, const char* section, const char* value) {
    if (file == nullptr || key == nullptr || section == nullptr || value == nullptr ||
        !Osmira::ValidName(key) || !Osmira::ValidName(section))
        return static_cast<int>(kErrorInvalidParameter);
    std::lock_guard<std::mutex> g(g_fileLock);
    Osmira::Document doc;
    // A damaged or missing file is replaced by one holding what is written now.
    ReadDocument(file, &doc);
    doc[section][key] = Osmira::Encipher(section, key, value);
    // The whole file is replaced in one step: a crash while writing leaves
    // the old settings, never a short file.
    const std::string text = Osmira::Format(doc);
    return static_cast<int>(
        Platform::Current().Files().Replace(PathText::Native(file), text.data(), text.size()));
}

}  // namespace plat

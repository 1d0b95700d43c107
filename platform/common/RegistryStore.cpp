#include "RegistryStore.h"

#include <cctype>
#include <sstream>
#include <vector>

namespace plat {

std::string RegistryStore::Lower(const std::string& s) {
    std::string r = s;
    for (auto& c : r)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return r;
}

std::string RegistryStore::Key(RegRoot root, const std::string& path) {
    std::string p = Lower(path);
    while (!p.empty() && p.back() == '\\')
        p.pop_back();
    while (!p.empty() && p.front() == '\\')
        p.erase(p.begin());
    return (root == RegRoot::LocalMachine ? "hklm\\" : "hkcu\\") + p;
}

LONG RegistryStore::CreateKey(RegRoot root, const std::string& path) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        m_keys[Key(root, path)];
    }
    Changed();
    return 0;
}

bool RegistryStore::KeyExists(RegRoot root, const std::string& path) {
    std::lock_guard<std::mutex> g(m_lock);
    return m_keys.count(Key(root, path)) != 0;
}

LONG RegistryStore::QueryValue(RegRoot root, const std::string& path, const std::string& name,
                               RegValue* out) {
    std::lock_guard<std::mutex> g(m_lock);
    auto k = m_keys.find(Key(root, path));
    if (k == m_keys.end())
        return static_cast<LONG>(kErrorFileNotFound);
    auto v = k->second.find(Lower(name));
    if (v == k->second.end())
        return static_cast<LONG>(kErrorFileNotFound);
    if (out != nullptr)
        *out = v->second;
    return 0;
}

LONG RegistryStore::SetValue(RegRoot root, const std::string& path, const std::string& name,
                             const RegValue& value) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        auto k = m_keys.find(Key(root, path));
        if (k == m_keys.end())
            return static_cast<LONG>(kErrorFileNotFound);
        k->second[Lower(name)] = value;
    }
    Changed();
    return 0;
}

LONG RegistryStore::DeleteValue(RegRoot root, const std::string& path, const std::string& name) {
    {
        std::lock_guard<std::mutex> g(m_lock);
        auto k = m_keys.find(Key(root, path));
        if (k == m_keys.end())
            return static_cast<LONG>(kErrorFileNotFound);
        if (k->second.erase(Lower(name)) == 0)
            return static_cast<LONG>(kErrorFileNotFound);
    }
    Changed();
    return 0;
}

namespace {
// Key paths and value names may hold any character; the four that the line
// format uses are written as %XX.
std::string Escape(const std::string& s) {
    std::string out;
    for (char c : s) {
        if (c == '%' || c == '|' || c == '\n' || c == '\r') {
            static const char* hex = "0123456789ABCDEF";
            out.push_back('%');
            out.push_back(hex[static_cast<unsigned char>(c) >> 4]);
            out.push_back(hex[static_cast<unsigned char>(c) & 15]);
        } else {
            out.push_back(c);
        }
    }
    return out;
}

bool Unescape(const std::string& s, std::string* out) {
    out->clear();
    for (std::size_t i = 0; i < s.size(); ++i) {
        if (s[i] != '%') {
            out->push_back(s[i]);
            continue;
        }
        if (i + 2 >= s.size())
            return false;
        auto nib = [](char c) -> int {
            if (c >= '0' && c <= '9')
                return c - '0';
            if (c >= 'A' && c <= 'F')
                return c - 'A' + 10;
            return -1;
        };
        const int hi = nib(s[i + 1]), lo = nib(s[i + 2]);
        if (hi < 0 || lo < 0)
            return false;
        out->push_back(static_cast<char>(hi * 16 + lo));
        i += 2;
    }
    return true;
}
}  // namespace

std::string RegistryStore::Serialize() const {
    std::lock_guard<std::mutex> g(m_lock);
    std::ostringstream os;
    static const char* hex = "0123456789abcdef";
    for (const auto& [key, values] : m_keys) {
        if (values.empty())
            os << Escape(key) << "|||0|\n";
        for (const auto& [name, value] : values) {
            os << Escape(key) << "||" << Escape(name) << '|' << value.type << '|';
            for (BYTE b : value.data)
                os << hex[b >> 4] << hex[b & 15];
            os << '\n';
        }
    }
    return os.str();
}

void RegistryStore::Deserialize(const std::string& text) {
    std::map<std::string, std::map<std::string, RegValue>> keys;
    std::istringstream is(text);
    std::string line;
    while (std::getline(is, line)) {
        // key||name|type|hex ; key and name never contain '|'
        const auto a = line.find("||");
        if (a == std::string::npos)
            continue;
        const auto b = line.find('|', a + 2);
        if (b == std::string::npos)
            continue;
        const auto c = line.find('|', b + 1);
        if (c == std::string::npos)
            continue;
        std::string key, name;
        if (!Unescape(line.substr(0, a), &key) || !Unescape(line.substr(a + 2, b - a - 2), &name))
            continue;
        key = Lower(key);
        name = Lower(name);
        const std::string typeText = line.substr(b + 1, c - b - 1);
        const std::string data = line.substr(c + 1);
        if (key.empty() || typeText.empty() || typeText.size() > 10 || data.size() % 2 != 0)
            continue;
        bool ok = true;
        unsigned long type = 0;
        for (char ch : typeText) {
            if (!std::isdigit(static_cast<unsigned char>(ch)))
                ok = false;
            else
                type = type * 10 + static_cast<unsigned long>(ch - '0');
        }
        std::vector<BYTE> bytes;
        for (std::size_t i = 0; ok && i < data.size(); i += 2) {
            auto nib = [&](char ch) -> int {
                if (ch >= '0' && ch <= '9')
                    return ch - '0';
                if (ch >= 'a' && ch <= 'f')
                    return ch - 'a' + 10;
                return -1;
            };
            const int hi = nib(data[i]), lo = nib(data[i + 1]);
            if (hi < 0 || lo < 0)
                ok = false;
            else
                bytes.push_back(static_cast<BYTE>(hi * 16 + lo));
        }
        if (!ok || type > 0xFFFFFFFFul)
            continue;
        auto& k = keys[key];
        if (!name.empty())
            k[name] = RegValue{static_cast<DWORD>(type), std::move(bytes)};
    }
    std::lock_guard<std::mutex> g(m_lock);
    m_keys = std::move(keys);
}

RegValue RegistryStore::Dword(DWORD v) {
    RegValue r;
    r.type = kRegDword;
    for (int i = 0; i < 4; ++i)
        r.data.push_back(static_cast<BYTE>(v >> (8 * i)));
    return r;
}

RegValue RegistryStore::String(const std::string& s) {
    RegValue r;
    r.type = kRegSz;
    r.data.assign(s.begin(), s.end());
    r.data.push_back(0);
    return r;
}

}  // namespace plat

#include "HotspotCommand.h"

#include <cctype>
#include <vector>

#include "platform/text/MacText.h"
#include "platform/text/TextCodec.h"

namespace {

bool Fail(std::string* error, const std::string& why) {
    *error = why;
    return false;
}

bool Blank(char c) {
    return c == ' ' || c == '\t';
}

// Splits off the first word of `rest`.
std::string Word(std::string* rest) {
    std::size_t b = 0;
    while (b < rest->size() && Blank((*rest)[b]))
        ++b;
    std::size_t e = b;
    while (e < rest->size() && !Blank((*rest)[e]))
        ++e;
    std::string word = rest->substr(b, e - b);
    *rest = rest->substr(e);
    return word;
}

std::string Trim(const std::string& text) {
    std::size_t b = 0;
    std::size_t e = text.size();
    while (b < e && Blank(text[b]))
        ++b;
    while (e > b && Blank(text[e - 1]))
        --e;
    return text.substr(b, e - b);
}

// Six pairs of hexadecimal digits joined by one kind of separator.
bool Mac(const std::string& text, std::wstring* out) {
    if (text.size() != 17)
        return false;
    const char separator = text[2];
    if (separator != '-' && separator != ':')
        return false;
    std::string dashed = text;
    for (std::size_t i = 0; i < 6; ++i) {
        if (i > 0 && text[i * 3 - 1] != separator)
            return false;
        if (!std::isxdigit(static_cast<unsigned char>(text[i * 3])) ||
            !std::isxdigit(static_cast<unsigned char>(text[i * 3 + 1])))
            return false;
        if (i > 0)
            dashed[i * 3 - 1] = '-';
    }
    plat::MacAddress mac;
    if (!plat::MacText::Parse(dashed.c_str(), &mac))
        return false;
    *out = plat::MacText::FormatWide(mac.data());
    return true;
}

bool Rate(const std::string& text, std::int32_t* out) {
    if (text.empty() || text.size() > 9)
        return false;
    std::int32_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        v = v * 10 + (c - '0');
    }
    if (v > HotspotCommand::kMaxRate)
        return false;
    *out = v;
    return true;
}

}  // namespace

bool HotspotCommand::ParseMac(const std::string& text, std::wstring* out) {
    return Mac(text, out);
}

bool HotspotCommand::ParseMacList(const std::string& text, std::vector<std::wstring>* out,
                                  std::string* why) {
    std::vector<std::wstring> macs;
    std::size_t number = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        ++number;
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (const std::size_t hash = line.find('#'); hash != std::string::npos)
            line.resize(hash);
        const std::size_t b = line.find_first_not_of(" \t\r");
        if (b == std::string::npos)
            continue;
        const std::size_t e = line.find_last_not_of(" \t\r");
        std::wstring mac;
        if (!Mac(line.substr(b, e - b + 1), &mac))
            return Fail(why, "line " + std::to_string(number) + " is not a MAC address");
        macs.push_back(mac);
    }
    *out = std::move(macs);
    return true;
}

bool HotspotCommand::Parse(const std::string& raw, HotspotCommand* out, std::string* error) {
    if (raw.size() > kMaxLine)
        return Fail(error, "line too long");
    std::string line = raw;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    for (unsigned char c : line)
        if ((c < 0x20 && c != '\t') || c == 0x7F)
            return Fail(error, "control characters in the line");
    std::wstring wide;
    if (!plat::TextCodec::Utf8ToWide(line, &wide))
        return Fail(error, "the line is not UTF-8 text");

    std::string rest = line;
    std::string name = Word(&rest);
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.empty())
        return Fail(error, "empty command");

    HotspotCommand c;
    auto mac = [&]() {
        const std::string word = Word(&rest);
        if (word.empty())
            return Fail(error, name + ": a MAC address is missing");
        if (!Mac(word, &c.mac))
            return Fail(error, name + ": \"" + word + "\" is not a MAC address");
        return true;
    };
    auto end = [&]() {
        if (!Trim(rest).empty())
            return Fail(error, name + ": too many words");
        return true;
    };

    if (name == "limit") {
        if (!mac())
            return false;
        const std::string down = Word(&rest);
        const std::string up = Word(&rest);
        if (down.empty() || up.empty())
            return Fail(error, "limit: needs MAC DOWN UP");
        if (!Rate(down, &c.down) || !Rate(up, &c.up))
            return Fail(error, "limit: DOWN and UP are kilobytes per second, 0 to " +
                                   std::to_string(kMaxRate));
        if (!end())
            return false;
        c.kind = Kind::Limit;
    } else if (name == "ban" || name == "unban" || name == "block" || name == "deny" ||
               name == "undeny" || name == "allow" || name == "unallow") {
        if (!mac() || !end())
            return false;
        c.kind = name == "ban"      ? Kind::Ban
                 : name == "unban"  ? Kind::Unban
                 : name == "block"  ? Kind::Block
                 : name == "deny"   ? Kind::Deny
                 : name == "undeny" ? Kind::Undeny
                 : name == "allow"  ? Kind::Allow
                                    : Kind::Unallow;
    } else if (name == "nick") {
        if (!mac())
            return false;
        const std::string text = Trim(rest);
        std::wstring nick;
        plat::TextCodec::Utf8ToWide(text, &nick);
        if (nick.size() > kMaxNick)
            return Fail(error, "nick: at most " + std::to_string(kMaxNick) + " characters");
        c.text = nick;
        c.kind = Kind::Nick;
    } else if (name == "clients" || name == "stop") {
        if (!end())
            return false;
        c.kind = name == "clients" ? Kind::Clients : Kind::Stop;
    } else {
        return Fail(error, "unknown command \"" + name + "\"");
    }
    *out = c;
    return true;
}

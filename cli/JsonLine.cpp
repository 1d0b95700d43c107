#include "JsonLine.h"

#include <cstdio>

#include "platform/text/TextCodec.h"

namespace {

void Utf8(std::string* out, char32_t c) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

}  // namespace

std::string JsonLine::Quote(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t w : text) {
        char32_t c = static_cast<char32_t>(w);
        if (c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF))
            c = 0xFFFD;
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20 || c == 0x7F || c == 0x2028 || c == 0x2029) {
                    char escaped[16];
                    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned>(c));
                    out += escaped;
                } else {
                    Utf8(&out, c);
                }
        }
    }
    return out + "\"";
}

std::string JsonLine::Quote(const std::string& utf8) {
    std::wstring wide;
    if (!plat::TextCodec::Utf8ToWide(utf8, &wide)) {
        wide.clear();
        for (unsigned char c : utf8)
            wide.push_back(c < 0x80 ? static_cast<wchar_t>(c) : static_cast<wchar_t>(0xFFFD));
    }
    return Quote(wide);
}

void JsonLine::Key(const char* name) {
    if (!m_body.empty())
        m_body += ',';
    m_body += Quote(std::string(name));
    m_body += ':';
}

JsonLine& JsonLine::Text(const char* name, const std::string& utf8) {
    Key(name);
    m_body += Quote(utf8);
    return *this;
}

JsonLine& JsonLine::Text(const char* name, const std::wstring& text) {
    Key(name);
    m_body += Quote(text);
    return *this;
}

JsonLine& JsonLine::Number(const char* name, std::int64_t value) {
    Key(name);
    m_body += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Unsigned(const char* name, std::uint64_t value) {
    Key(name);
    m_body += std::to_string(value);
    return *this;
}

JsonLine& JsonLine::Json(const char* name, const std::string& json) {
    Key(name);
    m_body += json;
    return *this;
}

JsonLine JsonLine::Event(const char* event) {
    JsonLine line;
    line.Text("event", std::string(event));
    return line;
}

std::string JsonLine::Client(const ClientInfo& c) {
    return JsonLine()
        .Number("uid", c.uid)
        .Text("name", c.name)
        .Text("nickName", c.nickName)
        .Text("facePath", c.facePath)
        .Text("mac", c.mac)
        .Text("ip", c.ip)
        .Text("manufactory", c.manufactory)
        .Text("company", c.company)
        .Text("type", c.type)
        .Number("joinCount", c.joinCount)
        .Number("lastJoinTime", c.lastJoinTime)
        .Number("totalOnlineTime", c.totalOnlineTime)
        .Number("speedLimitedUp", c.speedLimitedUp)
        .Number("speedLimitedDown", c.speedLimitedDown)
        .Number("addressState", c.addressState)
        .Unsigned("upRate", c.upRate)
        .Unsigned("periodUp", c.periodUp)
        .Unsigned("downRate", c.downRate)
        .Unsigned("periodDown", c.periodDown)
        .Number("online", c.online)
        .Number("isBan", c.isBan)
        .Number("lastSeen", c.lastSeen)
        .Number("upCount", c.upCount)
        .Number("downCount", c.downCount)
        .Number("blocked", c.blocked)
        .Str();
}

std::string JsonLine::Clients(const std::vector<ClientInfo>& clients) {
    std::string out = "[";
    for (std::size_t i = 0; i < clients.size(); ++i) {
        if (i > 0)
            out += ',';
        out += Client(clients[i]);
    }
    return out + "]";
}

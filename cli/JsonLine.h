// One JSON object written as one line, its fields in the order they are
// added: the events lumari-hotspot prints ({"event":"NetworkStarted","code":0})
// and the client records inside them, every field of ClientInfo under its own
// name. Text is written as UTF-8 with what JSON requires escaped; bytes that
// are not UTF-8 become U+FFFD.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "Common/ClientInfo.h"

class JsonLine {
public:
    JsonLine& Text(const char* name, const std::string& utf8);
    JsonLine& Text(const char* name, const std::wstring& text);
    JsonLine& Number(const char* name, std::int64_t value);
    JsonLine& Unsigned(const char* name, std::uint64_t value);
    // A value that is already JSON (an object or an array).
    JsonLine& Json(const char* name, const std::string& json);
    std::string Str() const { return "{" + m_body + "}"; }

    static JsonLine Event(const char* event);
    static std::string Client(const ClientInfo& client);
    static std::string Clients(const std::vector<ClientInfo>& clients);
    static std::string Quote(const std::string& utf8);
    static std::string Quote(const std::wstring& text);

private:
    void Key(const char* name);
    std::string m_body;
};

#include "NatRecords.h"

#include <cstring>

#include "platform/text/GuidText.h"

namespace plat {

namespace {

void PutGuid(const GUID& guid, std::uint16_t (&field)[40]) {
    const std::string text = GuidText::ToString(guid);
    std::memset(field, 0, sizeof field);
    for (std::size_t i = 0; i < text.size() && i + 1 < 40; ++i)
        field[i] = static_cast<std::uint8_t>(text[i]);
}

bool GetGuid(const std::uint16_t (&field)[40], GUID* out) {
    std::string text;
    for (std::size_t i = 0;; ++i) {
        if (i == 40)
            return false;  // no terminating NUL
        const std::uint16_t c = field[i];
        if (c == 0)
            break;
        if (c > 0x7F)
            return false;
        text.push_back(static_cast<char>(c));
    }
    return GuidText::Parse(text, out);
}

}  // namespace

NatEnableRecord NatRecords::MakeEnable(const GUID& publicGuid, const GUID& privateGuid) {
    NatEnableRecord r;
    PutGuid(publicGuid, r.publicGuid);
    PutGuid(privateGuid, r.privateGuid);
    return r;
}

bool NatRecords::ReadEnable(const void* data, std::size_t size, GUID* publicGuid,
                            GUID* privateGuid) {
    if (data == nullptr || size != sizeof(NatEnableRecord))
        return false;
    NatEnableRecord r;
    std::memcpy(&r, data, sizeof r);
    GUID pub{}, priv{};
    if (!GetGuid(r.publicGuid, &pub) || !GetGuid(r.privateGuid, &priv))
        return false;
    *publicGuid = pub;
    *privateGuid = priv;
    return true;
}

NatMacRecord NatRecords::MakeMac(const MacAddress& mac) {
    NatMacRecord r{};
    std::memcpy(r.mac, mac.data(), 6);
    return r;
}

bool NatRecords::ReadMac(const void* data, std::size_t size, MacAddress* mac) {
    if (data == nullptr || size != sizeof(NatMacRecord))
        return false;
    std::memcpy(mac->data(), data, 6);
    return true;
}

NatSpeedRecord NatRecords::MakeSpeed(const MacAddress& mac, std::uint8_t allowed,
                                     std::uint32_t upLimit, std::uint32_t downLimit) {
    NatSpeedRecord r{};
    std::memcpy(r.mac, mac.data(), 6);
    r.upLimit = upLimit;
    r.downLimit = downLimit;
    r.allowed = allowed;
    return r;
}

bool NatRecords::ReadSpeed(const void* data, std::size_t size, NatSpeedRecord* out) {
    if (data == nullptr || size != sizeof(NatSpeedRecord))
        return false;
    std::memcpy(out, data, sizeof *out);
    return true;
}

std::vector<std::uint16_t> NatRecords::MakePorts(const std::vector<std::uint16_t>& ports) {
    if (ports.empty())
        return {0};
    return ports;
}

bool NatRecords::ReadPorts(const void* data, std::size_t size, std::vector<std::uint16_t>* ports) {
    if (data == nullptr || size == 0 || size % 2 != 0)
        return false;
    std::vector<std::uint16_t> out;
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size; i += 2) {
        const std::uint16_t port = static_cast<std::uint16_t>(p[i] | (p[i + 1] << 8));
        if (port != 0)
            out.push_back(port);
    }
    *ports = std::move(out);
    return true;
}

std::vector<PEER_INFO> NatRecords::ReadPeers(const void* data, std::size_t size) {
    std::vector<PEER_INFO> out;
    if (data == nullptr)
        return out;
    const std::size_t count = size / sizeof(PEER_INFO);
    out.resize(count);
    if (count > 0)
        std::memcpy(out.data(), data, count * sizeof(PEER_INFO));
    return out;
}

std::string NatRecords::ReadStatus(const void* data, std::size_t size) {
    std::string text;
    if (data == nullptr)
        return text;
    const auto* p = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i < size && i < kNatStatusTextSize && p[i] != 0; ++i)
        text.push_back(p[i] >= 0x20 && p[i] < 0x7F ? static_cast<char>(p[i]) : '?');
    return text;
}

std::size_t NatRecords::WriteStatus(const std::string& text, void* out, std::size_t capacity) {
    if (out == nullptr || capacity == 0)
        return 0;
    const std::size_t room = capacity < kNatStatusTextSize ? capacity : kNatStatusTextSize;
    const std::size_t n = text.size() < room - 1 ? text.size() : room - 1;
    std::memcpy(out, text.data(), n);
    static_cast<char*>(out)[n] = '\0';
    return n + 1;
}

}  // namespace plat

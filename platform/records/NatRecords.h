// The NAT filter driver's device protocol: its device names, control codes and
// the byte layout of every record that crosses the device boundary. Both sides
// use these declarations: the user-mode callers that build requests and read
// answers, and the driver model that parses requests and builds answers.
// Every record is packed and little-endian.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/records/WinTypes.h"
#include "platform/text/MacText.h"

static_assert(std::endian::native == std::endian::little,
              "the driver records are laid out for a little-endian host");

namespace plat {

// Device names, for CreateFileA. The WFP build runs as its own service.
constexpr char kNatWfpDeviceName[] = "\\\\.\\SOLVANEWFP";
constexpr char kNatNdisDeviceName[] = "\\\\.\\SOLVANE";
constexpr char kNatWfpServiceName[] = "solvanewfp";
constexpr char kNatComponentId[] = "ms_solvane";

// CTL_CODE(FILE_DEVICE_PHYSICAL_NETCARD, function, METHOD_BUFFERED, FILE_ANY_ACCESS).
constexpr DWORD kNatDeviceType = 0x17;
constexpr DWORD NatControlCode(DWORD function) {
    return (kNatDeviceType << 16) | (0u << 14) | (function << 2) | 0u;
}
constexpr DWORD kNatIoctlEnableShare = NatControlCode(20);
constexpr DWORD kNatIoctlDisableShare = NatControlCode(21);
constexpr DWORD kNatIoctlGetPeers = NatControlCode(22);
constexpr DWORD kNatIoctlDeletePeer = NatControlCode(23);
constexpr DWORD kNatIoctlSetSpeedLimit = NatControlCode(24);
constexpr DWORD kNatIoctlSetAllowPorts = NatControlCode(25);
static_assert(kNatIoctlEnableShare == 0x170050 && kNatIoctlDisableShare == 0x170054);
static_assert(kNatIoctlGetPeers == 0x170058 && kNatIoctlDeletePeer == 0x17005C);
static_assert(kNatIoctlSetSpeedLimit == 0x170060 && kNatIoctlSetAllowPorts == 0x170064);

// Errors a driver answers besides the common ones of WinTypes.h.
constexpr DWORD kNatErrorGenFailure = 31;  // ERROR_GEN_FAILURE: the device did not work
constexpr DWORD kNatErrorNotFound = 1168;  // ERROR_NOT_FOUND: no such connection

// Status text some requests answer: up to 20 bytes of NUL-terminated ASCII.
constexpr std::size_t kNatStatusTextSize = 20;
// The peer list answer holds at most 256 records.
constexpr std::size_t kNatMaxPeers = 256;

#pragma pack(push, 1)

// Enable sharing (160 bytes): both connection GUIDs as UTF-16 text in registry
// form with braces (38 characters), NUL-terminated, the rest zero.
struct NatEnableRecord {
    std::uint16_t publicGuid[40];
    std::uint16_t privateGuid[40];
};

// One client the driver has seen on the private side (34 bytes).
struct PEER_INFO {
    std::uint32_t ip;      // IPv4 in network byte order; 0 when not known
    std::uint8_t mac[6];   // wire order
    std::uint32_t upRate;  // bytes per second of the last measured interval
    std::uint64_t upKb;    // uploaded kilobytes in the current period
    std::uint32_t downRate;
    std::uint64_t downKb;
};

// Delete a peer (7 bytes): its MAC and one zero byte.
struct NatMacRecord {
    std::uint8_t mac[6];
    std::uint8_t zero;
};

// Speed limit (20 bytes). Limits are kilobytes per second, 0 = no limit.
struct NatSpeedRecord {
    std::uint8_t mac[6];
    std::uint8_t zero1[2];
    std::uint32_t upLimit;
    std::uint32_t downLimit;
    std::uint8_t allowed;  // 1 = may use the shared connection, 0 = blocked
    std::uint8_t zero2[3];
};

#pragma pack(pop)

static_assert(sizeof(NatEnableRecord) == 160);
static_assert(offsetof(NatEnableRecord, publicGuid) == 0);
static_assert(offsetof(NatEnableRecord, privateGuid) == 80);

static_assert(sizeof(PEER_INFO) == 34);
static_assert(offsetof(PEER_INFO, ip) == 0);
static_assert(offsetof(PEER_INFO, mac) == 4);
static_assert(offsetof(PEER_INFO, upRate) == 10);
static_assert(offsetof(PEER_INFO, upKb) == 14);
static_assert(offsetof(PEER_INFO, downRate) == 22);
static_assert(offsetof(PEER_INFO, downKb) == 26);
// The 24 bytes from the upload rate to the end are the period counters a client
// record copies as one block.
constexpr std::size_t kPeerCountersOffset = offsetof(PEER_INFO, upRate);
constexpr std::size_t kPeerCountersSize = sizeof(PEER_INFO) - kPeerCountersOffset;
static_assert(kPeerCountersSize == 24);

static_assert(sizeof(NatMacRecord) == 7);
static_assert(offsetof(NatMacRecord, zero) == 6);

static_assert(sizeof(NatSpeedRecord) == 20);
static_assert(offsetof(NatSpeedRecord, upLimit) == 8);
static_assert(offsetof(NatSpeedRecord, downLimit) == 12);
static_assert(offsetof(NatSpeedRecord, allowed) == 16);

constexpr std::size_t kNatPeerBufferSize = kNatMaxPeers * sizeof(PEER_INFO);
static_assert(kNatPeerBufferSize == 8704);

// Building and reading the records. The readers take any bytes: they refuse
// (false) a record of the wrong size or content and never read past `size`.
class NatRecords {
public:
    static NatEnableRecord MakeEnable(const GUID& publicGuid, const GUID& privateGuid);
    // Exactly 160 bytes holding two GUID texts in registry form.
    static bool ReadEnable(const void* data, std::size_t size, GUID* publicGuid, GUID* privateGuid);

    static NatMacRecord MakeMac(const MacAddress& mac);
    // Exactly 7 bytes.
    static bool ReadMac(const void* data, std::size_t size, MacAddress* mac);

    static NatSpeedRecord MakeSpeed(const MacAddress& mac, std::uint8_t allowed,
                                    std::uint32_t upLimit, std::uint32_t downLimit);
    // Exactly 20 bytes.
    static bool ReadSpeed(const void* data, std::size_t size, NatSpeedRecord* out);

    // The port array; an empty list becomes the single port 0.
    static std::vector<std::uint16_t> MakePorts(const std::vector<std::uint16_t>& ports);
    // A whole number of 16-bit ports, at least one; the single port 0 reads as
    // the empty list, and port 0 elsewhere is ignored.
    static bool ReadPorts(const void* data, std::size_t size, std::vector<std::uint16_t>* ports);

    // The whole records of a peer-list answer of `size` bytes (a trailing
    // partial record is dropped).
    static std::vector<PEER_INFO> ReadPeers(const void* data, std::size_t size);

    // The status text of an answer: the bytes up to the first NUL, at most 20,
    // with anything but printable ASCII shown as '?'.
    static std::string ReadStatus(const void* data, std::size_t size);
    // Writes `text` (cut to 19 characters) NUL-terminated into an answer
    // buffer of `capacity` bytes; the number of bytes written.
    static std::size_t WriteStatus(const std::string& text, void* out, std::size_t capacity);
};

}  // namespace plat

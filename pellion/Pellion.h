// The Pellion library: a small DHCP server for the hotspot network, the IPv4
// configuration of network adapters and neighbour queries, behind plain C
// functions. Strings are narrow (ANSI) strings; buffers belong to the caller.
#pragma once

#include <cstdint>

#include "platform/records/WinTypes.h"

#if defined(PELLION_STATIC)
// Built into the program itself (the Windows test programs, which must share
// the program's simulated PC with the library's code).
#define PELLION_API
#elif defined(_WIN32)
#if defined(PELLION_BUILDING)
#define PELLION_API __declspec(dllexport)
#else
#define PELLION_API __declspec(dllimport)
#endif
#else
#define PELLION_API __attribute__((visibility("default")))
#endif

// One lease as it leaves the library: 50 bytes without padding.
#pragma pack(push, 1)
struct _DHCP_CLIENT {
    std::uint32_t ip;     // network byte order; 0 when the client holds no bound lease
    std::uint8_t mac[6];  // hardware address in wire order
    char hostname[40];    // option 12, NUL-terminated when shorter than 40 bytes
};
#pragma pack(pop)
static_assert(sizeof(_DHCP_CLIENT) == 50, "_DHCP_CLIENT is a 50-byte record");

// Called on the server thread for every acknowledged lease.
typedef void (*PELLION_ACK_CALLBACK)(_DHCP_CLIENT* client);

extern "C" {

// DHCP server.
PELLION_API int StartDHCP(const char* serverIp, PELLION_ACK_CALLBACK onAck);
PELLION_API int StopDHCP();
PELLION_API int SetDNS(const char* dnsList);
PELLION_API void AddBlackList(const char* macText);
PELLION_API void RemoveFromBlackList(const char* macText);
PELLION_API void ClearBlackList();
// The allow list: while it is on, a MAC not on it is refused as a black-listed
// one is. StopDHCP empties it and turns it off.
PELLION_API void SetAllowListOn(int on);
PELLION_API void AddAllowList(const char* macText);
PELLION_API void RemoveFromAllowList(const char* macText);
PELLION_API int GetAllDhcpClients(void* buffer, int* bufferBytes);
PELLION_API int GetDhcpClient(const char* macText, _DHCP_CLIENT* out);
PELLION_API int RemoveClientItem(const char* macText);
PELLION_API int GetDhcpHostnameByMac(const char* macText, char* out, int* len);
PELLION_API int GetDhcpHostnameByIp(std::uint32_t ip, char* out, int* len);

// Neighbour queries.
PELLION_API std::uint32_t GetIpByMac(const char* macText);
PELLION_API int Ping(std::uint32_t ip, std::uint32_t timeoutMs);
PELLION_API int GetHostname(const char* ipText, char* out, int* len);

// IPv4 configuration of the adapter named by its GUID.
PELLION_API int SetInterfaceIp(const plat::GUID* adapter, const char* ip, const char* mask,
                               const char* gateway);
PELLION_API int SetInterfaceIp2(const plat::GUID* adapter, const char* ip, const char* mask,
                                const char* gateway);
PELLION_API int SetInterfaceIpAddress(const plat::GUID* adapter, const std::uint32_t* ip,
                                      const std::uint32_t* mask, const std::uint32_t* gateway);
PELLION_API int GetInterfaceIp(const plat::GUID* adapter, std::uint32_t* ip, std::uint32_t* mask,
                               std::uint32_t* gateway);
PELLION_API int SetInterfaceDns(const plat::GUID* adapter, const char* dnsList);
PELLION_API int GetInterfaceDns(const plat::GUID* adapter, std::uint32_t* dns);

}  // extern "C"

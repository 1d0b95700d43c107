// The user-mode side of the NAT filter driver: opens its device (the WFP build
// first, the NDIS build otherwise), enables and disables sharing between two
// connections, and forwards the per-client requests (peer list, speed limit
// and block, removal of a peer, allowed ports). It builds and reads the
// driver's records itself; the platform only moves the bytes.
//
// No lock of its own: every call is made under the share manager's lock.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/records/NatRecords.h"
#include "platform/records/WinTypes.h"

class CShareDriver {
public:
    CShareDriver() = default;
    // Releases the device handle (the service is left as it is).
    ~CShareDriver();
    CShareDriver(const CShareDriver&) = delete;
    CShareDriver& operator=(const CShareDriver&) = delete;

    // Makes sure the filter service runs, then opens the WFP device or, when
    // that fails, the NDIS device. True when a device is open.
    bool Open();
    // Closes the device and stops the filter service.
    void Close();

    bool EnableShare(const plat::GUID& publicGuid, const plat::GUID& privateGuid);
    bool DisableShare();
    // Appends the driver's peers to `peers` (not cleared first).
    bool GetPeers(std::vector<plat::PEER_INFO>& peers);
    // `mac` is six hexadecimal numbers joined by '-', either case. Limits are
    // kilobytes per second, 0 = none; allowed 0 blocks the client.
    bool SetSpeedLimit(const std::wstring& mac, int allowed, int downLimit, int upLimit);
    bool DeletePeers(const std::wstring& mac);
    bool SetAllowPorts(const std::vector<std::uint16_t>& ports);

    bool IsOpen() const { return m_device != nullptr; }
    bool IsWfp() const { return m_isWfp; }
    std::uint32_t Shared() const { return m_shared; }
    const plat::GUID& PublicGuid() const { return m_publicGuid; }
    const plat::GUID& PrivateGuid() const { return m_privateGuid; }

    // The configuration tool for this processor: "snetcfg64.exe" on AMD64 and
    // IA64, "snetcfg.exe" otherwise.
    static std::string ConfigTool();

private:
    bool CheckHandle() const;
    plat::BOOL Control(plat::DWORD code, const void* in, plat::DWORD inSize, void* out,
                       plat::DWORD outSize, plat::DWORD* returned);
    // Runs the configuration tool; its output (at most 4095 bytes).
    static std::string RunConfigTool(const char* commandLine);
    void CloseHandle();

    plat::GUID m_publicGuid = plat::GUID_NULL_;
    plat::GUID m_privateGuid = plat::GUID_NULL_;
    std::uint32_t m_shared = 0;
    bool m_isWfp = false;
    plat::HANDLE m_device = nullptr;
};

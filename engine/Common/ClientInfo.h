// The client record the engine copies out to the window and keeps in its
// client database: who a device is, what the user set for it, and how long and
// how much it used the hotspot. A default-constructed record has every number
// 0 and every string empty.
#pragma once

#include <cstdint>
#include <string>

struct ClientInfo {
    std::int32_t uid = 0;      // row id in the client database; 0 before the first save
    std::wstring name;         // host name reported by the client
    std::wstring nickName;     // name given by the user
    std::wstring facePath;     // picture chosen by the user
    std::wstring mac;          // "%02X-%02X-%02X-%02X-%02X-%02X"
    std::wstring ip;           // dotted IPv4 address
    std::wstring manufactory;  // maker found from the MAC prefix
    std::wstring company;
    std::wstring type;                 // device type
    std::int32_t joinCount = 0;        // times the client joined
    std::int64_t lastJoinTime = 0;     // join time of the last finished online period
    std::int64_t totalOnlineTime = 0;  // seconds, all finished online periods
    std::int32_t speedLimitedUp = 0;   // kilobytes per second; 0 = none
    std::int32_t speedLimitedDown = 0;
    std::int32_t addressState = 0;  // 1 joined without an address, 2 address known

    // The period counters, as the NAT driver's peer record reports them for the
    // current online period; zero in ICS mode.
    std::uint32_t upRate = 0;
    std::uint64_t periodUp = 0;  // kilobytes
    std::uint32_t downRate = 0;
    std::uint64_t periodDown = 0;  // kilobytes

    std::int32_t online = 0;    // 0/1
    std::int32_t isBan = 0;     // 0/1, kept in the database
    std::int64_t lastSeen = 0;  // seconds since 1970
    std::int64_t upCount = 0;   // kilobytes, all finished online periods
    std::int64_t downCount = 0;
    std::int32_t blocked = 0;  // 0/1, for this run only; never stored
    // 0/1: on a join, the client database did not know the device before
    // (set on the join's copy only; never stored).
    std::int32_t isNew = 0;
};

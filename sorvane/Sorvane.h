// The Sorvane share control library: Internet Connection Sharing or the NAT
// driver behind twelve plain exports, for any program. `InitShare` chooses
// the way (1 driver, 2 ICS, anything else the driver when it opens and ICS
// otherwise); the others act on the chosen one. Every export but `InitShare`
// and `DeInitShare` answers E_POINTER before a way is chosen and E_INVALIDARG
// for a null pointer argument. The state is process-wide and unlocked: callers
// serialise their calls.
#pragma once

#include "platform/records/NatRecords.h"
#include "platform/records/WinTypes.h"

#if defined(_WIN32)
#if defined(SORVANE_BUILDING)
#define SORVANE_API __declspec(dllexport)
#else
#define SORVANE_API __declspec(dllimport)
#endif
#else
#define SORVANE_API __attribute__((visibility("default")))
#endif

// The side of a shared pair a connection is on.
enum SHARINGTYPE { SHARINGTYPE_PUBLIC = 0, SHARINGTYPE_PRIVATE = 1 };

// Chooses the way of sharing; `type` (may be null: the type of the previous
// call, automatic at first) receives the type chosen.
SORVANE_API plat::HRESULT InitShare(int* type);
SORVANE_API void DeInitShare();
SORVANE_API plat::HRESULT IsSupportSharing(int* supported);
SORVANE_API plat::HRESULT IsSharingEnable(const plat::GUID* connection, int* enabled);
SORVANE_API plat::HRESULT GetSharingType(const plat::GUID* connection, SHARINGTYPE* type);
SORVANE_API plat::HRESULT SetPublic(const plat::GUID* connection);
SORVANE_API plat::HRESULT SetPrivate(const plat::GUID* connection);
SORVANE_API plat::HRESULT EnableShare();
SORVANE_API plat::HRESULT DisableShare();
// Driver only: `mac` as six hexadecimal numbers joined by '-'; `allowed` 1 or
// 0 (blocked), then the upload and download limits in KB/s (0 = none).
SORVANE_API plat::HRESULT SetSpeedLimited(const char* mac, int allowed, int upLimit, int downLimit);
// Driver only: copies at most `*count` peer records; S_FALSE (with `*count`
// unchanged) when more are known, S_OK with `*count` set to the number copied.
SORVANE_API plat::HRESULT GetPeers(plat::PEER_INFO* peers, int* count);
SORVANE_API plat::HRESULT RemovePeers(const char* mac);

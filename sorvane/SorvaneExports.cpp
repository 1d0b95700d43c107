// The library's twelve exports over its process-wide state: the share type
// (0 automatic at load, 1 driver, 2 ICS, -1 after DeInitShare) and the way of
// sharing it chose.
#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "IcsShareManager.h"
#include "ShareDriver.h"
#include "Sorvane.h"
#include "platform/Platform.h"
#include "platform/winapi/Win32Api.h"

namespace {

struct State {
    int shareType = 0;
    sorvane::CShareInterface* current = nullptr;
    sorvane::CIcsShareManager ics;
    sorvane::CShareDriver driver;
};

// Created on first use and never destroyed, like the program's own
// singletons; tests start each case from a fresh one.
State*& Instance() {
    static State* state = nullptr;
    return state;
}

State& S() {
    State*& state = Instance();
    if (state == nullptr) {
        state = new State;
        plat::Platform::RegisterReset([] {
            delete Instance();
            Instance() = nullptr;
        });
    }
    return *state;
}

sorvane::CShareInterface* Current() {
    return S().current;
}

}  // namespace

plat::HRESULT InitShare(int* type) {
    State& s = S();
    if (type != nullptr)
        s.shareType = *type;
    plat::HRESULT hr = plat::kEFail;
    auto driver = [&] {
        hr = s.driver.Init();
        if (hr == plat::kSOk) {
            s.shareType = 1;
            s.current = &s.driver;
        }
    };
    auto ics = [&] {
        s.ics.Release();
        s.ics.SetInitialized(s.ics.Init() == plat::kSOk);
        s.shareType = 2;
        s.current = &s.ics;
        hr = plat::kSOk;
    };
    if (s.shareType == 1) {
        driver();
    } else if (s.shareType == 2) {
        ics();
    } else {
        driver();
        if (hr < 0)
            ics();
    }
    char text[64];
    std::snprintf(text, sizeof text, "init share succeed:%d", s.shareType);
    plat::OutputDebugStringA(text);
    if (type != nullptr)
        *type = s.shareType;
    return hr;
}

void DeInitShare() {
    State& s = S();
    // Both ways, not only the one the stored type names: a driver asked for
    // but missing leaves ICS in use under type 1. Releasing a way that holds
    // nothing does nothing.
    s.driver.Release();
    s.ics.Release();
    s.current = nullptr;
    s.shareType = -1;
}

plat::HRESULT IsSupportSharing(int* supported) {
    if (Current() == nullptr)
        return plat::kEPointer;
    if (supported == nullptr)
        return plat::kEInvalidArg;
    return Current()->IsSupport(supported);
}

plat::HRESULT IsSharingEnable(const plat::GUID* connection, int* enabled) {
    if (Current() == nullptr)
        return plat::kEPointer;
    if (connection == nullptr || enabled == nullptr)
        return plat::kEInvalidArg;
    return Current()->IsSharingEnable(*connection, enabled);
}

plat::HRESULT GetSharingType(const plat::GUID* connection, SHARINGTYPE* type) {
    if (Current() == nullptr)
        return plat::kEPointer;
    if (connection == nullptr || type == nullptr)
        return plat::kEInvalidArg;
    return Current()->GetSharingType(*connection, type);
}

plat::HRESULT SetPublic(const plat::GUID* connection) {
    if (Current() == nullptr)
        return plat::kEPointer;
    if (connection == nullptr)
        return plat::kEInvalidArg;
    return Current()->SetPublic(*connection);
}

plat::HRESULT SetPrivate(const plat::GUID* connection) {
    if (Current() == nullptr)
        return plat::kEPointer;
    if (connection == nullptr)
        return plat::kEInvalidArg;
    return Current()->SetPrivate(*connection);
}

plat::HRESULT EnableShare() {
    if (Current() == nullptr)
        return plat::kEPointer;
    return Current()->EnableShare();
}

plat::HRESULT DisableShare() {
    if (Current() == nullptr)
        return plat::kEPointer;
    return Current()->DisableShare();
}

plat::HRESULT SetSpeedLimited(const char* mac, int allowed, int upLimit, int downLimit) {
    if (Current() == nullptr)
        return plat::kEPointer;
    if (mac == nullptr)
        return plat::kEInvalidArg;
    return Current()->SetSpeedLimited(mac, allowed, upLimit, downLimit);
}

plat::HRESULT GetPeers(plat::PEER_INFO* peers, int* count) {
    if (Current() == nullptr)
        return plat::kEPointer;
    if (peers == nullptr || count == nullptr)
        return plat::kEInvalidArg;
    std::vector<plat::PEER_INFO> known;
    const plat::HRESULT hr = Current()->GetPeers(known);
    if (hr != plat::kSOk)
        return hr;
    const std::size_t room = *count > 0 ? static_cast<std::size_t>(*count) : 0;
    const std::size_t copied = std::min(room, known.size());
    if (copied > 0)
        std::memcpy(peers, known.data(), copied * sizeof(plat::PEER_INFO));
    if (room >= known.size()) {
        *count = static_cast<int>(known.size());
        return plat::kSOk;
    }
    return plat::kSFalse;
}

plat::HRESULT RemovePeers(const char* mac) {
    if (Current() == nullptr)
        return plat::kEPointer;
    if (mac == nullptr)
        return plat::kEInvalidArg;
    return Current()->RemovePeers(mac);
}

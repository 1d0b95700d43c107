// Version and edition tests used throughout the engine.
#pragma once

#include "platform/records/WinTypes.h"

// True when the system is at least major.minor with at least that service pack
// (VerifyVersionInfoW with VER_MAJORVERSION, VER_MINORVERSION and
// VER_SERVICEPACKMAJOR, each greater or equal).
bool IsWindowsVersionOrGreater(plat::DWORD major, plat::DWORD minor, plat::DWORD servicePack);
// True when the product type is not VER_NT_WORKSTATION.
bool IsWindowsServer();
// GetProductInfo for this version; false when the system has no such function.
bool GetWindowsEdition(plat::DWORD* edition);

constexpr plat::DWORD kProductStarter = 0x0B;
constexpr plat::DWORD kProductStarterN = 0x2F;

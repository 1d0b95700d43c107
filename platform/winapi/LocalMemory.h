// LocalAlloc / LocalFree: the heap through which wzcsapi.dll hands buffers to
// its callers and takes them back. The count of live blocks lets tests check
// that every buffer handed out was released.
#pragma once

#include <cstddef>

#include "platform/records/WinTypes.h"

namespace plat {

constexpr UINT kLmemFixed = 0x0000;
constexpr UINT kLmemZeroInit = 0x0040;
constexpr UINT kLptr = kLmemFixed | kLmemZeroInit;

// Null on failure (GetLastError then holds 8).
void* LocalAlloc(UINT flags, std::size_t bytes);
// Null on success; the block itself when it was not a live block (GetLastError 6).
void* LocalFree(void* block);
// Blocks allocated and not yet freed in this process (not counted on Windows,
// where the system's heap serves them).
std::size_t LocalAllocOutstanding();

}  // namespace plat

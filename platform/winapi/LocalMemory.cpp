#include "LocalMemory.h"

#if defined(_WIN32)
#include <windows.h>
#endif

#include <cstdlib>
#include <cstring>
#include <mutex>
#include <unordered_set>

#include "Win32Api.h"

namespace plat {

#if defined(_WIN32)

// The system's own heap: wzcsapi.dll allocates with it and frees into it.
void* LocalAlloc(UINT flags, std::size_t bytes) {
    return ::LocalAlloc(flags, bytes);
}

void* LocalFree(void* block) {
    return ::LocalFree(static_cast<HLOCAL>(block));
}

std::size_t LocalAllocOutstanding() {
    return 0;
}

#else

namespace {
struct LiveBlocks {
    std::mutex lock;
    std::unordered_set<void*> blocks;
};
LiveBlocks& Live() {
    static LiveBlocks* live = new LiveBlocks;  // outlives every static user
    return *live;
}
}  // namespace

void* LocalAlloc(UINT flags, std::size_t bytes) {
    void* block = std::malloc(bytes == 0 ? 1 : bytes);
    if (block == nullptr) {
        SetLastError(kErrorNotEnoughMemory);
        return nullptr;
    }
    if ((flags & kLmemZeroInit) != 0)
        std::memset(block, 0, bytes == 0 ? 1 : bytes);
    std::lock_guard<std::mutex> g(Live().lock);
    Live().blocks.insert(block);
    return block;
}

void* LocalFree(void* block) {
    if (block == nullptr)
        return nullptr;
    {
        std::lock_guard<std::mutex> g(Live().lock);
        if (Live().blocks.erase(block) == 0) {
            SetLastError(kErrorInvalidHandle);
            return block;
        }
    }
    std::free(block);
    return nullptr;
}

std::size_t LocalAllocOutstanding() {
    std::lock_guard<std::mutex> g(Live().lock);
    return Live().blocks.size();
}

#endif

}  // namespace plat

// The program's own small files (settings records): written so that a crash
// or a power loss at any moment leaves either the old file or the new one,
// whole.
#pragma once

#include <cstddef>
#include <string>

#include "platform/records/WinTypes.h"

namespace plat {

class FileStore {
public:
    virtual ~FileStore() = default;
    // Replaces the file at `path` (native form, the system's code page) with
    // `size` bytes: they go to a temporary file beside it, are flushed to the
    // disk, and the temporary file then takes the old one's place in one
    // step. 0, or a Windows error code with the old file left as it was.
    virtual DWORD Replace(const std::string& path, const void* bytes, std::size_t size) = 0;
    // The name of the temporary file Replace writes for `path`.
    static std::string TemporaryOf(const std::string& path) { return path + ".tmp"; }
};

}  // namespace plat

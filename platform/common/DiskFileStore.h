// The file store on the machine's own disk.
#pragma once

#include "platform/facility/FileStore.h"

namespace plat {

class DiskFileStore : public FileStore {
public:
    DWORD Replace(const std::string& path, const void* bytes, std::size_t size) override;
    // The first part of Replace: the whole temporary file, flushed to disk.
    static DWORD WriteTemporary(const std::string& temporary, const void* bytes, std::size_t size);
    // The second part: the temporary file takes the place of `path`.
    static DWORD MoveIntoPlace(const std::string& temporary, const std::string& path);
    // The process-wide store the real backends use.
    static DiskFileStore& Instance();
};

}  // namespace plat

// The simulated PC's file store: the program's files go to the real disk
// (the test's folder) as on any PC, and a test can make the next write of a
// file, named by its file name, stop part way, as a crash or power loss
// would: the bytes written so far stay in the temporary file, the write
// answers an error and the old file is not replaced.
#pragma once

#include <cstddef>
#include <map>
#include <mutex>
#include <string>

#include "platform/facility/FileStore.h"

namespace plat {

class SimFiles : public FileStore {
public:
    // The next write of a file called `fileName` (in any folder) stops after
    // `bytesWritten` bytes and answers `error`.
    void FailWrite(const std::string& fileName, std::size_t bytesWritten, DWORD error);
    // Writes scripted by FailWrite and not yet consumed.
    int PendingFailures() const;
    int Writes(const std::string& fileName) const;

    DWORD Replace(const std::string& path, const void* bytes, std::size_t size) override;

private:
    struct Failure {
        std::size_t bytesWritten = 0;
        DWORD error = 0;
    };
    mutable std::mutex m_lock;
    std::map<std::string, Failure> m_failures;
    std::map<std::string, int> m_writes;
};

}  // namespace plat

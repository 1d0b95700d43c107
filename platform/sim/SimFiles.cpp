#include "SimFiles.h"

#include <cstdio>

#include "platform/common/DiskFileStore.h"
#include "platform/text/PathText.h"

namespace plat {

namespace {

std::string FileNameOf(const std::string& path) {
    const std::size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

}  // namespace

void SimFiles::FailWrite(const std::string& fileName, std::size_t bytesWritten, DWORD error) {
    std::lock_guard<std::mutex> g(m_lock);
    m_failures[fileName] = Failure{bytesWritten, error};
}

int SimFiles::PendingFailures() const {
    std::lock_guard<std::mutex> g(m_lock);
    return static_cast<int>(m_failures.size());
}

int SimFiles::Writes(const std::string& fileName) const {
    std::lock_guard<std::mutex> g(m_lock);
    auto it = m_writes.find(fileName);
    return it == m_writes.end() ? 0 : it->second;
}

DWORD SimFiles::Replace(const std::string& path, const void* bytes, std::size_t size) {
    const std::string native = PathText::Native(path);
    const std::string name = FileNameOf(native);
    Failure failure;
    bool fail = false;
    {
        std::lock_guard<std::mutex> g(m_lock);
        ++m_writes[name];
        auto it = m_failures.find(name);
        if (it != m_failures.end()) {
            failure = it->second;
            fail = true;
            m_failures.erase(it);
        }
    }
    if (!fail)
        return DiskFileStore::Instance().Replace(native, bytes, size);
    // The write stops part way: what reached the disk stays in the
    // temporary file, the old file is untouched.
    if (std::FILE* f = std::fopen(TemporaryOf(native).c_str(), "wb")) {
        std::fwrite(bytes, 1, failure.bytesWritten < size ? failure.bytesWritten : size, f);
        std::fclose(f);
    }
    return failure.error;
}

}  // namespace plat

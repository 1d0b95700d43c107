#include "DiskFileStore.h"

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

#include "platform/text/PathText.h"

namespace plat {

namespace {

#ifndef _WIN32
DWORD ErrorOfErrno(int e) {
    switch (e) {
        case ENOENT:
        case ENOTDIR:
            return 3;  // ERROR_PATH_NOT_FOUND
        case EACCES:
        case EPERM:
        case EROFS:
            return 5;  // ERROR_ACCESS_DENIED
        case ENOSPC:
        case EDQUOT:
            return 112;  // ERROR_DISK_FULL
        default:
            return 29;  // ERROR_WRITE_FAULT
    }
}

// A rename is durable once the folder that holds both names is on the disk.
void SyncFolder(const std::string& path) {
    const std::string folder = PathText::Directory(path);
    const int fd = open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd >= 0) {
        fsync(fd);
        close(fd);
    }
}
#endif

}  // namespace

DiskFileStore& DiskFileStore::Instance() {
    static DiskFileStore store;
    return store;
}

DWORD DiskFileStore::Replace(const std::string& path, const void* bytes, std::size_t size) {
    const std::string native = PathText::Native(path);
    const std::string temporary = TemporaryOf(native);
    if (const DWORD e = WriteTemporary(temporary, bytes, size))
        return e;
    return MoveIntoPlace(temporary, native);
}

#ifdef _WIN32

DWORD DiskFileStore::WriteTemporary(const std::string& temporary, const void* bytes,
                                    std::size_t size) {
    HANDLE file = CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return GetLastError();
    DWORD error = 0;
    const char* at = static_cast<const char*>(bytes);
    std::size_t left = size;
    while (left > 0 && error == 0) {
        const DWORD chunk = left > 0x10000000 ? 0x10000000 : static_cast<DWORD>(left);
        ::DWORD written = 0;  // the system's DWORD, not the records' 32-bit one
        if (!WriteFile(file, at, chunk, &written, nullptr) || written == 0)
            error = GetLastError() != 0 ? GetLastError() : ERROR_WRITE_FAULT;
        at += written;
        left -= written;
    }
    if (error == 0 && !FlushFileBuffers(file))
        error = GetLastError();
    CloseHandle(file);
    if (error != 0)
        DeleteFileA(temporary.c_str());
    return error;
}

DWORD DiskFileStore::MoveIntoPlace(const std::string& temporary, const std::string& path) {
    if (!MoveFileExA(temporary.c_str(), path.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD error = GetLastError();
        DeleteFileA(temporary.c_str());
        return error;
    }
    return 0;
}

#else

DWORD DiskFileStore::WriteTemporary(const std::string& temporary, const void* bytes,
                                    std::size_t size) {
    const int fd = open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return ErrorOfErrno(errno);
    DWORD error = 0;
    const char* at = static_cast<const char*>(bytes);
    std::size_t left = size;
    while (left > 0) {
        const ssize_t n = write(fd, at, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            error = n < 0 ? ErrorOfErrno(errno) : 29;
            break;
        }
        at += n;
        left -= static_cast<std::size_t>(n);
    }
    if (error == 0 && fsync(fd) != 0)
        error = ErrorOfErrno(errno);
    if (close(fd) != 0 && error == 0)
        error = ErrorOfErrno(errno);
    if (error != 0)
        unlink(temporary.c_str());
    return error;
}

DWORD DiskFileStore::MoveIntoPlace(const std::string& temporary, const std::string& path) {
    if (rename(temporary.c_str(), path.c_str()) != 0) {
        const DWORD error = ErrorOfErrno(errno);
        unlink(temporary.c_str());
        return error;
    }
    SyncFolder(path);
    return 0;
}

#endif

}  // namespace plat

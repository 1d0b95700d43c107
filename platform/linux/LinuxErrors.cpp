#include "LinuxErrors.h"

#include <cerrno>

namespace plat {

DWORD WindowsCode(int e) {
    switch (e) {
        case 0:
            return 0;
        case EPERM:
        case EACCES:
            return kErrorAccessDenied;
        case ENODEV:
        case ENOENT:
            return kErrorFileNotFound;
        case EINVAL:
            return kErrorInvalidParameter;
        case ENOMEM:
        case ENOBUFS:
            return kErrorNotEnoughMemory;
        default:
            return kErrorGenFailure;
    }
}

}  // namespace plat
